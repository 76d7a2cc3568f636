// The driver's entry point and the notification functions the firmware
// calls: discovery of the services and the local-request guard.
#pragma once

#include "core/ActionContext.h"

/// Image entry point: records the UEFI tables, allocates the context, runs
/// discovery and creates the notify and reset-group events. Returns
/// EFI_OUT_OF_RESOURCES when the context cannot be allocated, otherwise the
/// status of creating the reset-system group event.
extern "C" {
[[nodiscard]] EFI_STATUS EFIAPI DriverEntry(EFI_HANDLE ImageHandle,
                                           EFI_SYSTEM_TABLE *SystemTable);
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

/// Reports a still-issued remote action as failed because of a pending local
/// request. Every failure ends it silently.
void AbortRemoteAction(ActionContext *Context);
