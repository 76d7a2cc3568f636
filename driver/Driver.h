// The driver's entry point and the notification functions the firmware
// calls: discovery of the services and the local-request guard.
#pragma once

#include "core/ActionContext.h"

/// The driver's one context, once the entry has kept it; the reset
/// notification, which carries no context, reaches the guard through it.
extern ActionContext *gActionContext;

/// Image entry point: records the UEFI tables, allocates the context, runs
/// discovery and creates the notify and reset-group events. Returns
/// EFI_OUT_OF_RESOURCES when the context cannot be allocated, otherwise the
/// status of creating the reset-system group event.
extern "C" {
[[nodiscard]] EFI_STATUS EFIAPI DriverEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
}

/// Locates the NVDIMM action protocol and the first REST handle that also
/// carries the Redfish service protocol; polls ActionStatus when found and
/// remote actions are enabled. Returns the status of the last call made.
[[nodiscard]] EFI_STATUS DiscoverServices(BOOLEAN *Found, ActionContext *Context);

/// Notification of the REST protocol and Redfish-ready events: runs discovery
/// and closes its event once the service was found without error.
VOID EFIAPI OnServiceNotify(EFI_EVENT Event, VOID *Context);

/// Notification of the local-request trigger and reset-system events: fails
/// a still-issued remote action when a local request is pending, once.
VOID EFIAPI OnLocalRequestCheck(EFI_EVENT Event, VOID *Context);

/// Notification of the reset notification protocol's installation: registers
/// OnResetNotify with the protocol and closes its event once it is
/// registered.
VOID EFIAPI OnResetNotificationInstalled(EFI_EVENT Event, VOID *Context);

/// The reset notification (EDK2's way of calling code at a reset, where the
/// reset-system event group is never signalled): runs the local-request
/// guard with the context the entry recorded, at the caller's TPL.
VOID EFIAPI OnResetNotify(EFI_RESET_TYPE ResetType, EFI_STATUS ResetStatus, UINTN DataSize,
                          VOID *ResetData);

/// The guard's check: when remote actions are enabled, no reset of the
/// driver's own is under way and a local request is pending, fails a
/// still-issued remote action, once per boot. TRUE when it acted.
bool RunLocalRequestGuard(ActionContext *Context);

/// Reports a still-issued remote action as failed because of a pending local
/// request. Every failure ends it silently.
void AbortRemoteAction(ActionContext *Context);
