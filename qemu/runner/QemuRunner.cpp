#include "qemu/runner/QemuRunner.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "host/ScenarioFile.h"
#include "host/ScenarioHttp.h"
#include "host/TraceOutput.h"
#include "qemu/runner/GuestNetwork.h"
#include "qemu/runner/QemuBoots.h"
#include "qemu/runner/QemuMachine.h"
#include "sim/scenario/Expect.h"
#include "sim/trace/TraceReader.h"

namespace {

constexpr size_t ERROR_SIZE = 512;

struct JsonDeleter {
  void operator()(cJSON *Item) const { cJSON_Delete(Item); }
};
using JsonPointer = std::unique_ptr<cJSON, JsonDeleter>;

/// The work directory: the kept one, or a fresh temporary one.
std::string WorkDirectory(const QemuOptions &Qemu) {
  if (!Qemu.KeepDirectory.empty()) {
    return Qemu.KeepDirectory;
  }
  const char *Temporary = std::getenv("TMPDIR");
  std::string Template =
      std::string(Temporary != nullptr ? Temporary : "/tmp") + "/nvdimm-qemu-XXXXXX";
  return mkdtemp(Template.data()) != nullptr ? Template : std::string();
}

/// Removes a temporary work directory when the run ends.
class WorkDirectoryOwner {
 public:
  WorkDirectoryOwner(std::string Path, bool Keep) : mPath(std::move(Path)), mKeep(Keep) {}
  ~WorkDirectoryOwner() {
    if (!mKeep && !mPath.empty()) {
      std::error_code Ignored;
      std::filesystem::remove_all(mPath, Ignored);
    }
  }
  WorkDirectoryOwner(const WorkDirectoryOwner &) = delete;
  WorkDirectoryOwner &operator=(const WorkDirectoryOwner &) = delete;

 private:
  std::string mPath;
  bool mKeep;
};

/// Whether the scenario can run in OVMF; false, with one line on standard
/// error, for one that only the host platform can run.
bool RunsInQemu(const Scenario &TheScenario, const std::string &Path) {
  if (TheScenario.Parts().FailAllocation() != 0) {
    std::fprintf(stderr,
                 "nvdimm-emu: %s: failAlloc: only the host platform can make the "
                 "driver's allocations fail\n",
                 Path.c_str());
    return false;
  }
  // OVMF is EDK2: its ResetSystem calls the reset notifications and never
  // signals the reset-system event group.
  if (TheScenario.Parts().ResetSystemNamed() &&
      TheScenario.Parts().ResetSystem() != ResetSystemMode::Notifications) {
    std::fprintf(stderr,
                 "nvdimm-emu: %s: resetSystem: OVMF resets the EDK2 way, with reset "
                 "notifications only; a platform that signals the reset-system group "
                 "runs on the host platform\n",
                 Path.c_str());
    return false;
  }
  return true;
}

int PlatformFailed(const QemuOptions &Options, const std::string &Message) {
  std::fflush(stdout);
  std::fprintf(stderr, "nvdimm-emu: %s: qemu: %s\n", Options.ScenarioPath.c_str(), Message.c_str());
  return QEMU_PLATFORM_FAILED;
}

/// The scenario's expectations without those of "leak" events, which only
/// the host writes; null when out of memory.
JsonPointer WithoutHostOnlyEvents(const cJSON *Expect) {
  JsonPointer Copy(cJSON_Duplicate(Expect, true));
  cJSON *Expected = cJSON_GetObjectItemCaseSensitive(Copy.get(), "events");
  for (cJSON *Event = Expected != nullptr ? Expected->child : nullptr; Event != nullptr;) {
    cJSON *Next = Event->next;
    const cJSON *Kind = cJSON_GetObjectItemCaseSensitive(Event, "event");
    if (cJSON_IsString(Kind) && std::string(Kind->valuestring) == "leak") {
      cJSON_Delete(cJSON_DetachItemViaPointer(Expected, Event));
    }
    Event = Next;
  }
  return Copy;
}

/// A trace sink that keeps the lines it is given.
void AppendLines(void *Context, const CHAR8 *Bytes, UINTN Length) {
  static_cast<std::string *>(Context)->append(Bytes, Length);
}

/// Where a run's records go: events to the trace file as they came and to
/// the list the expectations are checked on (Events, may be null when out
/// of memory), account lines to the account.
QEMU_BOOT_SINK RunSink(std::FILE *Trace, std::FILE *AccountFile, bool Quiet, cJSON *Events) {
  QEMU_BOOT_SINK Sink;
  if (!Quiet) {
    Sink.BeforeBoot = [AccountFile](unsigned Number) {
      std::fprintf(AccountFile, "boot %u\n", Number);
      std::fflush(AccountFile);
    };
  }
  Sink.Event = [Trace, Events](const std::string &Line, std::string *Problem) {
    if (Trace != nullptr) {
      std::fwrite(Line.data(), 1, Line.size(), Trace);
      std::fputc('\n', Trace);
    }
    cJSON *Event = ParseTraceLine(Line.data(), Line.size());
    if (Event == nullptr || Events == nullptr || !cJSON_AddItemToArray(Events, Event)) {
      cJSON_Delete(Event);
      *Problem = "a trace line does not read: " + Line.substr(0, 160);
      return false;
    }
    return true;
  };
  Sink.Account = [AccountFile](const std::string &Line) {
    std::fwrite(Line.data(), 1, Line.size(), AccountFile);
    std::fputc('\n', AccountFile);
  };
  return Sink;
}

}  // namespace

int RunScenarioInQemu(const QemuOptions &Options) {
  // The scenario is read here as well: a file the image would refuse is
  // refused before any machine starts, and the expectations are checked here.
  std::string Text;
  auto TheScenario = std::make_unique<Scenario>();
  if (!ReadScenarioFile(Options.ScenarioPath, &Text, TheScenario.get())) {
    return 2;
  }
  if (!RunsInQemu(*TheScenario, Options.ScenarioPath)) {
    return 2;
  }

  TraceFilePointer TraceFile;
  if (!OpenTraceOutput(Options.TracePath, &TraceFile)) {
    return 2;
  }
  std::FILE *AccountFile = AccountStream(Options.TracePath);

  std::string Directory = WorkDirectory(Options);
  if (Directory.empty()) {
    return PlatformFailed(Options, "no temporary work directory can be made");
  }
  WorkDirectoryOwner DirectoryOwner(Directory, !Options.KeepDirectory.empty());
  QemuSetup Setup;
  Setup.Directory = Directory;
  Setup.PlatformImage =
      !Options.PlatformImage.empty() ? Options.PlatformImage : DefaultPlatformImage();
  Setup.DriverImage = !Options.DriverImage.empty() ? Options.DriverImage : DefaultDriverImage();
  Setup.ScenarioPath = Options.ScenarioPath;
  Setup.Account = !Options.Quiet;
  Setup.TimeoutSeconds = Options.TimeoutSeconds;
  QemuMachine Machine;

  JsonPointer Events(cJSON_CreateArray());
  QEMU_BOOT_SINK Sink = RunSink(TraceFile.get(), AccountFile, Options.Quiet, Events.get());
  std::string Problem;
  // In network mode the scenario's service answers here, on the socket the
  // guest's network reaches; its "final" event is written here too.
  std::string ServiceLines;
  PlatformHost NoHost = {};
  Trace ServiceLog({AppendLines, &ServiceLines}, {nullptr, nullptr});
  ServiceLog.KeepEvents(false);
  auto HostService = std::make_unique<RedfishService>(NoHost, ServiceLog);
  GuestNetwork Network;
  if (Options.Network) {
    Setup.NetworkSocket = Directory + "/redfish.sock";
    Setup.ProducerImage =
        !Options.ProducerImage.empty() ? Options.ProducerImage : DefaultProducerImage();
    Setup.NetworkByDhcp = Options.NetworkByDhcp;
    Setup.HostInterface = Options.HostInterface;
    if (!HostService->Load(TheScenario->Parts().Redfish())) {
      return PlatformFailed(Options, "out of memory loading the service");
    }
    RedfishService &Service = *HostService;
    Sink.MachineStarting = [&Network, &Service](unsigned) {
      Network.StartBoot(
          [&Service](const HttpRequest &Request) { return AnswerFromScenario(Service, Request); });
    };
    Sink.MachineStopped = [&Network](unsigned) { Network.EndBoot(); };
  }
  std::string State;
  unsigned Boot = 0;
  if (!Machine.Prepare(Setup, &Problem) ||
      (Options.Network && !Network.Listen(Setup.NetworkSocket, &Problem)) ||
      !RunQemuBoots(Machine, Sink, &Boot, &State, &Problem)) {
    return PlatformFailed(Options, Problem);
  }
  if (Options.Network) {
    ServiceLog.SetBoot(Boot);
    HostService->EmitFinal(ServiceLog);
    for (size_t Start = 0; Start < ServiceLines.size();) {
      size_t End = ServiceLines.find('\n', Start);
      if (End == std::string::npos) {
        break;
      }
      if (!Sink.Event(ServiceLines.substr(Start, End - Start), &Problem)) {
        return PlatformFailed(Options, Problem);
      }
      Start = End + 1;
    }
  }
  if (TraceFile) {
    std::fflush(TraceFile.get());
  }
  std::fflush(AccountFile);

  if (TheScenario->Parts().Expect() == nullptr) {
    return 0;
  }
  JsonPointer Expect = WithoutHostOnlyEvents(TheScenario->Parts().Expect());
  if (!Expect || !Events) {
    return PlatformFailed(Options, "out of memory checking the expectations");
  }
  CHAR8 Error[ERROR_SIZE] = {};
  if (!CheckExpectations(Expect.get(), Events.get(), Error, sizeof(Error))) {
    std::fprintf(stderr, "nvdimm-emu: %s: %s\n", Options.ScenarioPath.c_str(), Error);
    return 1;
  }
  return 0;
}
