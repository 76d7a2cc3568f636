#include "emulator/HttpChild.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "emulator/Events.h"
#include "emulator/Firmware.h"
#include "emulator/Network.h"
#include "sim/common/HttpNames.h"

namespace {

/// HttpDxe's limit on a connection: TCP's connect timeout.
constexpr int CONNECT_TIMEOUT_MS = 60000;
constexpr size_t READ_CHUNK = 65536;

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point Deadline) {
  auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now());
  return Left.count() < 0 ? 0 : static_cast<int>(Left.count());
}

/// The URL as HttpDxe converts it (UnicodeStrToAsciiStrS): each code
/// unit's low byte. False for a unit above 0xFF, on which that conversion
/// ASSERTs in a DEBUG build (a RELEASE build takes the low byte).
bool AsciiUrl(const CHAR16 *Url, std::string *Text) {
  bool Narrow = true;
  for (; *Url != 0; Url++) {
    Narrow = Narrow && *Url <= 0xFF;
    Text->push_back(static_cast<char>(*Url));
  }
  return Narrow;
}

/// Copies Text into a pool block of its own, as HttpDxe hands strings over.
CHAR8 *PoolCopy(const std::string &Text) {
  VOID *Block = nullptr;
  if (EFI_ERROR(Firmware::Instance().BootServices()->AllocatePool(EfiBootServicesData,
                                                                  Text.size() + 1, &Block))) {
    return nullptr;
  }
  std::memcpy(Block, Text.c_str(), Text.size() + 1);
  return static_cast<CHAR8 *>(Block);
}

}  // namespace

HttpChild::HttpChild(EmulatedNetwork &Network, EFI_HANDLE Handle)
    : mNetwork(Network),
      mHandle(Handle),
      mRecord{
          {GetModeDataEntry, ConfigureEntry, RequestEntry, CancelEntry, ResponseEntry, PollEntry},
          this} {}

HttpChild::~HttpChild() { Drop(); }

void HttpChild::Drop() {
  CloseConnection();
  mTx = nullptr;
  mRx = nullptr;
}

HttpChild *HttpChild::From(EFI_HTTP_PROTOCOL *This) {
  return This == nullptr ? nullptr : reinterpret_cast<RECORD *>(This)->Child;
}

EFI_STATUS EFIAPI HttpChild::GetModeDataEntry(EFI_HTTP_PROTOCOL *This, EFI_HTTP_CONFIG_DATA *Data) {
  HttpChild *Child = From(This);
  return Child == nullptr ? EFI_INVALID_PARAMETER : Child->GetModeData(Data);
}

EFI_STATUS EFIAPI HttpChild::ConfigureEntry(EFI_HTTP_PROTOCOL *This, EFI_HTTP_CONFIG_DATA *Data) {
  HttpChild *Child = From(This);
  return Child == nullptr ? EFI_INVALID_PARAMETER : Child->Configure(Data);
}

EFI_STATUS EFIAPI HttpChild::RequestEntry(EFI_HTTP_PROTOCOL *This, EFI_HTTP_TOKEN *Token) {
  HttpChild *Child = From(This);
  return Child == nullptr ? EFI_INVALID_PARAMETER : Child->Request(Token);
}

EFI_STATUS EFIAPI HttpChild::CancelEntry(EFI_HTTP_PROTOCOL *This, EFI_HTTP_TOKEN *Token) {
  HttpChild *Child = From(This);
  return Child == nullptr ? EFI_INVALID_PARAMETER : Child->Cancel(Token);
}

EFI_STATUS EFIAPI HttpChild::ResponseEntry(EFI_HTTP_PROTOCOL *This, EFI_HTTP_TOKEN *Token) {
  HttpChild *Child = From(This);
  return Child == nullptr ? EFI_INVALID_PARAMETER : Child->Response(Token);
}

EFI_STATUS EFIAPI HttpChild::PollEntry(EFI_HTTP_PROTOCOL *This) {
  HttpChild *Child = From(This);
  return Child == nullptr ? EFI_INVALID_PARAMETER : Child->Poll();
}

bool HttpChild::TplAllows(const char *Service) {
  EFI_TPL Tpl = mNetwork.Events().CurrentTpl();
  if (Tpl <= TPL_CALLBACK) {
    return true;
  }
  mNetwork.Problems().Record(
      "network: EFI_HTTP_PROTOCOL.%s called at TPL %llu; EDK2's network stack raises to "
      "TPL_CALLBACK inside and cannot work above it",
      Service, static_cast<unsigned long long>(Tpl));
  return false;
}

void HttpChild::Complete(EFI_HTTP_TOKEN *Token, EFI_STATUS Status) {
  Token->Status = Status;
  if (Token->Event != nullptr) {
    (void)mNetwork.Events().Signal(Token->Event);
  }
}

EFI_STATUS HttpChild::GetModeData(EFI_HTTP_CONFIG_DATA *Data) {
  if (Data == nullptr || Data->AccessPoint.IPv4Node == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  if (!mConfigured) {
    return EFI_NOT_STARTED;
  }
  EFI_HTTPv4_ACCESS_POINT *Node = Data->AccessPoint.IPv4Node;
  *Data = mConfig;
  Data->AccessPoint.IPv4Node = Node;
  *Node = mAccessPoint;
  return EFI_SUCCESS;
}

EFI_STATUS HttpChild::Configure(EFI_HTTP_CONFIG_DATA *Data) {
  if (Data == nullptr) {
    // A reset: the connection goes, and every token is forgotten unsignalled.
    CloseConnection();
    mTx = nullptr;
    mRx = nullptr;
    mConfigured = false;
    mRemoteHost.clear();
    return EFI_SUCCESS;
  }
  if (Data->LocalAddressIsIPv6 || Data->AccessPoint.IPv4Node == nullptr) {
    return Data->LocalAddressIsIPv6 ? EFI_UNSUPPORTED : EFI_INVALID_PARAMETER;
  }
  if (Data->HttpVersion >= HttpVersionUnsupported) {
    return EFI_UNSUPPORTED;
  }
  if (mConfigured) {
    return EFI_ALREADY_STARTED;
  }
  mConfig = *Data;
  mAccessPoint = *Data->AccessPoint.IPv4Node;
  mConfig.AccessPoint.IPv4Node = &mAccessPoint;
  mConnectionClose = false;
  mConfigured = true;
  return EFI_SUCCESS;
}

void HttpChild::CloseConnection() {
  if (mSocket >= 0) {
    close(mSocket);
  }
  mSocket = -1;
  mCache.clear();
  mPeerClosed = false;
  mMessageOpen = false;
  mRxStuck = false;
}

EFI_STATUS HttpChild::Connect(const std::string &Host, int Port) {
  CloseConnection();
  sockaddr_in Address = {};
  Address.sin_family = AF_INET;
  Address.sin_port = htons(static_cast<uint16_t>(Port));
  if (inet_pton(AF_INET, Host.c_str(), &Address.sin_addr) != 1) {
    // The emulated stack has no DNS: only address literals.
    return EFI_NOT_FOUND;
  }
  int Socket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (Socket < 0) {
    return EFI_OUT_OF_RESOURCES;
  }
  int On = 1;
  (void)setsockopt(Socket, IPPROTO_TCP, TCP_NODELAY, &On, sizeof(On));
  if (connect(Socket, reinterpret_cast<sockaddr *>(&Address), sizeof(Address)) != 0 &&
      errno != EINPROGRESS) {
    close(Socket);
    return errno == ECONNREFUSED ? EFI_CONNECTION_REFUSED : EFI_DEVICE_ERROR;
  }
  // The connection completes while the machine's own services are answered.
  auto Deadline = Clock::now() + std::chrono::milliseconds(CONNECT_TIMEOUT_MS);
  for (;;) {
    pollfd Wanted = {Socket, POLLOUT, 0};
    int Ready = poll(&Wanted, 1, 1);
    if (Ready > 0) {
      int Error = 0;
      socklen_t Size = sizeof(Error);
      (void)getsockopt(Socket, SOL_SOCKET, SO_ERROR, &Error, &Size);
      if (Error != 0) {
        close(Socket);
        return Error == ECONNREFUSED ? EFI_CONNECTION_REFUSED : EFI_DEVICE_ERROR;
      }
      break;
    }
    mNetwork.Pump(0);
    if (MillisecondsLeft(Deadline) == 0) {
      close(Socket);
      return EFI_TIMEOUT;
    }
  }
  mSocket = Socket;
  mRemoteHost = Host;
  mRemotePort = Port;
  return EFI_SUCCESS;
}

bool HttpChild::ReadMore(int WaitMilliseconds) {
  if (mSocket < 0 || mPeerClosed) {
    return false;
  }
  auto Deadline = Clock::now() + std::chrono::milliseconds(WaitMilliseconds);
  for (;;) {
    mNetwork.Pump(0);
    char Buffer[READ_CHUNK];
    ssize_t Read = recv(mSocket, Buffer, sizeof(Buffer), MSG_DONTWAIT);
    if (Read > 0) {
      mCache.append(Buffer, static_cast<size_t>(Read));
      return true;
    }
    if (Read == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
      mPeerClosed = true;
      return false;
    }
    int Left = MillisecondsLeft(Deadline);
    if (Left == 0) {
      return true;
    }
    pollfd Wanted = {mSocket, POLLIN, 0};
    (void)poll(&Wanted, 1, Left < 1 ? Left : 1);
  }
}

EFI_STATUS HttpChild::Request(EFI_HTTP_TOKEN *Token) {
  if (Token == nullptr || Token->Message == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  if (!TplAllows("Request")) {
    return EFI_DEVICE_ERROR;
  }
  EFI_HTTP_MESSAGE *Message = Token->Message;
  EFI_HTTP_REQUEST_DATA *Data = Message->Data.Request;
  if (Data == nullptr) {
    // A body continuation: not something the producer sends.
    return EFI_UNSUPPORTED;
  }
  if (Data->Method != HttpMethodGet && Data->Method != HttpMethodHead &&
      Data->Method != HttpMethodDelete && Data->Method != HttpMethodPut &&
      Data->Method != HttpMethodPost && Data->Method != HttpMethodPatch) {
    return EFI_UNSUPPORTED;
  }
  if (!mConfigured) {
    return EFI_NOT_STARTED;
  }
  if (mTx != nullptr && (mTx == Token || mTx->Event == Token->Event)) {
    return EFI_ACCESS_DENIED;
  }
  std::string Url;
  if (Data->Url == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  if (!AsciiUrl(Data->Url, &Url)) {
    mNetwork.Problems().Record(
        "network: a URL code unit above 0xFF; EDK2's HttpDxe ASSERTs on it in a DEBUG build");
  }
  size_t Scheme = Url.find("://");
  if (Scheme == std::string::npos) {
    // A path alone names no host.
    return EFI_NOT_FOUND;
  }
  std::string Prefix = Url.substr(0, Scheme);
  for (char &Byte : Prefix) {
    Byte = static_cast<char>(tolower(static_cast<unsigned char>(Byte)));
  }
  if (Prefix == "https") {
    mNetwork.Problems().Record("network: https is not emulated (no TLS child)");
    return EFI_DEVICE_ERROR;
  }
  if (Prefix != "http") {
    return EFI_INVALID_PARAMETER;
  }
  size_t HostStart = Scheme + 3;
  size_t PathStart = Url.find('/', HostStart);
  if (PathStart == std::string::npos) {
    mNetwork.Problems().Record(
        "network: the URL %s has no path; EDK2's HttpDxe reads past the end of such a URL",
        Url.c_str());
    return EFI_INVALID_PARAMETER;
  }
  std::string Authority = Url.substr(HostStart, PathStart - HostStart);
  std::string Host = Authority;
  int Port = 80;
  size_t Colon = Authority.rfind(':');
  if (Colon != std::string::npos) {
    Host = Authority.substr(0, Colon);
    Port = std::atoi(Authority.c_str() + Colon + 1);
  }
  if (Host.empty()) {
    return EFI_NOT_FOUND;
  }
  mMethod = Data->Method;

  // The connection to the same host and port is kept unless the last answer
  // closed it; one the peer closed is replaced without a word.
  bool Reuse = mSocket >= 0 && !mConnectionClose && Host == mRemoteHost && Port == mRemotePort;
  if (Reuse) {
    char Peek = 0;
    ssize_t Peeked = recv(mSocket, &Peek, 1, MSG_PEEK | MSG_DONTWAIT);
    if (Peeked == 0 || (Peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
      Reuse = false;
    }
  }
  if (!Reuse) {
    EFI_STATUS Status = Connect(Host, Port);
    if (EFI_ERROR(Status)) {
      return Status;
    }
  }
  mConnectionClose = false;
  if (Message->HeaderCount == 0 || Message->Headers == nullptr) {
    // Refused after the connection is made, which the refusal then closes.
    CloseConnection();
    return EFI_INVALID_PARAMETER;
  }
  const char *Method = HttpMethodName(Data->Method);
  std::string Text = std::string(Method) + " " + Url.substr(PathStart) + " HTTP/1.1\r\n";
  // A name given twice keeps its later value, in the earlier one's place.
  std::vector<HTTP_FIELD> Fields;
  for (UINTN Index = 0; Index < Message->HeaderCount; Index++) {
    const EFI_HTTP_HEADER &Header = Message->Headers[Index];
    if (Header.FieldName == nullptr || Header.FieldValue == nullptr) {
      return EFI_INVALID_PARAMETER;
    }
    bool Replaced = false;
    for (HTTP_FIELD &Field : Fields) {
      if (HttpNameEqual(Field.Name, Header.FieldName)) {
        Field.Value = Header.FieldValue;
        Replaced = true;
      }
    }
    if (!Replaced) {
      Fields.push_back({Header.FieldName, Header.FieldValue});
    }
  }
  for (const HTTP_FIELD &Field : Fields) {
    Text += Field.Name + ": " + Field.Value + "\r\n";
  }
  Text += "\r\n";
  if (Message->Body != nullptr && Message->BodyLength != 0) {
    Text.append(static_cast<const char *>(Message->Body), Message->BodyLength);
  }
  size_t Sent = 0;
  auto Deadline = Clock::now() + std::chrono::milliseconds(CONNECT_TIMEOUT_MS);
  while (Sent < Text.size()) {
    ssize_t Wrote = send(mSocket, Text.data() + Sent, Text.size() - Sent, MSG_NOSIGNAL);
    if (Wrote > 0) {
      Sent += static_cast<size_t>(Wrote);
      continue;
    }
    if (Wrote < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      CloseConnection();
      return EFI_CONNECTION_RESET;
    }
    mNetwork.Pump(1);
    if (MillisecondsLeft(Deadline) == 0) {
      CloseConnection();
      return EFI_TIMEOUT;
    }
  }
  // The token completes when the peer has the bytes: at the next Poll.
  Token->Status = EFI_NOT_READY;
  mTx = Token;
  mMessageOpen = false;
  return EFI_SUCCESS;
}

EFI_STATUS HttpChild::ReadHead(EFI_HTTP_TOKEN *Token) {
  EFI_HTTP_MESSAGE *Message = Token->Message;
  Message->Headers = nullptr;
  auto Deadline = Clock::now() + std::chrono::milliseconds(mNetwork.Setup().HeadTimeoutMs);
  size_t End = std::string::npos;
  while ((End = mCache.find("\r\n\r\n")) == std::string::npos) {
    if (!ReadMore(MillisecondsLeft(Deadline) < 10 ? MillisecondsLeft(Deadline) : 10)) {
      Complete(Token, EFI_CONNECTION_FIN);
      return EFI_CONNECTION_FIN;
    }
    if (MillisecondsLeft(Deadline) == 0) {
      Complete(Token, EFI_TIMEOUT);
      return EFI_TIMEOUT;
    }
  }
  HttpResponseHead Head;
  std::string HeadText = mCache.substr(0, End);
  mCache.erase(0, End + 4);
  if (!ParseResponseHead(HeadText, &Head)) {
    Complete(Token, EFI_INVALID_PARAMETER);
    return EFI_INVALID_PARAMETER;
  }
  // The request is surely out once its answer came.
  if (mTx != nullptr) {
    Complete(mTx, EFI_SUCCESS);
    mTx = nullptr;
  }
  if (!Head.Fields.empty()) {
    VOID *Array = nullptr;
    if (EFI_ERROR(Firmware::Instance().BootServices()->AllocatePool(
            EfiBootServicesData, Head.Fields.size() * sizeof(EFI_HTTP_HEADER), &Array))) {
      Complete(Token, EFI_OUT_OF_RESOURCES);
      return EFI_OUT_OF_RESOURCES;
    }
    auto *Headers = static_cast<EFI_HTTP_HEADER *>(Array);
    for (size_t Index = 0; Index < Head.Fields.size(); Index++) {
      Headers[Index].FieldName = PoolCopy(Head.Fields[Index].Name);
      Headers[Index].FieldValue = PoolCopy(Head.Fields[Index].Value);
    }
    Message->Headers = Headers;
    Message->HeaderCount = Head.Fields.size();
  }
  Message->Data.Response->StatusCode = HttpStatusCodeOf(static_cast<UINT32>(Head.Code));
  mStatusNumber = Head.Code;
  const std::string *Connection = HttpFindField(Head.Fields, "Connection");
  mConnectionClose =
      Head.Minor == 0 || (Connection != nullptr && HttpListHas(*Connection, "close"));

  // HttpDxe's message parser: how it will know the body's end.
  const std::string *Encoding = HttpFindField(Head.Fields, "Transfer-Encoding");
  const std::string *Length = HttpFindField(Head.Fields, "Content-Length");
  // HttpDxe's parser reads a chunk-size line without digits as 0.
  mChunks = ChunkedEnd(true);
  mBodyLeft = 0;
  mLengthZero = false;
  if (mMethod == HttpMethodHead || Head.Code == 204 || Head.Code == 304 ||
      (Head.Code >= 100 && Head.Code < 200)) {
    mFraming = FRAMING::None;
  } else if (Encoding != nullptr && !HttpNameEqual(*Encoding, "identity")) {
    mFraming = FRAMING::Chunked;
  } else if (Length != nullptr) {
    mFraming = FRAMING::Length;
    mBodyLeft = static_cast<size_t>(std::strtoull(Length->c_str(), nullptr, 10));
    mLengthZero = mBodyLeft == 0;
  } else {
    mFraming = FRAMING::FirstPiece;
  }
  mMessageOpen = mFraming != FRAMING::None;
  mRxStuck = false;
  Complete(Token, Head.Code >= 300 ? EFI_HTTP_ERROR : EFI_SUCCESS);
  return EFI_SUCCESS;
}

size_t HttpChild::TakeBody(char *Into, size_t Room) {
  size_t Offered = mCache.size() < Room ? mCache.size() : Room;
  size_t Taken = Offered;
  switch (mFraming) {
    case FRAMING::Length:
      if (mLengthZero) {
        // Content-Length 0 leaves HttpDxe's parser waiting: the message
        // never closes, and a read waits for bytes that are not its own.
        Taken = 0;
        break;
      }
      if (Taken > mBodyLeft) {
        Taken = mBodyLeft;
      }
      mBodyLeft -= Taken;
      mMessageOpen = mBodyLeft != 0;
      break;
    case FRAMING::Chunked:
      Taken = mChunks.Feed(mCache.data(), Offered);
      if (mChunks.Broken()) {
        mRxStuck = true;
        return 0;
      }
      mMessageOpen = !mChunks.Done();
      break;
    case FRAMING::FirstPiece:
      mMessageOpen = Taken == 0;
      break;
    case FRAMING::None:
      Taken = 0;
      mMessageOpen = false;
      break;
  }
  std::memcpy(Into, mCache.data(), Taken);
  mCache.erase(0, Taken);
  return Taken;
}

EFI_STATUS HttpChild::Response(EFI_HTTP_TOKEN *Token) {
  if (Token == nullptr || Token->Message == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  if (!TplAllows("Response")) {
    return EFI_DEVICE_ERROR;
  }
  if (mSocket < 0) {
    return EFI_NOT_STARTED;
  }
  if (mRx != nullptr && (mRx == Token || mRx->Event == Token->Event)) {
    return EFI_ACCESS_DENIED;
  }
  EFI_HTTP_MESSAGE *Message = Token->Message;
  if (Message->Data.Response != nullptr) {
    return ReadHead(Token);
  }
  Message->Headers = nullptr;
  if (Message->Body == nullptr || Message->BodyLength == 0) {
    return EFI_INVALID_PARAMETER;
  }
  EFI_STATUS PieceStatus = mStatusNumber >= 300 ? EFI_HTTP_ERROR : EFI_SUCCESS;
  if (!mCache.empty() && mMessageOpen) {
    // Bytes that came with what went before are handed over at once.
    size_t Taken = TakeBody(static_cast<char *>(Message->Body), Message->BodyLength);
    if (!mRxStuck && Taken != 0) {
      Message->BodyLength = Taken;
      Complete(Token, PieceStatus);
      return EFI_SUCCESS;
    }
  }
  if (!mMessageOpen && !mRxStuck) {
    Message->BodyLength = 0;
    Complete(Token, EFI_SUCCESS);
    return EFI_SUCCESS;
  }
  Token->Status = EFI_NOT_READY;
  mRx = Token;
  return EFI_SUCCESS;
}

void HttpChild::ProgressBody() {
  if (mRx == nullptr || mRxStuck) {
    return;
  }
  if (mCache.empty() && !ReadMore(0)) {
    // The peer closed before the message's end.
    EFI_HTTP_TOKEN *Token = mRx;
    mRx = nullptr;
    Complete(Token, EFI_CONNECTION_FIN);
    return;
  }
  if (mCache.empty()) {
    return;
  }
  EFI_HTTP_MESSAGE *Message = mRx->Message;
  size_t Taken = TakeBody(static_cast<char *>(Message->Body), Message->BodyLength);
  if (mRxStuck || (Taken == 0 && mMessageOpen)) {
    // HttpDxe's parser failed (its deferred completion returns without a
    // signal), or the bytes are not this message's: the token stays pending.
    return;
  }
  Message->BodyLength = Taken;
  EFI_HTTP_TOKEN *Token = mRx;
  mRx = nullptr;
  Complete(Token, EFI_SUCCESS);
}

EFI_STATUS HttpChild::Poll() {
  if (!TplAllows("Poll")) {
    return EFI_DEVICE_ERROR;
  }
  mNetwork.Pump(0);
  mNetwork.Events().PollTimers();
  if (mSocket < 0) {
    return EFI_NOT_STARTED;
  }
  if (mTx != nullptr) {
    EFI_HTTP_TOKEN *Token = mTx;
    mTx = nullptr;
    Complete(Token, EFI_SUCCESS);
  }
  ProgressBody();
  if (mRx != nullptr) {
    // Nothing yet: let a little time pass, as a poll of the device does.
    pollfd Wanted = {mSocket, POLLIN, 0};
    (void)poll(&Wanted, 1, 1);
  }
  return EFI_SUCCESS;
}

EFI_STATUS HttpChild::Cancel(EFI_HTTP_TOKEN *Token) {
  if (mSocket < 0) {
    return EFI_NOT_STARTED;
  }
  if (Token == nullptr || Token == mRx) {
    if (mRx != nullptr) {
      EFI_HTTP_TOKEN *Pending = mRx;
      mRx = nullptr;
      Complete(Pending, EFI_ABORTED);
    }
    return EFI_SUCCESS;
  }
  // A request cannot be called back; HttpDxe says it was.
  return Token == mTx ? EFI_SUCCESS : EFI_NOT_FOUND;
}
