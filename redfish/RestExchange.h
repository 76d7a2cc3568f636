// One request/response exchange with the Redfish service over
// EFI_REST_PROTOCOL.
#pragma once

#include "redfish/HeaderList.h"
#include "uefi/Rest.h"

/// Sends one request through Rest and waits for its response.
///   Uri: UCS-2, borrowed. Headers, Body: optional, stay the caller's; the
///   request carries the list's slots in use, up to its first free slot.
///   ResponseBody: optional; on success the caller owns the body (FreePool).
///   A body the caller did not ask for, or that came with a failed exchange,
///   is released here. StatusCode: required; 0 unless the exchange completed.
/// Returns EFI_INVALID_PARAMETER (no Rest, no or empty Uri, no StatusCode),
/// EFI_OUT_OF_RESOURCES, EFI_NOT_STARTED when Rest is not the instance on the
/// one Redfish service handle, or the status of SendReceive.
[[nodiscard]] EFI_STATUS SendRestRequest(EFI_REST_PROTOCOL *Rest, EFI_HTTP_METHOD Method,
                                         const CHAR16 *Uri, HeaderList *Headers, const CHAR8 *Body,
                                         UINTN BodyLength, CHAR8 **ResponseBody,
                                         UINTN *ResponseBodyLength,
                                         EFI_HTTP_STATUS_CODE *StatusCode);
