#include "server/QemuHost.h"

#include <httplib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "qemu/RestChannelFormat.h"
#include "qemu/runner/QemuBoots.h"
#include "server/StoreHttp.h"
#include "server/StoreJson.h"
#include "sim/common/HttpNames.h"

namespace {

bool WriteAll(int Socket, const std::string &Bytes) {
  size_t Done = 0;
  while (Done < Bytes.size()) {
    ssize_t Written = write(Socket, Bytes.data() + Done, Bytes.size() - Done);
    if (Written <= 0) {
      return false;
    }
    Done += static_cast<size_t>(Written);
  }
  return true;
}

bool ReadExactly(int Socket, size_t Length, std::string *Bytes) {
  Bytes->resize(Length);
  size_t Done = 0;
  while (Done < Length) {
    ssize_t Read = read(Socket, &(*Bytes)[Done], Length - Done);
    if (Read <= 0) {
      return false;
    }
    Done += static_cast<size_t>(Read);
  }
  return true;
}

bool ReadLine(int Socket, std::string *Line) {
  Line->clear();
  char Byte = 0;
  while (read(Socket, &Byte, 1) == 1) {
    if (Byte == '\n') {
      return true;
    }
    Line->push_back(Byte);
    if (Line->size() > 256) {
      return false;
    }
  }
  return false;
}

/// Serves the REST channel of one boot: connects to QEMU's socket (which
/// appears once QEMU runs) and relays requests until QEMU closes it.
void Relay(const QemuHostSetup &Setup, const std::string &Path, const std::atomic<bool> &Over) {
  int Socket = -1;
  while (!Over) {
    Socket = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un Address = {};
    Address.sun_family = AF_UNIX;
    Path.copy(Address.sun_path, sizeof(Address.sun_path) - 1);
    if (Socket >= 0 &&
        connect(Socket, reinterpret_cast<sockaddr *>(&Address), sizeof(Address)) == 0) {
      break;
    }
    if (Socket >= 0) {
      close(Socket);
      Socket = -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (Socket < 0) {
    return;
  }
  httplib::Client Client(Setup.BaseUrl);
  Client.set_keep_alive(true);
  Client.enable_server_certificate_verification(false);
  std::string Line;
  while (ReadLine(Socket, &Line)) {
    char Method[16] = {};
    unsigned long long UriLength = 0;
    unsigned long long HeadersLength = 0;
    unsigned long long BodyLength = 0;
    std::string Uri;
    std::string Headers;
    httplib::Request Out;
    if (std::sscanf(Line.c_str(), "Q %15s %llu %llu %llu", Method, &UriLength, &HeadersLength,
                    &BodyLength) != 4 ||
        !ReadExactly(Socket, UriLength, &Uri) || !ReadExactly(Socket, HeadersLength, &Headers) ||
        !ReadExactly(Socket, BodyLength, &Out.body)) {
      break;
    }
    Out.method = Method;
    Out.path = Uri;
    for (size_t Start = 0; Start < Headers.size();) {
      size_t End = Headers.find("\r\n", Start);
      std::string Field = Headers.substr(Start, End - Start);
      Start = End == std::string::npos ? Headers.size() : End + 2;
      size_t Colon = Field.find(": ");
      if (Colon == std::string::npos) {
        continue;
      }
      std::string Name = Field.substr(0, Colon);
      std::string Value = Field.substr(Colon + 2);
      if (HttpHeaderTravels(Name.c_str(), Value.c_str())) {
        Out.headers.emplace(Name, Value);
      }
    }
    Out.headers.emplace("X-Auth-Token", Setup.DriverToken);
    httplib::Result Answer = Client.send(Out);
    std::string Reply = Answer ? "A " + std::to_string(Answer->status) + " " +
                                     std::to_string(Answer->body.size()) + "\n" + Answer->body
                               : std::string("N\n");
    if (!WriteAll(Socket, Reply)) {
      break;
    }
  }
  close(Socket);
}

}  // namespace

QemuHost::QemuHost(std::FILE *Trace, std::function<void(const std::string &)> Account)
    : mTrace(Trace), mAccount(std::move(Account)) {}

QemuHost::~QemuHost() {
  if (!mDirectory.empty()) {
    std::error_code Ignored;
    std::filesystem::remove_all(mDirectory, Ignored);
  }
}

bool QemuHost::Prepare(const QemuHostSetup &Setup, std::string *Problem) {
  mSetup = Setup;
  const char *Temporary = std::getenv("TMPDIR");
  std::string Template =
      std::string(Temporary != nullptr ? Temporary : "/tmp") + "/nvdimm-serve-XXXXXX";
  if (mkdtemp(Template.data()) == nullptr) {
    *Problem = "no temporary work directory can be made";
    return false;
  }
  mDirectory = Template;
  QemuSetup Machine;
  Machine.Directory = mDirectory;
  Machine.PlatformImage = DefaultPlatformImage();
  Machine.DriverImage = DefaultDriverImage();
  Machine.ScenarioPath = Setup.ScenarioPath;
  Machine.Account = Setup.Account;
  Machine.TimeoutSeconds = Setup.TimeoutSeconds;
  if (!Setup.Network) {
    Machine.RestSocket = mDirectory + "/rest.sock";
    return mMachine.Prepare(Machine, Problem);
  }
  Machine.NetworkSocket = mDirectory + "/redfish.sock";
  Machine.ProducerImage = DefaultProducerImage();
  return mMachine.Prepare(Machine, Problem) && mGuest.Listen(Machine.NetworkSocket, Problem);
}

HttpAnswer QemuHost::AnswerGuest(const HttpRequest &Request) {
  auto Start = std::chrono::steady_clock::now();
  StoreRequest Asked = StoreRequestFromHttp(Request, "");
  // The guest's network is the platform's own way to the service, as the
  // REST channel is: what comes over it is the driver's, whatever
  // credentials it carries.
  Asked.Authorization.clear();
  Asked.AuthToken = mSetup.DriverToken;
  StoreResponse Answer = mSetup.Store->Serve(Asked);
  if (mSetup.Answered) {
    HTTP_EXCHANGE Exchange{
        Answer.ByDriver,
        Answer.User,
        Request.Method,
        Asked.Path,
        Answer.Code,
        static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::steady_clock::now() - Start)
                                  .count())};
    Exchange.FromGuest = true;
    mSetup.Answered(Exchange);
  }
  return HttpAnswerFromStore(Answer);
}

std::string QemuHost::NvdimmState() const {
  Json State = ParseStored(mState);
  return State.is_object() && State.contains("nvdimm") && State["nvdimm"].is_string()
             ? State["nvdimm"].get<std::string>()
             : std::string();
}

bool QemuHost::RunBoots(unsigned *Boot, const char *Why, std::string *Problem) {
  std::string Socket = mDirectory + "/rest.sock";
  std::atomic<bool> Over{false};
  std::thread Relaying;
  QEMU_BOOT_SINK Sink;
  Sink.BeforeBoot = [this, &Why](unsigned Number) {
    if (mSetup.BootStarting) {
      mSetup.BootStarting();
    }
    mAccount("boot " + std::to_string(Number) + " (" + Why + ", in QEMU)");
    Why = "the image's next boot";
  };
  if (mSetup.Network) {
    // QEMU connects to the guest's socket at every boot.
    Sink.MachineStarting = [this](unsigned) {
      mGuest.StartBoot([this](const HttpRequest &Request) { return AnswerGuest(Request); });
    };
    Sink.MachineStopped = [this](unsigned) { mGuest.EndBoot(); };
  } else {
    // Each boot's QEMU listens on the socket afresh; the relay follows it.
    Sink.MachineStarting = [this, &Socket, &Over, &Relaying](unsigned) {
      std::remove(Socket.c_str());
      Over = false;
      Relaying = std::thread(Relay, std::cref(mSetup), Socket, std::cref(Over));
    };
    Sink.MachineStopped = [&Over, &Relaying](unsigned) {
      Over = true;
      Relaying.join();
    };
  }
  std::FILE *Trace = mTrace;
  Sink.Event = [Trace](const std::string &Line, std::string *) {
    if (Trace != nullptr) {
      std::fwrite(Line.data(), 1, Line.size(), Trace);
      std::fputc('\n', Trace);
    }
    return true;
  };
  Sink.Account = mAccount;
  return RunQemuBoots(mMachine, Sink, Boot, &mState, Problem);
}
