// What the simulated platform parts need from the host they run on: the
// boot-services emulation in nvdimm-emu, or real firmware inside OVMF.
#pragma once

#include "uefi/UefiTables.h"

struct PlatformHost {
  /// The platform's boot services. Memory handed to the driver (response
  /// bodies and headers, diagnostics messages) comes from its pool.
  EFI_BOOT_SERVICES *BootServices;
  /// Called first and last in every protocol function that the driver calls,
  /// so that the host can tell the driver's allocations from the platform's.
  /// Null on a host that does not need to know.
  void (*EnterPlatform)(void *Context);
  void (*LeavePlatform)(void *Context);
  /// Ownership of Block passes to the driver (it must free it). May be null.
  void (*HandOver)(void *Context, void *Block);
  /// Brackets a call into the REST producer (network mode), whose blocks the
  /// host then counts apart; and the number of blocks it holds. Null on a
  /// host that does not count.
  void (*EnterProducer)(void *Context);
  void (*LeaveProducer)(void *Context);
  void *Context;
};

/// Brackets one call from the driver into the platform.
class PlatformCall {
 public:
  explicit PlatformCall(const PlatformHost &Host) : mHost(Host) {
    if (mHost.EnterPlatform != nullptr) {
      mHost.EnterPlatform(mHost.Context);
    }
  }
  ~PlatformCall() {
    if (mHost.LeavePlatform != nullptr) {
      mHost.LeavePlatform(mHost.Context);
    }
  }
  PlatformCall(const PlatformCall &) = delete;
  PlatformCall &operator=(const PlatformCall &) = delete;

 private:
  const PlatformHost &mHost;
};

/// The TPL the caller runs at, as the host's boot services tell it: raising
/// to TPL_HIGH_LEVEL returns it, and restoring it at once changes nothing.
inline EFI_TPL CurrentTpl(const PlatformHost &Host) {
  EFI_TPL Tpl = Host.BootServices->RaiseTPL(TPL_HIGH_LEVEL);
  Host.BootServices->RestoreTPL(Tpl);
  return Tpl;
}

/// Allocates Size bytes from the host's pool and marks them as handed to the
/// driver; null on failure.
inline VOID *AllocateForDriver(const PlatformHost &Host, UINTN Size) {
  VOID *Block = nullptr;
  if (EFI_ERROR(Host.BootServices->AllocatePool(EfiBootServicesData, Size, &Block))) {
    return nullptr;
  }
  if (Host.HandOver != nullptr) {
    Host.HandOver(Host.Context, Block);
  }
  return Block;
}
