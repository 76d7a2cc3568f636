#include "cli/Run.h"

#include <cstdio>
#include <memory>

#include "boot/HostBoot.h"
#include "emulator/PlatformHooks.h"
#include "host/ScenarioFile.h"
#include "host/TraceOutput.h"
#include "platform/Guids.h"
#include "producer/ServiceLocation.h"
#include "server/HttpRest.h"
#include "sim/scenario/Expect.h"

namespace {

constexpr UINTN ERROR_SIZE = 512;

void WriteToFile(void *Context, const CHAR8 *Bytes, UINTN Length) {
  std::fwrite(Bytes, 1, Length, static_cast<std::FILE *>(Context));
}

/// Network mode: the REST producer reaches the scenario's own service on a
/// port of the machine's, or the --redfish service (http:// and an IPv4
/// address: the producer has no DNS and no TLS) with --user and --password
/// as its credentials. False, with a line on standard error, for a URL it
/// cannot reach.
bool SetUpNetwork(const RunOptions &Options, Firmware &Machine, PlatformRunner &Runner) {
  if (Options.RedfishUrl.empty()) {
    if (!UseNetwork(Machine, Runner, nullptr, 0)) {
      std::fprintf(stderr, "nvdimm-emu: the scenario's service cannot listen on 127.0.0.1\n");
      return false;
    }
    return true;
  }
  unsigned Part[4] = {};
  unsigned Port = 80;
  char End = 0;
  int Read = std::sscanf(Options.RedfishUrl.c_str(), "http://%u.%u.%u.%u:%u%c", &Part[0], &Part[1],
                         &Part[2], &Part[3], &Port, &End);
  if ((Read != 4 && Read != 5 && !(Read == 6 && End == '/')) || Part[0] > 255 || Part[1] > 255 ||
      Part[2] > 255 || Part[3] > 255 || Port == 0 || Port > 65535) {
    std::fprintf(stderr,
                 "nvdimm-emu: %s: the REST producer reaches http://A.B.C.D[:PORT] only (no DNS, "
                 "no TLS)\n",
                 Options.RedfishUrl.c_str());
    return false;
  }
  const UINT8 Address[4] = {static_cast<UINT8>(Part[0]), static_cast<UINT8>(Part[1]),
                            static_cast<UINT8>(Part[2]), static_cast<UINT8>(Part[3])};
  if (!Options.RedfishUser.empty()) {
    std::string Pair = Options.RedfishUser + ":" + Options.RedfishPassword;
    std::u16string Name(CREDENTIALS_VARIABLE_NAME);
    Machine.SetVariable(Name, gNvdimmRestProducerVariableGuid, Pair);
  }
  return UseNetwork(Machine, Runner, Address, static_cast<UINT16>(Port));
}

}  // namespace

int RunScenario(const RunOptions &Options) {
  Firmware &Machine = Firmware::Instance();
  Machine.PowerOn();
  InstallPlatformJsonAllocator();

  std::string Text;
  // Scenario objects allocate through the pool, so they go before PowerOn's
  // next release; unique_ptr keeps them off the frames a reset abandons.
  auto TheScenario = std::make_unique<Scenario>();
  if (!ReadScenarioFile(Options.ScenarioPath, &Text, TheScenario.get())) {
    return 2;
  }

  TraceFilePointer TraceFile;
  if (!OpenTraceOutput(Options.TracePath, &TraceFile)) {
    return 2;
  }
  std::FILE *AccountFile = AccountStream(Options.TracePath);
  TraceSink Lines = {TraceFile ? WriteToFile : nullptr, TraceFile.get()};
  TraceSink Account = {Options.Quiet ? nullptr : WriteToFile, AccountFile};
  auto Log = std::make_unique<Trace>(Lines, Account);

  PlatformHost Host = EmulatorPlatformHost();
  auto Runner = std::make_unique<PlatformRunner>(*TheScenario, Host, *Log);
  if (!Runner->PowerOn()) {
    std::fprintf(stderr, "nvdimm-emu: out of memory loading the Redfish service\n");
    return 2;
  }
  // With --redfish the driver's requests go to someone else's service.
  std::unique_ptr<HttpRest> Remote;
  if (!Options.RedfishUrl.empty()) {
    Remote = std::make_unique<HttpRest>(Options.RedfishUrl, "", Options.RedfishUser,
                                        Options.RedfishPassword);
    if (!Remote->Valid()) {
      std::fprintf(stderr, "nvdimm-emu: %s: not an http:// or https:// URL\n",
                   Options.RedfishUrl.c_str());
      return 2;
    }
    if (!Options.Network) {
      Runner->Service().SetRemote(Remote->Remote());
    }
  }
  if (Options.Network && !SetUpNetwork(Options, Machine, *Runner)) {
    return 2;
  }
  // The command line's injection wins over the scenario's own.
  UINT64 FailAllocation =
      Options.FailAllocation != 0 ? Options.FailAllocation : TheScenario->Parts().FailAllocation();
  Machine.SetFailAllocation(FailAllocation);
  ResetSystemMode ResetMode = TheScenario->Parts().ResetSystem();
  Machine.SetResetBehaviour(ResetMode != ResetSystemMode::Notifications,
                            ResetMode != ResetSystemMode::Group);

  auto Boots = std::make_unique<HostBoots>(Machine, *Runner, *TheScenario, *Log);
  if (!Options.Quiet) {
    Boots->SetAnnounce(
        [AccountFile](UINT32 Boot, const char *) { std::fprintf(AccountFile, "boot %u\n", Boot); });
  }
  Boots->RunBoots(true, "power on");
  if (Remote) {
    // The final event shows what the service holds now.
    Runner->Service().SetRemote(Remote->Remote());
    Runner->Service().RefreshFromRemote();
  }
  Runner->Finish();
  std::string Count =
      "the driver made " + std::to_string(Machine.DriverAllocationCount()) + " allocations";
  Log->Note(Count.c_str());

  // An injected failure legitimately changes the outcome: expectations
  // describe the run without one.
  int Result = 0;
  CHAR8 Error[ERROR_SIZE] = {};
  if (Options.FailAllocation == 0 && TheScenario->Parts().Expect() != nullptr &&
      !CheckExpectations(TheScenario->Parts().Expect(), Log->Events(), Error, sizeof(Error))) {
    std::fprintf(stderr, "nvdimm-emu: %s: %s\n", Options.ScenarioPath.c_str(), Error);
    Result = 1;
  }
  if (Options.Strict && Boots->Faulty() && Result == 0) {
    std::fprintf(stderr, "nvdimm-emu: %s: the driver leaked memory or misused the machine\n",
                 Options.ScenarioPath.c_str());
    Result = 1;
  }
  std::fflush(nullptr);
  // Release the platform before the machine: they hold pool memory.
  Boots.reset();
  Runner.reset();
  Log.reset();
  TheScenario.reset();
  cJSON_InitHooks(nullptr);
  return Result;
}
