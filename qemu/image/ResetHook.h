// The platform image's last word before the machine resets. EDK2's
// ResetSystem calls the functions registered with the reset notification
// protocol (the driver's guard among them), then the platform-specific reset
// handlers, then resets; it never signals the UEFI reset-system event group.
// The hook registers as a platform-specific reset handler, so it runs after
// every reset notification: the platform image then writes the trace and
// the state it carries to the next boot, with whatever the notifications
// did in them.
#pragma once

#include "uefi/ResetNotification.h"

/// Called inside ResetSystem after every reset notification; the machine
/// resets when it returns.
using RESET_HOOK_HANDLER = void (*)(void *Context, EFI_RESET_TYPE ResetType);

class ResetHook {
 public:
  ResetHook() = default;
  ~ResetHook() { Uninstall(); }
  ResetHook(const ResetHook &) = delete;
  ResetHook &operator=(const ResetHook &) = delete;

  /// Registers the hook. One hook may be installed at a time. Returns
  /// EFI_ALREADY_STARTED when one is, or the status of the call that failed
  /// (EFI_NOT_FOUND when the firmware has no platform-specific reset handler
  /// protocol), with nothing left behind.
  [[nodiscard]] EFI_STATUS Install(RESET_HOOK_HANDLER Handler, void *Context);

  /// Unregisters the hook, so that a later ResetSystem (the shutdown that
  /// ends a run) calls nothing of the image.
  void Uninstall();

 private:
  static VOID EFIAPI OnResetSystem(EFI_RESET_TYPE ResetType, EFI_STATUS ResetStatus, UINTN DataSize,
                                   VOID *ResetData);

  EFI_RESET_NOTIFICATION_PROTOCOL *mHandlers = nullptr;
  RESET_HOOK_HANDLER mHandler = nullptr;
  void *mContext = nullptr;
  bool mHandling = false;
};
