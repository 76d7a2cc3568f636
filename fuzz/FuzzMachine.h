// The machine one fuzz input runs on: the emulated boot services with the
// driver's view of them (gST, gBS, gRT and the JSON allocator, set as the
// driver's entry sets them), the simulated Redfish service and NVDIMM
// component installed as the platform installs them, and the checks that
// must hold after every input: nothing leaked, no misuse of the machine.
#pragma once

#include <string>

#include "emulator/Firmware.h"
#include "emulator/PlatformHooks.h"
#include "fuzz/FuzzCheck.h"
#include "sim/nvdimm/NvdimmComponent.h"
#include "sim/redfish/RedfishService.h"
#include "sim/trace/Trace.h"

/// Powers the machine on and starts its first boot; destroying it releases
/// every pool block of the run. One per input, made before any platform
/// part (they allocate from its pool).
class FuzzMachine {
 public:
  FuzzMachine();
  ~FuzzMachine();
  FuzzMachine(const FuzzMachine &) = delete;
  FuzzMachine &operator=(const FuzzMachine &) = delete;

  /// Allocates Size zeroed bytes as the driver's first block of the boot:
  /// the pool keeps that block out of DriverHeld(), as it does the driver's
  /// context record, so every later block still held counts as leaked.
  VOID *AllocateContext(UINTN Size);

  /// Runs Body(Context) as the driver. Returns true when it ended in
  /// ResetSystem, which never returns: the boot is over, and the blocks the
  /// abandoned frames held are not a leak.
  bool RunAsDriver(void (*Body)(void *Context), void *Context);

  /// Fails the input when the driver still holds a block (unless the boot
  /// ended in a reset) or the machine recorded a problem.
  void CheckClean(bool AfterReset);

  Firmware &Machine() { return mMachine; }

 private:
  Firmware &mMachine;
};

/// The simulated platform of one input: a trace kept in memory, the Redfish
/// service loaded with Redfish, the NVDIMM component answering by Nvdimm.
/// Installs the Redfish service handle (REST and Redfish service protocols)
/// and the NVDIMM action protocol, in that order. Redfish and Nvdimm must
/// outlive the platform.
class FuzzPlatform {
 public:
  FuzzPlatform(const REDFISH_CONFIG &Redfish, const NvdimmConfig &Nvdimm);
  FuzzPlatform(const FuzzPlatform &) = delete;
  FuzzPlatform &operator=(const FuzzPlatform &) = delete;

  Trace &Log() { return mLog; }
  RedfishService &Service() { return mService; }
  EFI_REST_PROTOCOL *Rest() { return mService.RedfishRest(); }
  REDFISH_SERVICE_PROTOCOL *ServiceProtocol() { return mService.ServiceProtocol(); }
  NVDIMM_ACTION_PROTOCOL *Nvdimm() { return mRecord; }

 private:
  PlatformHost mHost;
  Trace mLog;
  RedfishService mService;
  NvdimmComponent mNvdimm;
  NVDIMM_ACTION_PROTOCOL *mRecord = nullptr;
};

/// The action status resource's URI, as the service holds it.
constexpr const char *FUZZ_ACTION_STATUS_URI = "/redfish/v1/Oem/Velk/Viz/ActionStatus";

/// Widens an ASCII URI to the UCS-2 string handlers take.
std::u16string FuzzWiden(const std::string &Uri);
