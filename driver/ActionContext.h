// The driver's one context record, and the entry, discovery and guard
// functions that work on it.
#pragma once

#include "platform/NvdimmActionProtocol.h"
#include "platform/RedfishServiceProtocol.h"
#include "uefi/Rest.h"
#include "uefi/UefiTables.h"

/// How many protocol-notify events the entry creates.
constexpr UINTN NOTIFY_EVENT_COUNT = 3;

/// Allocated zeroed at entry and kept for the rest of boot services. The
/// protocol references are borrowed: their producers own them.
struct ActionContext {
  NVDIMM_ACTION_PROTOCOL *Nvdimm;
  REDFISH_SERVICE_PROTOCOL *Service;
  EFI_REST_PROTOCOL *Rest;
  UINT8 Aborted;  ///< set once the local-request guard has acted
  /// The protocol-notify events still open, so that a failed entry can close
  /// them before the image is unloaded.
  EFI_EVENT NotifyEvents[NOTIFY_EVENT_COUNT];
};

/// Image entry point: records the UEFI tables, allocates the context, runs
/// discovery and creates the notify and reset-group events. Returns
/// EFI_OUT_OF_RESOURCES when the context cannot be allocated, otherwise the
/// status of creating the reset-system group event.
extern "C" EFI_STATUS EFIAPI DriverEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);

/// Locates the NVDIMM action protocol and the first REST handle that also
/// carries the Redfish service protocol; polls ActionStatus when found and
/// remote actions are enabled. Returns the status of the last call made.
EFI_STATUS DiscoverServices(BOOLEAN *Found, ActionContext *Context);

/// Notification of the REST protocol and Redfish-ready events: runs discovery
/// and closes its event once the service was found without error.
VOID EFIAPI OnServiceNotify(EFI_EVENT Event, VOID *Context);

/// Notification of the local-request trigger and reset-system events: fails
/// a still-issued remote action when a local request is pending, once.
VOID EFIAPI OnLocalRequestCheck(EFI_EVENT Event, VOID *Context);

/// Reports a still-issued remote action as failed because of a pending local
/// request. Every failure ends it silently.
void AbortRemoteAction(ActionContext *Context);

/// Creates a TPL_CALLBACK notify event for Guid, registers it for protocol
/// installations and signals it once. Results of the three calls are not
/// checked. The event is recorded in Context's open events.
EFI_EVENT CreateProtocolNotifyEvent(EFI_GUID *Guid, EFI_EVENT_NOTIFY NotifyFunction,
                                    ActionContext *Context, VOID **Registration);

/// Closes a notify event and forgets it in Context.
void CloseNotifyEvent(ActionContext *Context, EFI_EVENT Event);
