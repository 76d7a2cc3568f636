// nvdimm-emu: runs the driver on an emulated UEFI platform described by a
// scenario file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "cli/CommandLine.h"
#include "cli/Run.h"
#include "cli/ServeCommand.h"
#include "qemu/runner/QemuRunner.h"
#include "report/WriteReport.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: nvdimm-emu run SCENARIO.json [--trace FILE] [--report FILE.html] "
               "[--fail-alloc N] [--strict] [--quiet]\n"
               "                   [--platform host|qemu] [--timeout SECONDS] [--keep DIR]\n"
               "                   [--platform-image FILE] [--driver-image FILE]\n"
               "       nvdimm-emu report TRACE.jsonl -o FILE.html\n"
               "  --trace FILE     write the trace as JSON Lines (- for standard output)\n"
               "  --report FILE    draw the run as a sequence diagram in one HTML page\n"
               "  --fail-alloc N   make the driver's N-th memory allocation fail (1-based)\n"
               "  --strict         exit 1 when the driver leaks or misuses the machine\n"
               "  --quiet          no readable account\n"
               "  --platform P     host (the default): the emulated machine; qemu: OVMF in QEMU,\n"
               "                   running the driver's real image (exit 3 when QEMU fails)\n"
               "  --timeout S      qemu: kill a boot that has not ended after S seconds (120)\n"
               "  --keep DIR       qemu: keep the disk, firmware console and channel in DIR\n"
               "  --platform-image FILE, --driver-image FILE, --producer-image FILE\n"
               "                   qemu: the images to boot (default: beside the build's bin/)\n"
               "  --guest-address static|dhcp\n"
               "                   qemu --network: the guest's address, 10.0.2.15/24 or by DHCP\n"
               "  --host-interface record|none\n"
               "                   qemu --network: whether OVMF gets the SMBIOS Redfish Host\n"
               "                   Interface record naming the service (record, the default)\n"
               "  --redfish URL    send the driver's requests to the Redfish service at URL\n"
               "  --network        the REST producer over an HTTP stack carries the driver's\n"
               "                   requests (host: the emulated stack over loopback)\n"
               "  --user U --password P   its account (Basic authentication)\n"
               "       nvdimm-emu serve SCENARIO.json [OPTIONS]   (nvdimm-emu serve for them)\n");
  return 2;
}

/// Writes the page of the trace at TracePath, headed by Title; 0, or 2 with
/// a line on standard error. Outcome receives the run's outcome line.
int Report(const std::string &TracePath, const std::string &PagePath, const std::string &Title,
           std::string *Outcome) {
  std::string Error;
  if (!WriteReport(TracePath, PagePath, Title, Outcome, &Error)) {
    std::fprintf(stderr, "nvdimm-emu: %s\n", Error.c_str());
    return 2;
  }
  return 0;
}

/// nvdimm-emu report TRACE.jsonl -o FILE.html: prints the run's outcome.
int ReportCommand(int argc, char **argv) {
  if (argc != 5 || std::strcmp(argv[3], "-o") != 0) {
    return Usage();
  }
  std::string Outcome;
  int Result = Report(argv[2], argv[4], argv[2], &Outcome);
  if (Result == 0) {
    std::printf("%s\n", Outcome.c_str());
  }
  return Result;
}

/// The run command's options, as its command line gives them.
struct RUN_COMMAND {
  RunOptions Options;
  QemuOptions Qemu;
  bool InQemu = false;
  std::string ReportPath;
};

/// Reads `run SCENARIO [OPTIONS]` (argv[2] on); false for a command line that
/// does not fit.
bool ParseRun(int argc, char **argv, RUN_COMMAND *Command) {
  RunOptions &Options = Command->Options;
  QemuOptions &Qemu = Command->Qemu;
  Options.ScenarioPath = argv[2];
  for (int Index = 3; Index < argc; Index++) {
    std::string Argument = argv[Index];
    bool HasValue = Index + 1 < argc;
    uint64_t Seconds = 0;
    if (Argument == "--strict" || Argument == "--quiet" || Argument == "--network") {
      (Argument == "--strict"  ? Options.Strict
       : Argument == "--quiet" ? Options.Quiet
                               : Options.Network) = true;
    } else if (!HasValue) {
      return false;
    } else if (Argument == "--trace") {
      Options.TracePath = argv[++Index];
    } else if (Argument == "--report") {
      Command->ReportPath = argv[++Index];
    } else if (Argument == "--fail-alloc") {
      if (!ParseCount(argv[++Index], &Options.FailAllocation)) {
        return false;
      }
    } else if (Argument == "--platform") {
      std::string Platform = argv[++Index];
      if (Platform != "host" && Platform != "qemu") {
        return false;
      }
      Command->InQemu = Platform == "qemu";
    } else if (Argument == "--timeout") {
      if (!ParseCount(argv[++Index], &Seconds) || Seconds == 0 || Seconds > 86400) {
        return false;
      }
      Qemu.TimeoutSeconds = static_cast<unsigned>(Seconds);
    } else if (Argument == "--keep") {
      Qemu.KeepDirectory = argv[++Index];
    } else if (Argument == "--platform-image") {
      Qemu.PlatformImage = argv[++Index];
    } else if (Argument == "--driver-image") {
      Qemu.DriverImage = argv[++Index];
    } else if (Argument == "--producer-image") {
      Qemu.ProducerImage = argv[++Index];
    } else if (Argument == "--guest-address") {
      std::string Address = argv[++Index];
      if (Address != "dhcp" && Address != "static") {
        return false;
      }
      Qemu.NetworkByDhcp = Address == "dhcp";
    } else if (Argument == "--host-interface") {
      std::string Record = argv[++Index];
      if (Record != "record" && Record != "none") {
        return false;
      }
      Qemu.HostInterface = Record == "record";
    } else if (Argument == "--redfish") {
      Options.RedfishUrl = argv[++Index];
    } else if (Argument == "--user") {
      Options.RedfishUser = argv[++Index];
    } else if (Argument == "--password") {
      Options.RedfishPassword = argv[++Index];
    } else {
      return false;
    }
  }
  return true;
}

/// Runs the scenario on the platform the command names.
int RunOnPlatform(RUN_COMMAND &Command) {
  if (!Command.InQemu) {
    return RunScenario(Command.Options);
  }
  Command.Qemu.ScenarioPath = Command.Options.ScenarioPath;
  Command.Qemu.TracePath = Command.Options.TracePath;
  Command.Qemu.Quiet = Command.Options.Quiet;
  Command.Qemu.Network = Command.Options.Network;
  return RunScenarioInQemu(Command.Qemu);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc >= 2 && std::strcmp(argv[1], "report") == 0) {
    return ReportCommand(argc, argv);
  }
  if (argc >= 2 && std::strcmp(argv[1], "serve") == 0) {
    return ServeMain(argc, argv);
  }
  RUN_COMMAND Command;
  if (argc < 3 || std::strcmp(argv[1], "run") != 0 || !ParseRun(argc, argv, &Command)) {
    return Usage();
  }
  const bool InQemu = Command.InQemu;
  RunOptions &Options = Command.Options;
  const std::string &ReportPath = Command.ReportPath;
  if (InQemu && !Options.RedfishUrl.empty()) {
    std::fprintf(stderr, "nvdimm-emu: --redfish runs on the host platform only\n");
    return 2;
  }
  if (InQemu && (Options.Strict || Options.FailAllocation != 0)) {
    std::fprintf(stderr,
                 "nvdimm-emu: --strict and --fail-alloc concern the host's pool; they "
                 "have no meaning with --platform qemu\n");
    return 2;
  }
  if (ReportPath.empty()) {
    return RunOnPlatform(Command);
  }
  // The page is drawn from the trace file, so that it is the page `report`
  // draws from the same trace; without --trace the trace goes to a file of
  // its own, removed afterwards.
  if (Options.TracePath == "-") {
    std::fprintf(stderr,
                 "nvdimm-emu: --report reads the trace back from a file: give --trace "
                 "FILE, not -\n");
    return 2;
  }
  std::string TemporaryTrace;
  if (Options.TracePath.empty()) {
    char Template[] = "/tmp/nvdimm-emu-trace-XXXXXX";
    int Descriptor = mkstemp(Template);
    if (Descriptor < 0) {
      std::fprintf(stderr, "nvdimm-emu: no temporary file for the trace\n");
      return 2;
    }
    close(Descriptor);
    TemporaryTrace = Template;
    Options.TracePath = TemporaryTrace;
  }
  int Result = RunOnPlatform(Command);
  if (Result == 0 || Result == 1) {
    std::string Outcome;
    int Written = Report(Options.TracePath, ReportPath, Options.ScenarioPath, &Outcome);
    Result = Written != 0 ? Written : Result;
  }
  if (!TemporaryTrace.empty()) {
    std::remove(TemporaryTrace.c_str());
  }
  return Result;
}
