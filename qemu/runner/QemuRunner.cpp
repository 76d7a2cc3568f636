#include "qemu/runner/QemuRunner.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "qemu/runner/ChannelReader.h"
#include "qemu/runner/QemuMachine.h"
#include "qemu/runner/Subprocess.h"
#include "emulator/TraceOutput.h"
#include "qemu/ChannelFormat.h"
#include "sim/scenario/Expect.h"
#include "sim/scenario/Scenario.h"

namespace {

/// As on the host: a run stops after 8 boots. The image decides; the runner
/// only refuses to go further.
constexpr unsigned MAX_BOOTS = 8;
constexpr size_t ERROR_SIZE = 512;

struct JsonDeleter {
  void operator()(cJSON *Item) const { cJSON_Delete(Item); }
};
using JsonPointer = std::unique_ptr<cJSON, JsonDeleter>;

/// The folder nvdimm-emu was started from, with a trailing slash.
std::string ProgramFolder() {
  std::error_code Ignored;
  std::filesystem::path Program = std::filesystem::read_symlink("/proc/self/exe", Ignored);
  return Program.empty() ? std::string("./") : Program.parent_path().string() + "/";
}

/// The work directory: the kept one, or a fresh temporary one.
std::string WorkDirectory(const QemuOptions &Qemu) {
  if (!Qemu.KeepDirectory.empty()) {
    return Qemu.KeepDirectory;
  }
  const char *Temporary = std::getenv("TMPDIR");
  std::string Template = std::string(Temporary != nullptr ? Temporary : "/tmp") +
                         "/nvdimm-qemu-XXXXXX";
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

int PlatformFailed(const RunOptions &Options, const std::string &Message) {
  std::fflush(stdout);
  std::fprintf(stderr, "nvdimm-emu: %s: qemu: %s\n", Options.ScenarioPath.c_str(),
               Message.c_str());
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

/// What one boot's records said about the run.
enum class BootEnd { NextBoot, RunOver };

/// The records of every boot, taken in order: events go to the trace file
/// as they came and to the list the expectations are checked on, account
/// lines to the account.
class RunRecords {
 public:
  RunRecords(std::FILE *TraceFile, std::FILE *AccountFile)
      : mTraceFile(TraceFile), mAccountFile(AccountFile), mEvents(cJSON_CreateArray()) {}

  /// Takes one boot's records, which end with the next boot's state or the
  /// end of the run. False with the problem in Problem; otherwise End, and
  /// for another boot the carried state in State.
  [[nodiscard]] bool TakeBoot(const std::vector<ChannelRecord> &Records, BootEnd *End,
                              std::string *State, std::string *Problem);

  /// Every event so far (null when out of memory).
  const cJSON *Events() const { return mEvents.get(); }

 private:
  std::FILE *mTraceFile;
  std::FILE *mAccountFile;
  JsonPointer mEvents;
};

bool RunRecords::TakeBoot(const std::vector<ChannelRecord> &Records, BootEnd *End,
                          std::string *State, std::string *Problem) {
  bool Ended = false;
  for (const ChannelRecord &Record : Records) {
    if (Ended) {
      *Problem = "the platform image wrote past the boot's end";
      return false;
    }
    switch (Record.Tag) {
      case CHANNEL_EVENT: {
        if (mTraceFile != nullptr) {
          std::fwrite(Record.Payload.data(), 1, Record.Payload.size(), mTraceFile);
          std::fputc('\n', mTraceFile);
        }
        cJSON *Event = ParseTraceLine(Record.Payload);
        if (Event == nullptr || !mEvents || !cJSON_AddItemToArray(mEvents.get(), Event)) {
          cJSON_Delete(Event);
          *Problem = "a trace line does not read: " + Record.Payload.substr(0, 160);
          return false;
        }
        break;
      }
      case CHANNEL_ACCOUNT:
        std::fwrite(Record.Payload.data(), 1, Record.Payload.size(), mAccountFile);
        std::fputc('\n', mAccountFile);
        break;
      case CHANNEL_NEXT_BOOT:
        *State = Record.Payload;
        *End = BootEnd::NextBoot;
        Ended = true;
        break;
      case CHANNEL_RUN_OVER:
        *End = BootEnd::RunOver;
        Ended = true;
        break;
      case CHANNEL_FAILURE:
        *Problem = "the platform image failed: " + Record.Payload;
        return false;
      default:
        *Problem = "the trace channel holds a record of unknown kind '" +
                   std::string(1, Record.Tag) + "'";
        return false;
    }
  }
  if (!Ended) {
    *Problem = "the machine stopped before the platform image finished the boot";
    return false;
  }
  return true;
}

/// Boots the machine until the platform image says the run is over. False
/// with the problem, naming the boot, in Problem.
bool RunBoots(QemuMachine &Machine, RunRecords &Run, std::FILE *AccountFile, bool Quiet,
              std::string *Problem) {
  std::string State;
  for (unsigned Boot = 1; Boot <= MAX_BOOTS; Boot++) {
    if (!Quiet) {
      std::fprintf(AccountFile, "boot %u\n", Boot);
      std::fflush(AccountFile);
    }
    std::string Channel;
    if (!Machine.PutState(State, Problem) || !Machine.Boot(Boot, &Channel, Problem)) {
      return false;
    }
    std::vector<ChannelRecord> Records;
    BootEnd End = BootEnd::RunOver;
    if (!SplitChannel(Channel, &Records, Problem) ||
        !Run.TakeBoot(Records, &End, &State, Problem)) {
      *Problem = "boot " + std::to_string(Boot) + ": " + *Problem +
                 "; the firmware console ended with:\n" + Machine.ConsoleTail(Boot);
      return false;
    }
    if (End == BootEnd::RunOver) {
      return true;
    }
  }
  *Problem = "the platform image asked for a boot past the 8th";
  return false;
}

}  // namespace

int RunScenarioInQemu(const RunOptions &Options, const QemuOptions &Qemu) {
  if (Options.Strict || Options.FailAllocation != 0) {
    std::fprintf(stderr, "nvdimm-emu: --strict and --fail-alloc concern the host's pool; they "
                         "have no meaning with --platform qemu\n");
    return 2;
  }
  std::string Text = ReadWholeFile(Options.ScenarioPath);
  if (Text.empty() && !std::filesystem::is_regular_file(Options.ScenarioPath)) {
    std::fprintf(stderr, "nvdimm-emu: %s: cannot be read\n", Options.ScenarioPath.c_str());
    return 2;
  }
  // The scenario is read here as well: a file the image would refuse is
  // refused before any machine starts, and the expectations are checked here.
  auto TheScenario = std::make_unique<Scenario>();
  char Error[ERROR_SIZE] = {};
  if (!TheScenario->Read(Text.data(), Text.size(), Error, sizeof(Error))) {
    std::fprintf(stderr, "nvdimm-emu: %s: %s\n", Options.ScenarioPath.c_str(), Error);
    return 2;
  }
  if (TheScenario->Parts().FailAllocation() != 0) {
    std::fprintf(stderr, "nvdimm-emu: %s: failAlloc: only the host platform can make the "
                         "driver's allocations fail\n",
                 Options.ScenarioPath.c_str());
    return 2;
  }
  // OVMF is EDK2: its ResetSystem calls the reset notifications and never
  // signals the reset-system event group.
  if (TheScenario->Parts().ResetSystemNamed() &&
      TheScenario->Parts().ResetSystem() != ResetSystemMode::Notifications) {
    std::fprintf(stderr, "nvdimm-emu: %s: resetSystem: OVMF resets the EDK2 way, with reset "
                         "notifications only; a platform that signals the reset-system group "
                         "runs on the host platform\n",
                 Options.ScenarioPath.c_str());
    return 2;
  }

  TraceFilePointer TraceFile;
  if (!OpenTraceOutput(Options.TracePath, &TraceFile)) {
    return 2;
  }
  std::FILE *AccountFile = AccountStream(Options.TracePath);

  std::string Directory = WorkDirectory(Qemu);
  if (Directory.empty()) {
    return PlatformFailed(Options, "no temporary work directory can be made");
  }
  WorkDirectoryOwner DirectoryOwner(Directory, !Qemu.KeepDirectory.empty());
  QemuSetup Setup;
  Setup.Directory = Directory;
  Setup.PlatformImage = !Qemu.PlatformImage.empty() ? Qemu.PlatformImage
                                                    : ProgramFolder() + "../qemu/NvdimmPlatform.efi";
  Setup.DriverImage = !Qemu.DriverImage.empty()
                          ? Qemu.DriverImage
                          : ProgramFolder() + "../efi/NvdimmRemoteActionDxe.efi";
  Setup.ScenarioPath = Options.ScenarioPath;
  Setup.Account = !Options.Quiet;
  Setup.TimeoutSeconds = Qemu.TimeoutSeconds;
  QemuMachine Machine;
  RunRecords Records(TraceFile.get(), AccountFile);
  std::string Problem;
  if (!Machine.Prepare(Setup, &Problem) ||
      !RunBoots(Machine, Records, AccountFile, Options.Quiet, &Problem)) {
    return PlatformFailed(Options, Problem);
  }
  if (TraceFile) {
    std::fflush(TraceFile.get());
  }
  std::fflush(AccountFile);

  if (TheScenario->Parts().Expect() == nullptr) {
    return 0;
  }
  JsonPointer Expect = WithoutHostOnlyEvents(TheScenario->Parts().Expect());
  if (!Expect || Records.Events() == nullptr) {
    return PlatformFailed(Options, "out of memory checking the expectations");
  }
  if (!CheckExpectations(Expect.get(), Records.Events(), Error, sizeof(Error))) {
    std::fprintf(stderr, "nvdimm-emu: %s: %s\n", Options.ScenarioPath.c_str(), Error);
    return 1;
  }
  return 0;
}
