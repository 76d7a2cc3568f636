#include "producer/HttpChannel.h"

#include "core/BootServices.h"
#include "core/Memory.h"
#include "core/Pool.h"
#include "platform/Guids.h"
#include "producer/ChunkedBody.h"

namespace {

/// What one body read asks for at most.
constexpr UINTN BODY_PIECE = 16u << 10;
/// Timer periods count 100 ns.
constexpr UINT64 TICKS_PER_MILLISECOND = 10000;

const EFI_HTTP_HEADER *FindHeader(const EFI_HTTP_HEADER *Headers, UINTN Count, const CHAR8 *Name) {
  for (UINTN Index = 0; Headers != nullptr && Index < Count; Index++) {
    if (Headers[Index].FieldName != nullptr && Headers[Index].FieldValue != nullptr &&
        AsciiStrEqualNoCase(Headers[Index].FieldName, Name)) {
      return &Headers[Index];
    }
  }
  return nullptr;
}

/// TRUE when Value, a list of comma-separated tokens, ends with Token.
bool LastTokenIs(const CHAR8 *Value, const CHAR8 *Token) {
  UINTN Length = AsciiStrLen(Value);
  while (Length != 0 && (Value[Length - 1] == ' ' || Value[Length - 1] == '\t')) {
    Length--;
  }
  UINTN Start = Length;
  while (Start != 0 && Value[Start - 1] != ',' && Value[Start - 1] != ' ' &&
         Value[Start - 1] != '\t') {
    Start--;
  }
  UINTN TokenLength = AsciiStrLen(Token);
  if (Length - Start != TokenLength) {
    return false;
  }
  for (UINTN Index = 0; Index < TokenLength; Index++) {
    CHAR8 Byte = Value[Start + Index];
    if (Byte >= 'A' && Byte <= 'Z') {
      Byte = static_cast<CHAR8>(Byte - 'A' + 'a');
    }
    if (Byte != Token[Index]) {
      return false;
    }
  }
  return true;
}

/// Reads a Content-Length value: decimal digits only, at most MAX_RESPONSE_BODY
/// (a larger one is refused as too large by the caller through *TooLarge).
bool ReadContentLength(const CHAR8 *Value, UINTN *Length, bool *TooLarge) {
  UINT64 Parsed = 0;
  UINTN Digits = 0;
  for (; *Value == ' ' || *Value == '\t'; Value++) {
  }
  for (; *Value >= '0' && *Value <= '9'; Value++, Digits++) {
    Parsed = Parsed * 10 + static_cast<UINT64>(*Value - '0');
    if (Parsed > MAX_RESPONSE_BODY) {
      *TooLarge = true;
      return false;
    }
  }
  for (; *Value == ' ' || *Value == '\t'; Value++) {
  }
  *Length = static_cast<UINTN>(Parsed);
  return Digits != 0 && *Value == '\0';
}

/// TRUE when a response with this status to this method has no body.
bool WithoutBody(EFI_HTTP_METHOD Method, EFI_HTTP_STATUS_CODE Code) {
  return Method == HttpMethodHead || Code == HTTP_STATUS_100_CONTINUE ||
         Code == HTTP_STATUS_101_SWITCHING_PROTOCOLS || Code == HTTP_STATUS_204_NO_CONTENT ||
         Code == HTTP_STATUS_304_NOT_MODIFIED;
}

UINTN HeaderBytes(const EFI_HTTP_HEADER *Headers, UINTN Count) {
  UINTN Bytes = 0;
  for (UINTN Index = 0; Headers != nullptr && Index < Count; Index++) {
    Bytes += Headers[Index].FieldName != nullptr ? AsciiStrLen(Headers[Index].FieldName) : 0;
    Bytes += Headers[Index].FieldValue != nullptr ? AsciiStrLen(Headers[Index].FieldValue) : 0;
  }
  return Bytes;
}

/// A pool buffer that grows as a body arrives, its bytes kept.
class GrowingBuffer {
 public:
  /// Makes room for Needed bytes and a NUL; Exact asks for no more (a body
  /// whose length is known). FALSE when out of memory.
  bool Reserve(UINTN Needed, bool Exact) {
    if (Needed + 1 <= mCapacity) {
      return true;
    }
    UINTN Size = mCapacity == 0 ? BODY_PIECE : mCapacity;
    while (Size < Needed + 1) {
      Size *= 2;
    }
    if (Exact) {
      Size = Needed + 1;
    }
    auto Bigger = PoolPtr<CHAR8>::AllocateZeroed(Size);
    if (!Bigger) {
      return false;
    }
    CopyMem(Bigger.Get(), mBuffer.Get(), mLength);
    mBuffer = static_cast<PoolPtr<CHAR8> &&>(Bigger);
    mCapacity = Size;
    return true;
  }

  CHAR8 *Data() { return mBuffer.Get(); }
  UINTN &Length() { return mLength; }
  UINTN Capacity() const { return mCapacity; }
  /// The body, NUL-terminated, in a block of its own size: the caller may
  /// keep it long. Null when out of memory.
  CHAR8 *Release() {
    if (mCapacity > mLength + 1) {
      auto Fitted = PoolPtr<CHAR8>::AllocateZeroed(mLength + 1);
      if (!Fitted) {
        return nullptr;
      }
      CopyMem(Fitted.Get(), mBuffer.Get(), mLength);
      mBuffer = static_cast<PoolPtr<CHAR8> &&>(Fitted);
      mCapacity = mLength + 1;
    }
    mBuffer[mLength] = '\0';
    return mBuffer.Release();
  }

 private:
  PoolPtr<CHAR8> mBuffer;
  UINTN mCapacity = 0;
  UINTN mLength = 0;
};

/// How an answer's body is framed, and with FRAMING::Length its length.
enum class FRAMING : UINT8 { None, Length, Chunked, UntilClose };

/// The framing of the body of Answer (its head read) to a Method request.
EFI_STATUS FramingOf(EFI_HTTP_METHOD Method, const HTTP_ANSWER &Answer, FRAMING *Framing,
                     UINTN *Expected) {
  const EFI_HTTP_HEADER *Encoding =
      FindHeader(Answer.Headers, Answer.HeaderCount, "Transfer-Encoding");
  const EFI_HTTP_HEADER *Length = FindHeader(Answer.Headers, Answer.HeaderCount, "Content-Length");
  *Framing = FRAMING::UntilClose;
  if (WithoutBody(Method, Answer.StatusCode)) {
    *Framing = FRAMING::None;
  } else if (Encoding != nullptr) {
    // Transfer-Encoding wins over Content-Length; one that does not end in
    // chunked cannot be framed.
    if (!LastTokenIs(Encoding->FieldValue, "chunked")) {
      return EFI_PROTOCOL_ERROR;
    }
    *Framing = FRAMING::Chunked;
  } else if (Length != nullptr) {
    bool TooLarge = false;
    if (!ReadContentLength(Length->FieldValue, Expected, &TooLarge)) {
      return TooLarge ? EFI_BAD_BUFFER_SIZE : EFI_PROTOCOL_ERROR;
    }
    // A read of a body of none would wait for bytes that never come.
    *Framing = *Expected == 0 ? FRAMING::None : FRAMING::Length;
  }
  return EFI_SUCCESS;
}

/// Read raw bytes of a chunked body came after Have decoded ones: decoded in
/// place (the decoded bytes never overtake the raw ones). *Done after the
/// last chunk; *ResetAfter when bytes follow it.
EFI_STATUS TakeChunkedPiece(ChunkedBody *Chunks, GrowingBuffer *Body, UINTN Have, UINTN Read,
                            bool *Done, bool *ResetAfter) {
  Chunks->Relocate(Body->Data(), MAX_RESPONSE_BODY);
  UINTN Used = Chunks->Take(Body->Data() + Have, Read);
  Body->Length() = Chunks->Length();
  if (Chunks->Broken()) {
    return Chunks->Length() >= MAX_RESPONSE_BODY ? EFI_BAD_BUFFER_SIZE : EFI_PROTOCOL_ERROR;
  }
  if (Chunks->Done()) {
    // Bytes past the last chunk would be the start of a message the
    // service never should have sent: the connection cannot go on.
    *ResetAfter = *ResetAfter || Used != Read;
    *Done = true;
    return EFI_SUCCESS;
  }
  return Read == 0 ? EFI_PROTOCOL_ERROR : EFI_SUCCESS;
}

/// Read bytes of a body framed by its length (ByLength, Expected bytes) or
/// by the connection's close came after the body's others.
EFI_STATUS TakeRawPiece(bool ByLength, UINTN Expected, GrowingBuffer *Body, UINTN Read, bool *Done,
                        bool *ResetAfter) {
  Body->Length() += Read;
  if (ByLength && Body->Length() == Expected) {
    *Done = true;
    return EFI_SUCCESS;
  }
  if (Read != 0) {
    return EFI_SUCCESS;
  }
  if (ByLength) {
    // The stack says the message ended before its length.
    return EFI_PROTOCOL_ERROR;
  }
  // A body framed by the connection's close: the stack hands over what it
  // has, and the connection is spent.
  *ResetAfter = true;
  *Done = true;
  return EFI_SUCCESS;
}

}  // namespace

void FreeHeaders(EFI_HTTP_HEADER *Headers, UINTN Count) {
  if (Headers == nullptr) {
    return;
  }
  for (UINTN Index = 0; Index < Count; Index++) {
    FreePool(Headers[Index].FieldName);
    FreePool(Headers[Index].FieldValue);
  }
  FreePool(Headers);
}

EFI_STATUS HttpChannel::Open(EFI_HANDLE Nic, const REDFISH_SERVICE_LOCATION &Location) {
  EFI_STATUS Status = gBS->HandleProtocol(Nic, &gEfiHttpServiceBindingProtocolGuid,
                                          reinterpret_cast<VOID **>(&mService));
  if (EFI_ERROR(Status)) {
    return Status;
  }
  mChild = nullptr;
  Status = mService->CreateChild(mService, &mChild);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  Status = gBS->HandleProtocol(mChild, &gEfiHttpProtocolGuid, reinterpret_cast<VOID **>(&mHttp));
  if (!EFI_ERROR(Status)) {
    Status = gBS->CreateEvent(0, TPL_CALLBACK, nullptr, nullptr, &mRequestEvent);
  }
  if (!EFI_ERROR(Status)) {
    Status = gBS->CreateEvent(0, TPL_CALLBACK, nullptr, nullptr, &mResponseEvent);
  }
  if (!EFI_ERROR(Status)) {
    Status = gBS->CreateEvent(EVT_TIMER, TPL_CALLBACK, nullptr, nullptr, &mDeadline);
  }
  if (!EFI_ERROR(Status)) {
    mAccessPoint.UseDefaultAddress = Location.HostAddressByDefault;
    mAccessPoint.LocalAddress = Location.HostAddress;
    mAccessPoint.LocalSubnet = Location.HostSubnet;
    mConfig.HttpVersion = HttpVersion11;
    mConfig.AccessPoint.IPv4Node = &mAccessPoint;
    Status = mHttp->Configure(mHttp, &mConfig);
  }
  if (EFI_ERROR(Status)) {
    Close();
  }
  return Status;
}

void HttpChannel::Close() {
  EFI_EVENT *Events[] = {&mRequestEvent, &mResponseEvent, &mDeadline};
  for (EFI_EVENT *Event : Events) {
    if (*Event != nullptr) {
      (void)gBS->CloseEvent(*Event);
      *Event = nullptr;
    }
  }
  if (mChild != nullptr) {
    if (mHttp != nullptr) {
      (void)mHttp->Configure(mHttp, nullptr);
    }
    (void)mService->DestroyChild(mService, mChild);
  }
  mHttp = nullptr;
  mChild = nullptr;
  mConnectionUsed = false;
}

void HttpChannel::Reset() {
  mConnectionUsed = false;
  if (mHttp == nullptr) {
    return;
  }
  // Configure(NULL) aborts the connection and forgets every token; the
  // tokens are members, so whatever it still writes into them lands here.
  (void)mHttp->Configure(mHttp, nullptr);
  (void)mHttp->Configure(mHttp, &mConfig);
}

bool HttpChannel::Expired() {
  if (!mExpired && gBS->CheckEvent(mDeadline) == EFI_SUCCESS) {
    mExpired = true;
  }
  return mExpired;
}

EFI_STATUS HttpChannel::Wait(EFI_HTTP_TOKEN *Token) {
  // HttpDxe writes the status before it signals the event; the read must
  // see its write, so it goes through a volatile access.
  const volatile EFI_STATUS *Status = &Token->Status;
  while (*Status == EFI_NOT_READY) {
    if (Expired()) {
      return EFI_TIMEOUT;
    }
    (void)mHttp->Poll(mHttp);
  }
  return *Status;
}

EFI_STATUS HttpChannel::ReadPiece(CHAR8 *Into, UINTN Room, UINTN *Read) {
  mResponseMessage = {};
  mResponseMessage.BodyLength = Room;
  mResponseMessage.Body = Into;
  mResponseToken = {mResponseEvent, EFI_NOT_READY, &mResponseMessage};
  EFI_STATUS Status = mHttp->Response(mHttp, &mResponseToken);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  Status = Wait(&mResponseToken);
  if (Status == EFI_TIMEOUT) {
    (void)mHttp->Cancel(mHttp, &mResponseToken);
  }
  // Pieces of an error answer carry HttpDxe's EFI_HTTP_ERROR: still body.
  if (Status != EFI_SUCCESS && Status != EFI_HTTP_ERROR) {
    return Status;
  }
  *Read = mResponseMessage.BodyLength;
  return *Read <= Room ? EFI_SUCCESS : EFI_PROTOCOL_ERROR;
}

EFI_STATUS HttpChannel::ReadBody(const HTTP_ASK &Ask, HTTP_ANSWER *Answer) {
  FRAMING Framing = FRAMING::UntilClose;
  UINTN Expected = 0;
  EFI_STATUS Status = FramingOf(Ask.Method, *Answer, &Framing, &Expected);
  if (EFI_ERROR(Status) || Framing == FRAMING::None) {
    return Status;
  }
  GrowingBuffer Body;
  ChunkedBody Chunks(nullptr, 0);
  for (bool Done = false; !Done;) {
    UINTN Have = Body.Length();
    UINTN Room = Framing == FRAMING::Length ? Expected - Have : BODY_PIECE;
    if (Room > BODY_PIECE) {
      Room = BODY_PIECE;
    }
    if (Have + Room > MAX_RESPONSE_BODY + BODY_PIECE) {
      return EFI_BAD_BUFFER_SIZE;
    }
    if (!Body.Reserve(Framing == FRAMING::Length ? Expected : Have + Room,
                      Framing == FRAMING::Length)) {
      return EFI_OUT_OF_RESOURCES;
    }
    UINTN Read = 0;
    Status = ReadPiece(Body.Data() + Have, Room, &Read);
    if (EFI_ERROR(Status)) {
      return Status;
    }
    Status =
        Framing == FRAMING::Chunked
            ? TakeChunkedPiece(&Chunks, &Body, Have, Read, &Done, &mResetAfter)
            : TakeRawPiece(Framing == FRAMING::Length, Expected, &Body, Read, &Done, &mResetAfter);
    if (EFI_ERROR(Status)) {
      return Status;
    }
  }
  Answer->BodyLength = Body.Length();
  Answer->Body = Body.Release();
  return Answer->Body != nullptr ? EFI_SUCCESS : EFI_OUT_OF_RESOURCES;
}

EFI_STATUS HttpChannel::Attempt(const HTTP_ASK &Ask, HTTP_ANSWER *Answer, bool *Received) {
  *Received = false;
  mRequestData.Method = Ask.Method;
  mRequestData.Url = Ask.Url;
  mRequestMessage.Data.Request = &mRequestData;
  mRequestMessage.HeaderCount = Ask.HeaderCount;
  mRequestMessage.Headers = Ask.Headers;
  mRequestMessage.BodyLength = Ask.BodyLength;
  mRequestMessage.Body = Ask.Body;
  mRequestToken = {mRequestEvent, EFI_NOT_READY, &mRequestMessage};
  if (mConnectionUsed) {
    // Lets the stack see a close the service made while the connection was
    // idle, so that it opens a fresh one rather than send into the old one.
    (void)mHttp->Poll(mHttp);
  }
  EFI_STATUS Status = mHttp->Request(mHttp, &mRequestToken);
  if (!EFI_ERROR(Status)) {
    // The response must not be asked for before the request is out.
    Status = Wait(&mRequestToken);
  }
  if (EFI_ERROR(Status)) {
    return Status;
  }

  mResponseData.StatusCode = HTTP_STATUS_UNSUPPORTED_STATUS;
  mResponseMessage = {};
  mResponseMessage.Data.Response = &mResponseData;
  mResponseToken = {mResponseEvent, EFI_NOT_READY, &mResponseMessage};
  Status = mHttp->Response(mHttp, &mResponseToken);
  if (!EFI_ERROR(Status)) {
    Status = Wait(&mResponseToken);
  }
  // Any answer of 300 and above comes with EFI_HTTP_ERROR: still an answer.
  if (Status != EFI_SUCCESS && Status != EFI_HTTP_ERROR) {
    FreeHeaders(mResponseMessage.Headers, mResponseMessage.HeaderCount);
    return EFI_ERROR(Status) ? Status : EFI_PROTOCOL_ERROR;
  }
  *Received = true;
  Answer->StatusCode = mResponseData.StatusCode;
  Answer->Headers = mResponseMessage.Headers;
  Answer->HeaderCount = Answer->Headers != nullptr ? mResponseMessage.HeaderCount : 0;
  if (HeaderBytes(Answer->Headers, Answer->HeaderCount) > MAX_RESPONSE_HEADER_BYTES) {
    Status = EFI_BAD_BUFFER_SIZE;
  } else {
    Status = ReadBody(Ask, Answer);
  }
  if (EFI_ERROR(Status)) {
    FreeHeaders(Answer->Headers, Answer->HeaderCount);
    *Answer = {};
    return Status;
  }
  const EFI_HTTP_HEADER *Connection =
      FindHeader(Answer->Headers, Answer->HeaderCount, "Connection");
  mConnectionUsed = Connection == nullptr || !LastTokenIs(Connection->FieldValue, "close");
  return EFI_SUCCESS;
}

EFI_STATUS HttpChannel::Exchange(const HTTP_ASK &Ask, UINT32 TimeoutMs, HTTP_ANSWER *Answer) {
  *Answer = {};
  if (mHttp == nullptr) {
    return EFI_NOT_STARTED;
  }
  mExpired = false;
  mResetAfter = false;
  EFI_STATUS Status = gBS->SetTimer(mDeadline, TimerRelative,
                                    static_cast<UINT64>(TimeoutMs) * TICKS_PER_MILLISECOND);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  bool Reused = mConnectionUsed;
  bool Received = false;
  Status = Attempt(Ask, Answer, &Received);
  if (EFI_ERROR(Status)) {
    Reset();
    // A kept-alive connection the service closed fails before any answer:
    // the same request goes once more, on a fresh connection.
    if (Reused && !Received && !Expired()) {
      Status = Attempt(Ask, Answer, &Received);
      if (EFI_ERROR(Status)) {
        Reset();
      }
    }
  }
  if (!EFI_ERROR(Status) && mResetAfter) {
    Reset();
  }
  (void)gBS->SetTimer(mDeadline, TimerCancel, 0);
  return Status;
}
