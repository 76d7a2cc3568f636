// The driver's one context record. It sits below the driver's entry and its
// actions, which both work on it.
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
