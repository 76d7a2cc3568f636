#include "sim/platform/PlatformRunner.h"

#include "platform/Guids.h"
#include "sim/common/SimTextWriter.h"
#include "sim/common/StatusNames.h"

namespace {

constexpr UINTN NOTE_SIZE = 160;
/// How long a "redfish" step waits for the REST producer's service, and in
/// which steps.
constexpr UINTN PRODUCER_WAIT_MS = 20000;
constexpr UINTN PRODUCER_WAIT_STEP_MS = 10;

/// Writes "<Prefix><Status name>" into Note.
void StatusNote(CHAR8 (&Note)[NOTE_SIZE], const CHAR8 *Prefix, EFI_STATUS Status) {
  const CHAR8 *Parts[] = {Prefix, StatusName(Status)};
  UINTN Length = 0;
  for (const CHAR8 *Text : Parts) {
    for (; *Text != '\0' && Length + 1 < NOTE_SIZE; Text++) {
      Note[Length++] = *Text;
    }
  }
  Note[Length] = '\0';
}

/// Whether a Redfish service protocol is installed and says it can be used.
bool ServiceReady(EFI_BOOT_SERVICES *BootServices) {
  VOID *Interface = nullptr;
  if (BootServices->LocateProtocol(&gRedfishServiceProtocolGuid, nullptr, &Interface) !=
          EFI_SUCCESS ||
      Interface == nullptr) {
    return false;
  }
  auto *Service = static_cast<REDFISH_SERVICE_PROTOCOL *>(Interface);
  UINT64 Status = 0;
  return Service->GetServiceStatus(Service, 0, &Status) == EFI_SUCCESS;
}

}  // namespace

const CHAR8 *ResetTypeName(EFI_RESET_TYPE Type) {
  switch (Type) {
    case EfiResetCold:
      return "cold";
    case EfiResetWarm:
      return "warm";
    case EfiResetShutdown:
      return "shutdown";
    default:
      return "platformSpecific";
  }
}

void EmitResetEvent(Trace &Log, EFI_RESET_TYPE Type, bool ByDriver) {
  cJSON *Event = Log.NewEvent("reset");
  if (Event != nullptr) {
    (void)TraceAddString(Event, "type", ResetTypeName(Type));
    (void)TraceAddString(Event, "by", ByDriver ? "driver" : "platform");
    Log.Emit(Event);
  }
}

void NoteBootLimit(Trace &Log) {
  CHAR8 Note[NOTE_SIZE] = {};
  SimTextWriter Writer(Note, sizeof(Note));
  Writer.Add("the run stops after ");
  Writer.AddUint(MAX_BOOTS_IN_A_ROW);
  Writer.Add(" boots in a row");
  Log.Note(Note);
}

PlatformRunner::PlatformRunner(const Scenario &TheScenario, const PlatformHost &Host, Trace &Log)
    : mScenario(TheScenario),
      mLog(Log),
      mService(Host, Log),
      mNvdimm(TheScenario.Nvdimm(), Host, Log),
      mRecorder(Host, Log) {}

bool PlatformRunner::PowerOn() { return mService.Load(mScenario.Parts().Redfish()); }

const BOOT_PLAN &PlatformRunner::PlanOf(UINT32 Boot) const {
  UINTN Count = mScenario.Parts().BootCount();
  UINTN Index = Boot == 0 ? 0 : Boot - 1;
  return mScenario.Parts().Boot(Index < Count ? Index : Count - 1);
}

EFI_HANDLE PlatformRunner::InstallOnNewHandle(EFI_BOOT_SERVICES *BootServices, EFI_GUID *Guid,
                                              VOID *Interface, const CHAR8 *What) {
  EFI_HANDLE Handle = nullptr;
  InstallOn(BootServices, &Handle, Guid, Interface, What);
  return Handle;
}

void PlatformRunner::InstallOn(EFI_BOOT_SERVICES *BootServices, EFI_HANDLE *Handle, EFI_GUID *Guid,
                               VOID *Interface, const CHAR8 *What) {
  EFI_STATUS Status =
      BootServices->InstallProtocolInterface(Handle, Guid, EFI_NATIVE_INTERFACE, Interface);
  CHAR8 Note[NOTE_SIZE] = {};
  StatusNote(Note, What, Status);
  mLog.Note(Note);
}

void PlatformRunner::DispatchProducer(EFI_SYSTEM_TABLE *SystemTable) {
  mLog.Note("redfish: dispatching the REST producer");
  EFI_STATUS Status = mStartProducer(mProducerContext, SystemTable);
  CHAR8 Note[NOTE_SIZE] = {};
  StatusNote(Note, "redfish: the REST producer's entry returned ", Status);
  mLog.Note(Note);
  if (EFI_ERROR(Status)) {
    return;
  }
  // The step stands for the service's arrival: the producer's service is
  // ready once the service has answered it, which takes a DHCP lease first
  // when the interface gets its address that way. The steps wait for it, as
  // a real boot would be busy elsewhere meanwhile; Stall lets the producer's
  // timers run.
  EFI_BOOT_SERVICES *BootServices = SystemTable->BootServices;
  UINTN Waited = 0;
  bool Ready = false;
  while (!(Ready = ServiceReady(BootServices)) && Waited < PRODUCER_WAIT_MS) {
    (void)BootServices->Stall(PRODUCER_WAIT_STEP_MS * 1000);
    Waited += PRODUCER_WAIT_STEP_MS;
  }
  if (Waited == 0) {
    return;
  }
  SimTextWriter Writer(Note, sizeof(Note));
  Writer.Add(Ready ? "redfish: the REST producer's service was ready after "
                   : "redfish: the REST producer's service was not ready in ");
  Writer.AddUint(Waited);
  Writer.Add(" ms");
  mLog.Note(Note);
}

EFI_STATUS PlatformRunner::RunBoot(const BOOT_PLAN &Plan, EFI_SYSTEM_TABLE *SystemTable,
                                   START_DRIVER StartDriver, void *StartContext) {
  EFI_BOOT_SERVICES *BootServices = SystemTable->BootServices;
  // The component's state changes at every boot, installed or not: a goal
  // set in the previous boot takes effect now.
  mRecord = mNvdimm.BeginBoot();
  EFI_STATUS DriverStatus = EFI_NOT_STARTED;
  // The handles of this boot's latest "nvdimm" and "rest" steps.
  EFI_HANDLE NvdimmHandle = nullptr;
  EFI_HANDLE RestHandle = nullptr;
  if (mStartProducer != nullptr) {
    EFI_STATUS Status = mRecorder.Watch(BootServices, mService.PlainRest());
    CHAR8 Note[NOTE_SIZE] = {};
    StatusNote(Note, "network: the REST producer's requests are traced: ", Status);
    mLog.Note(Note);
  }

  for (UINTN Index = 0; Index < Plan.StepCount; Index++) {
    switch (Plan.Steps[Index]) {
      case BootStep::Nvdimm:
        NvdimmHandle = InstallOnNewHandle(BootServices, &gNvdimmActionProtocolGuid, mRecord,
                                          "nvdimm: NVDIMM action protocol installed: ");
        break;
      case BootStep::NvdimmTwice:
        // Once more on its own handle, which the firmware refuses, then on
        // a second handle: two handles carry the one record.
        if (NvdimmHandle != nullptr) {
          InstallOn(BootServices, &NvdimmHandle, &gNvdimmActionProtocolGuid, mRecord,
                    "nvdimmTwice: NVDIMM action protocol installed again on its handle: ");
        }
        NvdimmHandle =
            InstallOnNewHandle(BootServices, &gNvdimmActionProtocolGuid, mRecord,
                               "nvdimmTwice: NVDIMM action protocol installed on another handle: ");
        break;
      case BootStep::Redfish: {
        if (mStartProducer != nullptr) {
          DispatchProducer(SystemTable);
          break;
        }
        // Both protocols go on one handle before anyone is notified, as
        // InstallMultipleProtocolInterfaces does it.
        EFI_HANDLE Handle = nullptr;
        EFI_STATUS Status = BootServices->InstallMultipleProtocolInterfaces(
            &Handle, &gEfiRestProtocolGuid, mService.RedfishRest(), &gRedfishServiceProtocolGuid,
            mService.ServiceProtocol(), nullptr);
        CHAR8 Note[NOTE_SIZE] = {};
        StatusNote(Note, "redfish: REST and Redfish service protocols installed: ", Status);
        mLog.Note(Note);
        break;
      }
      case BootStep::Rest:
        RestHandle = InstallOnNewHandle(BootServices, &gEfiRestProtocolGuid, mService.PlainRest(),
                                        "rest: REST protocol installed alone: ");
        break;
      case BootStep::RedfishSameHandle:
        // Added to a handle that already carries REST: nothing about REST is
        // installed, so only a Redfish-ready installation tells the driver.
        InstallOn(BootServices, &RestHandle, &gRedfishServiceProtocolGuid,
                  mService.ServiceProtocol(),
                  RestHandle != nullptr
                      ? "redfishSameHandle: Redfish service protocol installed on the REST handle: "
                      : "redfishSameHandle: no REST handle; Redfish service protocol installed "
                        "alone: ");
        break;
      case BootStep::RedfishReady:
        InstallOnNewHandle(BootServices, &gRedfishReadyGuid, nullptr,
                           "redfishReady: Redfish-ready GUID installed: ");
        break;
      case BootStep::LocalRequestTrigger:
        InstallOnNewHandle(BootServices, &gLocalRequestTriggerGuid, nullptr,
                           "localRequestTrigger: local-request trigger installed: ");
        break;
      case BootStep::LocalRequest:
        mNvdimm.SetLocalRequest();
        mLog.Note("localRequest: a local user made a configuration request in setup");
        break;
      case BootStep::Driver: {
        mLog.Note("driver: dispatching the driver");
        DriverStatus = StartDriver(StartContext, SystemTable);
        CHAR8 Note[NOTE_SIZE] = {};
        StatusNote(Note, "driver: entry returned ", DriverStatus);
        mLog.Note(Note);
        break;
      }
      case BootStep::ResetWarm:
      case BootStep::ResetCold:
        mLog.Note(Plan.Steps[Index] == BootStep::ResetWarm ? "resetWarm: the platform resets"
                                                           : "resetCold: the platform resets");
        SystemTable->RuntimeServices->ResetSystem(
            Plan.Steps[Index] == BootStep::ResetWarm ? EfiResetWarm : EfiResetCold, EFI_SUCCESS, 0,
            nullptr);
        break;
    }
  }
  return DriverStatus;
}

void PlatformRunner::Finish() { mService.EmitFinal(mLog); }

void PlatformRunner::DisableRemoteActions() {
  if (mRecord != nullptr) {
    mRecord->Enabled = 0;
  }
}
