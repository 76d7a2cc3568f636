// The two Redfish calls the driver makes: read a JSON resource, and report an
// action's outcome into the ActionStatus resource.
#pragma once

#include "uefi/Rest.h"

/// The OEM resource through which remote actions are issued and reported.
extern const CHAR16 ACTION_STATUS_URI[];

/// GETs Uri (UCS-2) with "Accept" and "OData-Version" headers. When the
/// service answered 200 OK, returns the exchange's status and hands over the
/// NUL-terminated body and its length (the caller releases it with FreePool).
/// Any other answer: EFI_PROTOCOL_ERROR and no body. EFI_INVALID_PARAMETER or
/// EFI_OUT_OF_RESOURCES when the header list cannot be set up.
[[nodiscard]] EFI_STATUS GetResource(EFI_REST_PROTOCOL *Rest, const CHAR16 *Uri, CHAR8 **Body,
                                     UINTN *Length);

/// PATCHes {"Status": StatusText, "StatusMessage": Message}, printed in the
/// JSON library's formatted layout, to ActionStatus. Returns the exchange's
/// status when the service answered 200 or 204, EFI_PROTOCOL_ERROR for any
/// other answer or none, EFI_OUT_OF_RESOURCES when the report cannot be built.
[[nodiscard]] EFI_STATUS PatchActionStatus(EFI_REST_PROTOCOL *Rest, const CHAR8 *StatusText,
                                           const CHAR8 *Message);
