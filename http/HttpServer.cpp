#include "http/HttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <list>
#include <map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

/// A connection whose unsent answers pass this is not read from until the
/// client has taken them.
constexpr size_t MAX_PENDING_OUTPUT = 4u << 20;
constexpr size_t READ_PIECE = 65536;
/// The longest poll wait: Stop and deadlines are looked at this often.
constexpr int POLL_MILLISECONDS = 100;

enum class PHASE { Handshake, Open, Closing };

}  // namespace

struct HttpServer::STATE {
  struct CONNECTION {
    int Socket = -1;
    SSL *Tls = nullptr;
    HTTP_PEER Peer;
    PHASE Phase = PHASE::Open;
    HttpRequestParser Parser;
    std::string Output;
    bool Continued = false;   ///< "100 Continue" sent for the request being read
    bool PeerClosed = false;  ///< the client sent its last byte
    bool CloseAfterOutput = false;
    Clock::time_point Started;  ///< of the request being read, or the handshake
    Clock::time_point Writing;  ///< since when Output waits
    Clock::time_point Idle;     ///< since when nothing was pending
    bool RequestOpen = false;
  };

  int Listener = -1;
  int Wake[2] = {-1, -1};
  SSL_CTX *TlsContext = nullptr;
  std::list<CONNECTION> Connections;
  std::map<std::string, size_t> PerAddress;

  ~STATE() {
    for (CONNECTION &Connection : Connections) {
      if (Connection.Tls != nullptr) {
        SSL_free(Connection.Tls);
      }
      close(Connection.Socket);
    }
    if (Listener >= 0) {
      close(Listener);
    }
    for (int End : Wake) {
      if (End >= 0) {
        close(End);
      }
    }
    if (TlsContext != nullptr) {
      SSL_CTX_free(TlsContext);
    }
  }
};

namespace {

std::string AddressText(const sockaddr_storage &Address) {
  char Text[INET6_ADDRSTRLEN] = {};
  if (Address.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in &>(Address).sin_addr, Text,
              sizeof(Text));
  } else if (Address.ss_family == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 &>(Address).sin6_addr, Text,
              sizeof(Text));
  }
  return Text;
}

}  // namespace

HttpServer::HttpServer(Handler Handle, Refusal Refuse, HTTP_SERVER_LIMITS Limits)
    : mHandle(std::move(Handle)),
      mRefuse(std::move(Refuse)),
      mLimits(Limits),
      mState(std::make_unique<STATE>()) {}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::UseTls(const std::string &Certificate, const std::string &Key,
                        std::string *Problem) {
  SSL_CTX *Context = SSL_CTX_new(TLS_server_method());
  if (Context == nullptr || SSL_CTX_set_min_proto_version(Context, TLS1_2_VERSION) != 1 ||
      SSL_CTX_use_certificate_chain_file(Context, Certificate.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(Context, Key.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_check_private_key(Context) != 1) {
    if (Context != nullptr) {
      SSL_CTX_free(Context);
    }
    ERR_clear_error();
    *Problem = "the certificate or its key cannot be used";
    return false;
  }
  SSL_CTX_set_mode(Context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  mState->TlsContext = Context;
  return true;
}

int HttpServer::Bind(const std::string &Host, int Port, std::string *Problem) {
  addrinfo Hints = {};
  Hints.ai_family = AF_UNSPEC;
  Hints.ai_socktype = SOCK_STREAM;
  Hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo *Found = nullptr;
  std::string Service = std::to_string(Port);
  if (getaddrinfo(Host.c_str(), Service.c_str(), &Hints, &Found) != 0 || Found == nullptr) {
    *Problem = "cannot listen on " + Host + ":" + Service;
    return -1;
  }
  int Listener = socket(Found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  int Yes = 1;
  bool Bound = Listener >= 0 &&
               setsockopt(Listener, SOL_SOCKET, SO_REUSEADDR, &Yes, sizeof(Yes)) == 0 &&
               bind(Listener, Found->ai_addr, Found->ai_addrlen) == 0 && listen(Listener, 128) == 0;
  freeaddrinfo(Found);
  sockaddr_storage Address = {};
  socklen_t Size = sizeof(Address);
  if (!Bound || getsockname(Listener, reinterpret_cast<sockaddr *>(&Address), &Size) != 0) {
    if (Listener >= 0) {
      close(Listener);
    }
    *Problem = "cannot listen on " + Host + ":" + Service;
    return -1;
  }
  mState->Listener = Listener;
  return ntohs(Address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 &>(Address).sin6_port
                                             : reinterpret_cast<sockaddr_in &>(Address).sin_port);
}

void HttpServer::Start() {
  if (pipe2(mState->Wake, O_NONBLOCK | O_CLOEXEC) != 0) {
    mState->Wake[0] = mState->Wake[1] = -1;
  }
  mStop = false;
  mThread = std::thread([this] { Loop(); });
}

void HttpServer::Stop() {
  mStop = true;
  if (mState->Wake[1] >= 0) {
    char Byte = 0;
    (void)!write(mState->Wake[1], &Byte, 1);
  }
  if (mThread.joinable()) {
    mThread.join();
  }
}

namespace {

/// The loop's work on one connection. Returns false when it is to be closed
/// now.
class ConnectionWork {
 public:
  using CONNECTION = HttpServer::STATE::CONNECTION;

  ConnectionWork(CONNECTION &Connection, const HTTP_SERVER_LIMITS &Limits,
                 const HttpServer::Handler &Handle, const HttpServer::Refusal &Refuse,
                 const HttpServer::RefusalSink &Refused)
      : mConnection(Connection),
        mLimits(Limits),
        mHandle(Handle),
        mRefuse(Refuse),
        mRefused(Refused) {}

  /// Handshake, reads and writes as far as the socket lets them go.
  bool Run() {
    if (mConnection.Phase == PHASE::Handshake && !Handshake()) {
      return false;
    }
    if (mConnection.Phase == PHASE::Handshake) {
      return true;
    }
    if (!Flush()) {
      return false;
    }
    while (mConnection.Phase == PHASE::Open && !mConnection.PeerClosed &&
           mConnection.Output.size() < MAX_PENDING_OUTPUT) {
      char Buffer[READ_PIECE];
      ssize_t Read = Receive(Buffer, sizeof(Buffer));
      if (Read == 0) {
        mConnection.PeerClosed = true;
        break;
      }
      if (Read < 0) {
        if (Read == -2) {
          break;  // nothing more for now
        }
        return false;
      }
      Take(Buffer, static_cast<size_t>(Read));
      if (!Flush()) {
        return false;
      }
    }
    if (mConnection.PeerClosed && mConnection.Output.empty()) {
      return false;
    }
    return !(mConnection.Phase == PHASE::Closing && mConnection.Output.empty());
  }

  /// The connection's deadlines at Now: false when one has passed.
  bool InTime(Clock::time_point Now) {
    if (mConnection.Phase == PHASE::Handshake) {
      return Now - mConnection.Started < std::chrono::seconds(mLimits.RequestSeconds);
    }
    if (!mConnection.Output.empty()) {
      return Now - mConnection.Writing < std::chrono::seconds(mLimits.WriteSeconds);
    }
    if (mConnection.RequestOpen) {
      if (Now - mConnection.Started >= std::chrono::seconds(mLimits.RequestSeconds)) {
        Refuse(408, "The request did not arrive whole within " +
                        std::to_string(mLimits.RequestSeconds) + " seconds.");
        // The refusal goes out if the client takes it at once.
        (void)Flush();
        return false;
      }
      return true;
    }
    return Now - mConnection.Idle < std::chrono::seconds(mLimits.IdleSeconds);
  }

  /// Queues a refusal and ends the connection after it.
  void Refuse(int Code, const std::string &Why) {
    HttpAnswer Answer = mRefuse(Code, Why);
    Answer.Fields.push_back({"Connection", "close"});
    Queue(HttpResponseText(Code, Answer.Fields, Answer.Body, false));
    mConnection.Phase = PHASE::Closing;
    mConnection.RequestOpen = false;
    if (mRefused) {
      mRefused(Code, mConnection.Peer);
    }
  }

 private:
  bool Handshake() {
    ERR_clear_error();
    int Done = SSL_do_handshake(mConnection.Tls);
    if (Done == 1) {
      mConnection.Phase = PHASE::Open;
      mConnection.Idle = Clock::now();
      return true;
    }
    int Why = SSL_get_error(mConnection.Tls, Done);
    return Why == SSL_ERROR_WANT_READ || Why == SSL_ERROR_WANT_WRITE;
  }

  /// Bytes read (> 0), 0 at the client's end, -2 for none now, -1 on error.
  ssize_t Receive(char *Buffer, size_t Size) {
    if (mConnection.Tls == nullptr) {
      ssize_t Read = recv(mConnection.Socket, Buffer, Size, 0);
      if (Read < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? -2 : -1;
      }
      return Read;
    }
    ERR_clear_error();
    int Read = SSL_read(mConnection.Tls, Buffer, static_cast<int>(Size));
    if (Read > 0) {
      return Read;
    }
    int Why = SSL_get_error(mConnection.Tls, Read);
    if (Why == SSL_ERROR_WANT_READ || Why == SSL_ERROR_WANT_WRITE) {
      return -2;
    }
    return Why == SSL_ERROR_ZERO_RETURN ? 0 : -1;
  }

  /// Sends what Output holds as far as the socket takes it; false on error.
  bool Flush() {
    while (!mConnection.Output.empty()) {
      ssize_t Sent = 0;
      if (mConnection.Tls == nullptr) {
        Sent = send(mConnection.Socket, mConnection.Output.data(), mConnection.Output.size(),
                    MSG_NOSIGNAL);
        if (Sent < 0) {
          return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
      } else {
        ERR_clear_error();
        int Wrote = SSL_write(mConnection.Tls, mConnection.Output.data(),
                              static_cast<int>(mConnection.Output.size()));
        if (Wrote <= 0) {
          int Why = SSL_get_error(mConnection.Tls, Wrote);
          return Why == SSL_ERROR_WANT_READ || Why == SSL_ERROR_WANT_WRITE;
        }
        Sent = Wrote;
      }
      mConnection.Output.erase(0, static_cast<size_t>(Sent));
      mConnection.Writing = Clock::now();
    }
    mConnection.Idle = Clock::now();
    return true;
  }

  void Queue(const std::string &Text) {
    if (mConnection.Output.empty()) {
      mConnection.Writing = Clock::now();
    }
    mConnection.Output += Text;
  }

  /// Feeds read bytes to the parser and answers each request they finish.
  void Take(const char *Data, size_t Length) {
    size_t Used = 0;
    while (mConnection.Phase == PHASE::Open && Used < Length) {
      HttpRequestParser &Parser = mConnection.Parser;
      Used += Parser.Feed(Data + Used, Length - Used);
      if (Parser.Started() && !mConnection.RequestOpen) {
        mConnection.RequestOpen = true;
        mConnection.Started = Clock::now();
      }
      if (Parser.State() == HttpRequestParser::STATE::Error) {
        Refuse(Parser.ErrorCode(), Parser.ErrorText());
        return;
      }
      if (Parser.State() != HttpRequestParser::STATE::Done) {
        ExpectContinue();
        continue;
      }
      HttpRequest Request = Parser.Take();
      mConnection.RequestOpen = false;
      mConnection.Continued = false;
      Answer(Request);
    }
  }

  /// A client that waits for "100 Continue" before it sends the body gets it.
  void ExpectContinue() {
    HttpRequestParser &Parser = mConnection.Parser;
    if (mConnection.Continued || !Parser.HasHead() || Parser.BodyStarted()) {
      return;
    }
    const std::string *Expect = HttpFindField(Parser.HeadFields(), "Expect");
    if (Expect != nullptr && HttpNameEqual(*Expect, "100-continue")) {
      Queue("HTTP/1.1 100 Continue\r\n\r\n");
      mConnection.Continued = true;
    }
  }

  void Answer(const HttpRequest &Request) {
    HttpAnswer Answer = mHandle(Request, mConnection.Peer);
    bool Keep = Request.KeepAlive() && !Answer.Drop;
    if (Answer.Drop) {
      mConnection.Phase = PHASE::Closing;
      return;
    }
    if (!Keep) {
      Answer.Fields.push_back({"Connection", "close"});
      mConnection.Phase = PHASE::Closing;
    } else if (Request.Minor == 0) {
      Answer.Fields.push_back({"Connection", "keep-alive"});
    }
    Queue(HttpResponseText(Answer.Code, Answer.Fields, Answer.Body, Request.Method == "HEAD"));
  }

  CONNECTION &mConnection;
  const HTTP_SERVER_LIMITS &mLimits;
  const HttpServer::Handler &mHandle;
  const HttpServer::Refusal &mRefuse;
  const HttpServer::RefusalSink &mRefused;
};

}  // namespace

namespace {

using CONNECTIONS = std::list<HttpServer::STATE::CONNECTION>;

/// Closes a connection and forgets it.
CONNECTIONS::iterator Release(HttpServer::STATE &State, CONNECTIONS::iterator Connection) {
  if (Connection->Tls != nullptr) {
    SSL_free(Connection->Tls);
  }
  close(Connection->Socket);
  auto Count = State.PerAddress.find(Connection->Peer.Address);
  if (Count != State.PerAddress.end() && --Count->second == 0) {
    State.PerAddress.erase(Count);
  }
  return State.Connections.erase(Connection);
}

/// What to poll: the listener, the wake pipe, then every connection.
std::vector<pollfd> PollSet(const HttpServer::STATE &State) {
  std::vector<pollfd> Wanted;
  Wanted.push_back({State.Listener, POLLIN, 0});
  Wanted.push_back({State.Wake[0], POLLIN, 0});
  for (const auto &Connection : State.Connections) {
    short Events = 0;
    bool Reading = Connection.Phase == PHASE::Handshake ||
                   (Connection.Phase == PHASE::Open && !Connection.PeerClosed &&
                    Connection.Output.size() < MAX_PENDING_OUTPUT);
    if (Reading) {
      Events |= POLLIN;
    }
    if (!Connection.Output.empty() || Connection.Phase == PHASE::Handshake) {
      Events |= POLLOUT;
    }
    Wanted.push_back({Connection.Socket, Events, 0});
  }
  return Wanted;
}

}  // namespace

void HttpServer::Serve(const std::vector<pollfd> &Seen) {
  // Every connection gets its turn (a TLS one may hold decrypted bytes
  // that poll does not show), then its deadlines.
  STATE &State = *mState;
  auto Now = Clock::now();
  size_t Index = 2;
  for (auto Connection = State.Connections.begin(); Connection != State.Connections.end();
       Index++) {
    short Events = Index < Seen.size() ? Seen[Index].revents : 0;
    ConnectionWork Work(*Connection, mLimits, mHandle, mRefuse, mRefused);
    bool Keep = true;
    if (Events != 0 || Connection->Tls != nullptr) {
      Keep = (Events & (POLLERR | POLLNVAL)) == 0 && Work.Run();
    }
    Keep = Keep && Work.InTime(Now);
    Connection = Keep ? std::next(Connection) : Release(State, Connection);
  }
}

void HttpServer::Accept() {
  STATE &State = *mState;
  for (;;) {
    sockaddr_storage Address = {};
    socklen_t Size = sizeof(Address);
    int Socket = accept4(State.Listener, reinterpret_cast<sockaddr *>(&Address), &Size,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (Socket < 0) {
      return;
    }
    int Yes = 1;
    (void)setsockopt(Socket, IPPROTO_TCP, TCP_NODELAY, &Yes, sizeof(Yes));
    STATE::CONNECTION Connection;
    Connection.Socket = Socket;
    Connection.Peer.Address = AddressText(Address);
    Connection.Started = Connection.Idle = Connection.Writing = Clock::now();
    size_t &Count = State.PerAddress[Connection.Peer.Address];
    bool Over = Count >= mLimits.PerAddress || State.Connections.size() >= mLimits.Connections;
    Count++;
    if (State.TlsContext != nullptr && !Over) {
      Connection.Tls = SSL_new(State.TlsContext);
      if (Connection.Tls == nullptr || SSL_set_fd(Connection.Tls, Socket) != 1) {
        Over = true;
      } else {
        SSL_set_accept_state(Connection.Tls);
        Connection.Phase = PHASE::Handshake;
      }
    }
    State.Connections.push_back(std::move(Connection));
    if (!Over) {
      continue;
    }
    // Over its share: the client hears why (in plain HTTP; a TLS client
    // sees the connection end) and the connection closes.
    auto Added = std::prev(State.Connections.end());
    if (Added->Tls != nullptr) {
      SSL_free(Added->Tls);
      Added->Tls = nullptr;
    }
    ConnectionWork Work(*Added, mLimits, mHandle, mRefuse, mRefused);
    Work.Refuse(503, "The client has too many connections open.");
    if (State.TlsContext != nullptr) {
      Added->Output.clear();
    }
    (void)Work.Run();
    Release(State, Added);
  }
}

void HttpServer::Loop() {
  STATE &State = *mState;
  while (!mStop) {
    std::vector<pollfd> Wanted = PollSet(State);
    (void)poll(Wanted.data(), Wanted.size(), POLL_MILLISECONDS);
    if (mStop) {
      break;
    }
    if ((Wanted[1].revents & POLLIN) != 0) {
      char Drain[16];
      while (read(State.Wake[0], Drain, sizeof(Drain)) > 0) {
      }
    }
    Serve(Wanted);
    if ((Wanted[0].revents & POLLIN) != 0) {
      Accept();
    }
  }
  for (auto Connection = State.Connections.begin(); Connection != State.Connections.end();) {
    Connection = Release(State, Connection);
  }
}
