// The reset-system event group on EDK2. The UEFI standard has ResetSystem
// notify the group {62DA6A56-13FB-485A-A8DA-A3DD7912CB6B} before it resets;
// EDK2 never signals it and calls the functions registered with
// EFI_RESET_NOTIFICATION_PROTOCOL instead. The relay registers one such
// function that signals the group, as a platform that follows the standard
// would, so that the driver's guard runs at resets here too, and then hands
// the reset to the platform image (to write the trace and the carried state)
// before the machine resets.
#pragma once

#include "uefi/ResetNotification.h"

/// Called inside ResetSystem once the group's notifications above the
/// caller's TPL have run; the machine resets when it returns.
using RESET_RELAY_HANDLER = void (*)(void *Context, EFI_RESET_TYPE ResetType);

class ResetRelay {
 public:
  ResetRelay() = default;
  ~ResetRelay() { Uninstall(); }
  ResetRelay(const ResetRelay &) = delete;
  ResetRelay &operator=(const ResetRelay &) = delete;

  /// Creates the relay's member of the group and registers the reset
  /// notification. One relay may be installed at a time. Returns
  /// EFI_ALREADY_STARTED when one is, or the status of the call that failed
  /// (EFI_NOT_FOUND when the firmware has no reset notification protocol),
  /// with nothing left behind.
  [[nodiscard]] EFI_STATUS Install(RESET_RELAY_HANDLER Handler, void *Context);

  /// Unregisters the notification and closes the event, so that a later
  /// ResetSystem (the shutdown that ends a run) signals nothing.
  void Uninstall();

 private:
  static VOID EFIAPI OnResetSystem(EFI_RESET_TYPE ResetType, EFI_STATUS ResetStatus,
                                   UINTN DataSize, VOID *ResetData);
  static VOID EFIAPI OnGroupSignal(EFI_EVENT Event, VOID *Context);

  EFI_RESET_NOTIFICATION_PROTOCOL *mNotification = nullptr;
  EFI_EVENT mGroupEvent = nullptr;
  RESET_RELAY_HANDLER mHandler = nullptr;
  void *mContext = nullptr;
  bool mRelaying = false;
};
