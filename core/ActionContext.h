// The driver's one context record. It sits below the driver's entry and its
// actions, which both work on it.
#pragma once

#include "platform/NvdimmActionProtocol.h"
#include "platform/RedfishServiceProtocol.h"
#include "uefi/Rest.h"
#include "uefi/UefiTables.h"

/// How many protocol-notify events the entry creates: the REST protocol,
/// Redfish-ready, the local-request trigger and the reset notification
/// protocol.
constexpr UINTN NOTIFY_EVENT_COUNT = 4;

/// Sizes of the unlanded report's fields. A name longer than any action's is
/// never dispatched; a URI that does not fit is kept by its length and its
/// first ACTION_URI_SIZE - 1 bytes; the longest message the handlers format
/// is 499 characters (a longer result message of the diagnostics is kept
/// cut to that).
constexpr UINTN ACTION_NAME_SIZE = 32;
constexpr UINTN ACTION_URI_SIZE = 1024;
constexpr UINTN ACTION_MESSAGE_SIZE = 500;

/// The report of the action this boot carried out, kept while the service
/// has not accepted it. A later poll that finds the same action still
/// "Issued" sends this report again instead of carrying the action out a
/// second time. Nothing of it outlives the boot.
struct ActionRecord {
  UINT8 Unlanded;  ///< a report was made and the service did not accept it
  CHAR8 Name[ACTION_NAME_SIZE];
  UINTN UriLength;  ///< the whole ActionUri's length, even when cut below
  CHAR8 Uri[ACTION_URI_SIZE];
  const CHAR8 *Status;  ///< "Success", "Failed" or "Inprogress"
  CHAR8 Message[ACTION_MESSAGE_SIZE];
};

/// Allocated zeroed at entry and kept for the rest of boot services. The
/// protocol references are borrowed: their producers own them.
struct ActionContext {
  NVDIMM_ACTION_PROTOCOL *Nvdimm;
  REDFISH_SERVICE_PROTOCOL *Service;
  EFI_REST_PROTOCOL *Rest;
  UINT8 Aborted;  ///< set once the local-request guard has acted
  /// The action carried out in this boot whose report has not landed.
  ActionRecord Record;
  /// The protocol-notify events still open, so that a failed entry can close
  /// them before the image is unloaded.
  EFI_EVENT NotifyEvents[NOTIFY_EVENT_COUNT];
};
