// The simulated platform as a whole: the Redfish service and the NVDIMM
// component of one scenario, and the steps of each boot carried out through
// the platform's boot services. The same runner serves nvdimm-emu and the
// platform image inside OVMF; only starting the driver differs between them.
#pragma once

#include "sim/nvdimm/NvdimmComponent.h"
#include "sim/redfish/RedfishService.h"
#include "sim/redfish/RestRecorder.h"
#include "sim/scenario/Scenario.h"
#include "sim/trace/Trace.h"

/// The most boots that follow one another: a run of a scenario, or the boots
/// that one reset of the twin's host sets off, stops after this many, so that
/// a driver that resets at every boot cannot keep a run going for ever. The
/// emulator, the platform image, the QEMU runner and the twin all stop here.
constexpr UINT32 MAX_BOOTS_IN_A_ROW = 8;

/// The trace's name of a reset type: "cold", "warm", "shutdown",
/// "platformSpecific".
const CHAR8 *ResetTypeName(EFI_RESET_TYPE Type);

/// The "reset" event that ends a boot: its type, and whether the driver or
/// the platform reset.
void EmitResetEvent(Trace &Log, EFI_RESET_TYPE Type, bool ByDriver);

/// The account's note that a run of boots stopped at MAX_BOOTS_IN_A_ROW.
void NoteBootLimit(Trace &Log);

/// Starts the driver the way the host dispatches it; returns its entry's
/// status.
using START_DRIVER = EFI_STATUS (*)(void *Context, EFI_SYSTEM_TABLE *SystemTable);

class PlatformRunner {
 public:
  /// TheScenario, Host and Log must outlive the runner.
  PlatformRunner(const Scenario &TheScenario, const PlatformHost &Host, Trace &Log);
  PlatformRunner(const PlatformRunner &) = delete;
  PlatformRunner &operator=(const PlatformRunner &) = delete;

  /// Loads the power-on state of the service. False when out of memory.
  [[nodiscard]] bool PowerOn();

  /// The steps of boot number Boot (1-based): a boot past the listed ones
  /// repeats the last listed one.
  const BOOT_PLAN &PlanOf(UINT32 Boot) const;

  /// Carries out Plan's steps in order on SystemTable's services. A reset
  /// step does not return on a host whose ResetSystem does not return.
  /// Returns the status of the driver's entry (EFI_NOT_STARTED when the plan
  /// has no driver step).
  EFI_STATUS RunBoot(const BOOT_PLAN &Plan, EFI_SYSTEM_TABLE *SystemTable, START_DRIVER StartDriver,
                     void *StartContext);

  /// Network mode: the "redfish" step dispatches the REST producer with
  /// StartProducer (which installs the REST and Redfish service protocols
  /// itself) instead of installing the simulated service's, and every REST
  /// instance but the simulated service's is traced by a recorder. The
  /// service answers over HTTP through AnswerHttp. Null StartProducer: the
  /// simulated service (the default).
  void UseProducer(START_DRIVER StartProducer, void *Context) {
    mStartProducer = StartProducer;
    mProducerContext = Context;
  }

  /// Emits the "final" event with what the service holds.
  void Finish();

  /// Clears the NVDIMM component's Enabled byte once a boot's steps are
  /// over: a platform that powers the machine off through ResetSystem (on
  /// EDK2, reset notifications still run) leaves the driver nothing to do.
  void DisableRemoteActions();

  RedfishService &Service() { return mService; }
  NvdimmComponent &Nvdimm() { return mNvdimm; }

 private:
  /// Installs Interface on a new handle and returns it; notes What and the
  /// status in the trace.
  EFI_HANDLE InstallOnNewHandle(EFI_BOOT_SERVICES *BootServices, EFI_GUID *Guid, VOID *Interface,
                                const CHAR8 *What);
  /// The same on *Handle (a new one when null).
  void InstallOn(EFI_BOOT_SERVICES *BootServices, EFI_HANDLE *Handle, EFI_GUID *Guid,
                 VOID *Interface, const CHAR8 *What);
  /// A "redfish" step in network mode: starts the REST producer and waits,
  /// boundedly, for the service it installs.
  void DispatchProducer(EFI_SYSTEM_TABLE *SystemTable);

  const Scenario &mScenario;
  Trace &mLog;
  RedfishService mService;
  NvdimmComponent mNvdimm;
  RestRecorder mRecorder;
  START_DRIVER mStartProducer = nullptr;
  void *mProducerContext = nullptr;
  NVDIMM_ACTION_PROTOCOL *mRecord = nullptr;
};
