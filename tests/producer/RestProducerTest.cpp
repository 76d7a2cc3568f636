// The REST producer on the emulated HTTP stack against loopback servers that
// answer well, badly or not at all: each case ends in the status the driver
// would see, nothing the producer keeps, and a next request that works.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "boot/HostBoot.h"
#include "platform/Guids.h"
#include "producer/ServiceLocation.h"
#include "uefi/Rest.h"

namespace {

/// What the server does with one request it read.
struct REPLY {
  std::string Bytes;    ///< sent as they stand
  int DelayMs = 0;      ///< before they are sent
  bool Close = false;   ///< the connection is closed after them
  bool Silent = false;  ///< nothing is sent; the connection stays open
};

/// A loopback server that answers each request it reads with the next of
/// its scripted replies (the probe of /redfish is answered on its own), and
/// counts connections and requests.
class ScriptedServer {
 public:
  ScriptedServer() {
    mListener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in Address = {};
    Address.sin_family = AF_INET;
    Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t Size = sizeof(Address);
    EXPECT_EQ(bind(mListener, reinterpret_cast<sockaddr *>(&Address), sizeof(Address)), 0);
    EXPECT_EQ(listen(mListener, 8), 0);
    EXPECT_EQ(getsockname(mListener, reinterpret_cast<sockaddr *>(&Address), &Size), 0);
    mPort = ntohs(Address.sin_port);
    mThread = std::thread([this] { Run(); });
  }
  ~ScriptedServer() {
    mStop = true;
    mThread.join();
    close(mListener);
  }

  int Port() const { return mPort; }
  void Script(std::vector<REPLY> Replies) {
    std::lock_guard<std::mutex> Guard(mLock);
    mReplies.assign(Replies.begin(), Replies.end());
  }
  int Connections() const { return mConnections; }
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> Guard(mLock);
    return mRequests;
  }

 private:
  static constexpr const char *PROBE_ANSWER =
      "HTTP/1.1 200 OK\r\nContent-Length: 21\r\n\r\n{\"v1\":\"/redfish/v1/\"}";

  struct CONNECTION {
    int Socket;
    std::string Pending;
    /// Replies waiting for their time, oldest first.
    std::deque<std::pair<std::chrono::steady_clock::time_point, REPLY>> Due;
    bool Gone = false;
  };

  void Run() {
    std::vector<CONNECTION> Open;
    while (!mStop) {
      std::vector<pollfd> Watched = {{mListener, POLLIN, 0}};
      for (const CONNECTION &Connection : Open) {
        Watched.push_back({Connection.Socket, POLLIN, 0});
      }
      (void)poll(Watched.data(), Watched.size(), 5);
      for (size_t Index = 0; Index < Open.size(); Index++) {
        CONNECTION &Connection = Open[Index];
        if ((Watched[Index + 1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
          Read(&Connection);
        }
        // A late reply is sent late, without holding up the others.
        while (!Connection.Gone && !Connection.Due.empty() &&
               Connection.Due.front().first <= std::chrono::steady_clock::now()) {
          REPLY Reply = Connection.Due.front().second;
          Connection.Due.pop_front();
          (void)send(Connection.Socket, Reply.Bytes.data(), Reply.Bytes.size(), MSG_NOSIGNAL);
          Connection.Gone = Reply.Close;
        }
      }
      for (size_t Index = Open.size(); Index-- > 0;) {
        if (Open[Index].Gone && Open[Index].Due.empty()) {
          close(Open[Index].Socket);
          Open.erase(Open.begin() + static_cast<std::ptrdiff_t>(Index));
        }
      }
      if ((Watched[0].revents & POLLIN) != 0) {
        Open.push_back({accept4(mListener, nullptr, nullptr, SOCK_CLOEXEC), "", {}, false});
        mConnections++;
      }
    }
    for (const CONNECTION &Connection : Open) {
      close(Connection.Socket);
    }
  }

  /// Reads what came and schedules the reply of every whole request.
  void Read(CONNECTION *Connection) {
    char Buffer[65536];
    ssize_t Read = recv(Connection->Socket, Buffer, sizeof(Buffer), 0);
    if (Read <= 0) {
      Connection->Gone = true;
      Connection->Due.clear();
      return;
    }
    Connection->Pending.append(Buffer, static_cast<size_t>(Read));
    for (;;) {
      std::string &Pending = Connection->Pending;
      size_t End = Pending.find("\r\n\r\n");
      if (End == std::string::npos) {
        return;
      }
      size_t Length = 0;
      size_t Field = Pending.find("Content-Length: ");
      if (Field != std::string::npos && Field < End) {
        Length = std::strtoul(Pending.c_str() + Field + 16, nullptr, 10);
      }
      if (Pending.size() < End + 4 + Length) {
        return;
      }
      std::string Request = Pending.substr(0, End + 4 + Length);
      Pending.erase(0, End + 4 + Length);
      REPLY Reply;
      if (Request.compare(0, 13, "GET /redfish ") == 0) {
        Reply.Bytes = PROBE_ANSWER;
      } else {
        std::lock_guard<std::mutex> Guard(mLock);
        mRequests.push_back(Request);
        if (!mReplies.empty()) {
          Reply = mReplies.front();
          mReplies.pop_front();
        }
      }
      if (!Reply.Silent) {
        Connection->Due.emplace_back(
            std::chrono::steady_clock::now() + std::chrono::milliseconds(Reply.DelayMs), Reply);
      }
    }
  }

  int mListener = -1;
  int mPort = 0;
  std::atomic<bool> mStop{false};
  std::atomic<int> mConnections{0};
  std::mutex mLock;
  std::deque<REPLY> mReplies;
  std::vector<std::string> mRequests;
  std::thread mThread;
};

constexpr const char *GOOD =
    "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 7\r\n\r\n{\"a\":1}";

/// What the driver got: the status, and with an answer its code and body.
struct GOT {
  EFI_STATUS Status = EFI_SUCCESS;
  EFI_HTTP_STATUS_CODE Code = HTTP_STATUS_UNSUPPORTED_STATUS;
  std::string Body;
};

class RestProducerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Machine.PowerOn();
    NETWORK_SETUP Setup;
    Setup.Present = true;
    Setup.HeadTimeoutMs = 300;
    Machine.Network().SetUp(Setup);
    std::string Config =
        "service=127.0.0.1:" + std::to_string(Server.Port()) + " host=dhcp timeout=400";
    Machine.SetVariable(SERVICE_VARIABLE_NAME, gNvdimmRestProducerVariableGuid, Config);
    Machine.SetVariable(CREDENTIALS_VARIABLE_NAME, gNvdimmRestProducerVariableGuid, "op:secret");
    Machine.BeginBoot();
    ASSERT_EQ(StartProducerOnHost(nullptr, Machine.SystemTable()), EFI_SUCCESS);
    ASSERT_EQ(Machine.BootServices()->LocateProtocol(&gEfiRestProtocolGuid, nullptr,
                                                     reinterpret_cast<VOID **>(&Rest)),
              EFI_SUCCESS);
  }
  void TearDown() override {
    EXPECT_EQ(Machine.TakeProblems(), std::vector<std::string>());
    Machine.EndBoot();
    Machine.PowerOn();
  }

  /// One request as the driver sends it, at Tpl; the answer's blocks freed
  /// as the driver frees them.
  GOT Send(EFI_HTTP_METHOD Method = HttpMethodGet, EFI_TPL Tpl = TPL_APPLICATION,
           const CHAR16 *Path = u"/redfish/v1/Oem/Velk/Viz/ActionStatus") {
    std::u16string Url = Path;
    static CHAR8 Accept[] = "Accept";
    static CHAR8 Json[] = "application/json";
    EFI_HTTP_HEADER Headers[] = {{Accept, Json}};
    EFI_HTTP_REQUEST_DATA Data = {Method, Url.data()};
    EFI_HTTP_MESSAGE Request = {};
    Request.Data.Request = &Data;
    Request.HeaderCount = 1;
    Request.Headers = Headers;
    static char Body[] = "{\"Status\":\"Success\"}";
    if (Method == HttpMethodPatch) {
      Request.Body = Body;
      Request.BodyLength = std::strlen(Body);
    }
    EFI_HTTP_RESPONSE_DATA Record = {};
    EFI_HTTP_MESSAGE Response = {};
    Response.Data.Response = &Record;
    GOT Got;
    {
      SideScope Driver(Side::Driver);
      EFI_TPL Old = Machine.BootServices()->RaiseTPL(Tpl);
      Machine.EnterProducer();
      Got.Status = Rest->SendReceive(Rest, &Request, &Response);
      for (UINTN Index = 0; Response.Headers != nullptr && Index < Response.HeaderCount; Index++) {
        Machine.HandOver(Response.Headers[Index].FieldName);
        Machine.HandOver(Response.Headers[Index].FieldValue);
      }
      if (Response.Headers != nullptr) {
        Machine.HandOver(Response.Headers);
      }
      if (Response.Body != nullptr) {
        Machine.HandOver(Response.Body);
      }
      Machine.LeaveProducer();
      Machine.BootServices()->RestoreTPL(Old);
    }
    Got.Code = Response.Data.Response->StatusCode;
    if (Response.Body != nullptr) {
      Got.Body.assign(static_cast<char *>(Response.Body), Response.BodyLength);
    }
    for (UINTN Index = 0; Response.Headers != nullptr && Index < Response.HeaderCount; Index++) {
      (void)Machine.BootServices()->FreePool(Response.Headers[Index].FieldName);
      (void)Machine.BootServices()->FreePool(Response.Headers[Index].FieldValue);
    }
    if (Response.Headers != nullptr) {
      (void)Machine.BootServices()->FreePool(Response.Headers);
    }
    if (Response.Body != nullptr) {
      (void)Machine.BootServices()->FreePool(Response.Body);
    }
    return Got;
  }

  Firmware &Machine = Firmware::Instance();
  ScriptedServer Server;
  EFI_REST_PROTOCOL *Rest = nullptr;
};

// Each broken answer is a clean error (or, where the framing says so, the
// bytes it framed), and the request after it, on a fresh connection, works.
TEST_F(RestProducerTest, HostileAnswersEndCleanly) {
  struct CASE {
    const char *Name;
    std::vector<REPLY> Replies;  ///< for the first request
    bool Answered;               ///< the first request gets an answer
    EFI_HTTP_STATUS_CODE Code;
    const char *Body;
  };
  const std::string HugeHead = "HTTP/1.1 200 OK\r\n" + std::string(1 << 20, 'X') + ": y\r\n";
  const CASE Cases[] = {
      {"closed mid-body",
       {{"HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n{\"a\"", 0, true}},
       false,
       HTTP_STATUS_UNSUPPORTED_STATUS,
       nullptr},
      {"longer Content-Length, then silence",
       {{"HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n{\"a\":1}"}},
       false,
       HTTP_STATUS_UNSUPPORTED_STATUS,
       nullptr},
      {"shorter Content-Length: the framed bytes",
       {{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n{\"a\":1}"}},
       true,
       HTTP_STATUS_200_OK,
       "{\"a\""},
      {"never answers", {{"", 0, false, true}}, false, HTTP_STATUS_UNSUPPORTED_STATUS, nullptr},
      {"answers after the deadline",
       {{"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n{\"late\":1}", 700}},
       false,
       HTTP_STATUS_UNSUPPORTED_STATUS,
       nullptr},
      {"1 MiB of headers",
       {{HugeHead + "Content-Length: 0\r\n\r\n"}},
       false,
       HTTP_STATUS_UNSUPPORTED_STATUS,
       nullptr},
      {"chunked, a size that is no number",
       {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n"}},
       false,
       HTTP_STATUS_UNSUPPORTED_STATUS,
       nullptr},
      {"chunked, a line with no size",
       {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n;x\r\nabc\r\n0\r\n\r\n"}},
       false,
       HTTP_STATUS_UNSUPPORTED_STATUS,
       nullptr},
      {"chunked, a size past the data",
       {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nff\r\nabc\r\n", 0, true}},
       false,
       HTTP_STATUS_UNSUPPORTED_STATUS,
       nullptr},
      {"chunked, well formed",
       {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\n{\"a\r\n4;x=1\r\n\":1}\r\n0\r\n"
         "T: v\r\n\r\n"}},
       true,
       HTTP_STATUS_200_OK,
       "{\"a\":1}"},
      {"a redirect is not followed",
       {{"HTTP/1.1 301 Moved Permanently\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n\r\n"}},
       true,
       HTTP_STATUS_301_MOVED_PERMANENTLY,
       ""},
      {"HTTP/1.0 without keep-alive",
       {{"HTTP/1.0 200 OK\r\nContent-Length: 7\r\n\r\n{\"a\":1}", 0, true}},
       true,
       HTTP_STATUS_200_OK,
       "{\"a\":1}"},
  };
  for (const CASE &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Server.Script(Case.Replies);
    auto Start = std::chrono::steady_clock::now();
    GOT First = Send();
    auto Took = std::chrono::steady_clock::now() - Start;
    EXPECT_LT(Took, std::chrono::seconds(3)) << "no wait may go past the deadline much";
    if (Case.Answered) {
      EXPECT_EQ(First.Status, EFI_SUCCESS);
      EXPECT_EQ(First.Code, Case.Code);
      EXPECT_EQ(First.Body, Case.Body);
    } else {
      EXPECT_TRUE(EFI_ERROR(First.Status)) << std::hex << First.Status;
    }
    // Twice: a request the producer tries again reaches the service twice.
    Server.Script({{GOOD}, {GOOD}});
    GOT Next = Send();
    EXPECT_EQ(Next.Status, EFI_SUCCESS);
    EXPECT_EQ(Next.Code, HTTP_STATUS_200_OK);
    EXPECT_EQ(Next.Body, "{\"a\":1}");
    EXPECT_EQ(Machine.TakeProblems(), std::vector<std::string>());
  }
}

// Requests go out absolute-less as the service expects them: Host, the body's
// length and the credentials added; one connection carries them all, and a
// connection the service closed while idle is replaced without the driver
// seeing it.
TEST_F(RestProducerTest, OneKeptAliveConnectionWithTheProducersHeaders) {
  Server.Script({{GOOD}, {GOOD}});
  EXPECT_EQ(Send().Status, EFI_SUCCESS);
  EXPECT_EQ(Send(HttpMethodPatch).Status, EFI_SUCCESS);
  EXPECT_EQ(Server.Connections(), 1) << "the probe's connection carries both";
  std::vector<std::string> Requests = Server.Requests();
  ASSERT_EQ(Requests.size(), 2u);
  const std::string Host = "Host: 127.0.0.1:" + std::to_string(Server.Port()) + "\r\n";
  EXPECT_EQ(Requests[0].compare(0, 43, "GET /redfish/v1/Oem/Velk/Viz/ActionStatus H"), 0)
      << Requests[0];
  EXPECT_NE(Requests[0].find(Host), std::string::npos) << Requests[0];
  EXPECT_NE(Requests[0].find("Authorization: Basic b3A6c2VjcmV0\r\n"), std::string::npos);
  EXPECT_EQ(Requests[0].find("Content-Length"), std::string::npos) << "a GET has no body";
  EXPECT_NE(Requests[1].find("Content-Length: 20\r\n"), std::string::npos) << Requests[1];

  Server.Script({{GOOD, 0, true}, {GOOD}});
  EXPECT_EQ(Send().Status, EFI_SUCCESS);  // the service closes after this answer
  EXPECT_EQ(Send().Status, EFI_SUCCESS);
  EXPECT_EQ(Server.Connections(), 2);

  // What a request line cannot carry goes as %XX; a sign-widened byte (the
  // é of café as the units FFC3 FFA9) as the byte it was.
  Server.Script({{GOOD}});
  EXPECT_EQ(Send(HttpMethodGet, TPL_APPLICATION, u"/a b/caf\xFFC3\xFFA9\x00E9\x0001").Status,
            EFI_SUCCESS);
  Requests = Server.Requests();
  ASSERT_EQ(Requests.size(), 5u);
  EXPECT_EQ(Requests[4].compare(0, 37, "GET /a%20b/caf%C3%A9%E9%01 HTTP/1.1\r\n"), 0)
      << Requests[4];
}

// Above TPL_CALLBACK the producer refuses at once, and nothing reaches the
// network.
TEST_F(RestProducerTest, RefusesAboveTplCallback) {
  Server.Script({{GOOD}, {GOOD}});
  EXPECT_EQ(Send(HttpMethodGet, TPL_NOTIFY).Status, EFI_ACCESS_DENIED);
  EXPECT_TRUE(Server.Requests().empty());
  EXPECT_EQ(Send(HttpMethodGet, TPL_CALLBACK).Status, EFI_SUCCESS);
  EXPECT_EQ(Server.Requests().size(), 1u);
}

}  // namespace
