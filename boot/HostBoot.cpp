#include "boot/HostBoot.h"

#include <csetjmp>
#include <string>

#include "driver/Driver.h"
#include "host/ScenarioHttp.h"
#include "producer/RestProducer.h"
#include "sim/common/HttpNames.h"
#include "sim/platform/HostInterface.h"

namespace {

// The one place a reset jumps back to, with what it was. Kept outside every
// frame that the jump abandons.
std::jmp_buf mResetJump;
RESET_SEEN mSeen;

[[noreturn]] void OnReset(void *Context, EFI_RESET_TYPE Type, Side By) {
  (void)Context;
  mSeen.Reset = true;
  mSeen.Type = Type;
  mSeen.By = By;
  std::longjmp(mResetJump, 1);
}

void *CJSON_CDECL PlatformJsonAllocate(size_t Size) {
  VOID *Buffer = nullptr;
  EFI_BOOT_SERVICES *BootServices = Firmware::Instance().BootServices();
  return EFI_ERROR(BootServices->AllocatePool(EfiBootServicesData, Size, &Buffer)) ? nullptr
                                                                                   : Buffer;
}

void CJSON_CDECL PlatformJsonFree(void *Buffer) {
  if (Buffer != nullptr) {
    (void)Firmware::Instance().BootServices()->FreePool(Buffer);
  }
}

struct PLAN_RUN {
  PlatformRunner *Runner;
  UINT32 Boot;
  EFI_SYSTEM_TABLE *SystemTable;
};

void RunPlan(void *Context) {
  auto *Run = static_cast<PLAN_RUN *>(Context);
  (void)Run->Runner->RunBoot(Run->Runner->PlanOf(Run->Boot), Run->SystemTable, StartDriverOnHost,
                             nullptr);
}

}  // namespace

RESET_SEEN RunUntilReset(Firmware &Machine, void (*Body)(void *Context), void *Context) {
  Machine.SetResetHandler(OnReset, nullptr);
  mSeen = RESET_SEEN();
  if (setjmp(mResetJump) == 0) {
    Body(Context);
  }
  // A reset outside such a stretch has nowhere to go: the machine stops
  // the process loudly rather than jump into a frame that is gone.
  Machine.SetResetHandler(nullptr, nullptr);
  return mSeen;
}

void InstallPlatformJsonAllocator() {
  cJSON_Hooks Hooks = {PlatformJsonAllocate, PlatformJsonFree};
  cJSON_InitHooks(&Hooks);
}

EFI_STATUS StartDriverOnHost(void *Context, EFI_SYSTEM_TABLE *SystemTable) {
  (void)Context;
  SideScope Driver(Side::Driver);
  return DriverEntry(reinterpret_cast<EFI_HANDLE>(0x1000), SystemTable);
}

EFI_STATUS StartProducerOnHost(void *Context, EFI_SYSTEM_TABLE *SystemTable) {
  (void)Context;
  SideScope Producer(Side::Producer);
  return RestProducerEntry(reinterpret_cast<EFI_HANDLE>(0x2000), SystemTable);
}

bool UseNetwork(Firmware &Machine, PlatformRunner &Runner, const UINT8 *Address, UINT16 Port) {
  static constexpr UINT8 LOOPBACK[4] = {127, 0, 0, 1};
  HOST_INTERFACE Interface = {};
  for (UINTN Index = 0; Index < 4; Index++) {
    Interface.Service[Index] = Address != nullptr ? Address[Index] : LOOPBACK[Index];
    Interface.Host[Index] = LOOPBACK[Index];
  }
  Interface.Mask[0] = 255;
  Interface.HostStatic = true;
  Interface.Port = Port;
  if (Address == nullptr) {
    RedfishService &Service = Runner.Service();
    int Local = Machine.Network().AddLocalService(
        [&Service](const HttpRequest &Request) { return AnswerFromScenario(Service, Request); });
    if (Local < 0) {
      return false;
    }
    Interface.Port = static_cast<UINT16>(Local);
  }
  NETWORK_SETUP Setup;
  Setup.Present = true;
  Setup.Smbios.resize(HOST_INTERFACE_RECORD_SIZE);
  Setup.Smbios.resize(
      BuildHostInterfaceRecord(Interface, true, Setup.Smbios.data(), Setup.Smbios.size()));
  Machine.Network().SetUp(std::move(Setup));
  Runner.UseProducer(StartProducerOnHost, nullptr);
  return true;
}

void EmitLeak(Trace &Log, const HeldMemory &Held) {
  cJSON *Event = Log.NewEvent("leak");
  if (Event != nullptr) {
    (void)TraceAddUint(Event, "blocks", Held.Blocks);
    (void)TraceAddUint(Event, "bytes", Held.Bytes);
    Log.Emit(Event);
  }
}

HostBoots::HostBoots(Firmware &Machine, PlatformRunner &Runner, const Scenario &TheScenario,
                     Trace &Log)
    : mMachine(Machine), mRunner(Runner), mScenario(TheScenario), mLog(Log) {}

RESET_SEEN HostBoots::RunBoot(const char *Why) {
  UINT32 Boot = ++mLastBoot;
  mMachine.BeginBoot();
  mLog.SetBoot(Boot);
  if (mAnnounce) {
    mAnnounce(Boot, Why);
  }
  PLAN_RUN Run = {&mRunner, Boot, mMachine.SystemTable()};
  RESET_SEEN Seen = RunUntilReset(mMachine, RunPlan, &Run);
  mMachine.EndBoot();
  // The driver's hooks stay installed after its boot: the platform, running
  // alone again, takes the library back.
  InstallPlatformJsonAllocator();
  if (Seen.Reset) {
    EmitResetEvent(mLog, Seen.Type, Seen.By == Side::Driver);
  }
  HeldMemory Held = mMachine.DriverHeld();
  EmitLeak(mLog, Held);
  mFaulty = mFaulty || (!Seen.Reset && Held.Blocks != 0);
  for (const std::string &Problem : mMachine.TakeProblems()) {
    std::string Line = "problem: " + Problem;
    mLog.Note(Line.c_str());
    mFaulty = true;
  }
  return Seen;
}

void HostBoots::RunBoots(bool Listed, const char *Why) {
  for (UINT32 InRow = 1;; InRow++) {
    RESET_SEEN Seen = RunBoot(Why);
    bool ResetByDriver = Seen.Reset && Seen.By == Side::Driver;
    if (!(Listed && mLastBoot < mScenario.Parts().BootCount()) && !ResetByDriver) {
      return;
    }
    if (InRow == MAX_BOOTS_IN_A_ROW) {
      NoteBootLimit(mLog);
      return;
    }
    Why = ResetByDriver ? "reset by the driver" : "the scenario's next boot";
  }
}
