// HTTP methods and status codes as the UEFI HTTP records number them, and
// as the wire (and the trace) writes them.
#pragma once

#include "uefi/Http.h"

/// The method's name ("GET", "PATCH", ...), or null for a value outside
/// EFI_HTTP_METHOD. The text is static.
const CHAR8 *HttpMethodName(UINT32 Method);

/// Reads a method name, upper case as on the wire; false for an unknown one.
[[nodiscard]] bool HttpMethodFromName(const CHAR8 *Name, EFI_HTTP_METHOD *Method);

/// The EFI_HTTP_STATUS_CODE of an HTTP status number;
/// HTTP_STATUS_UNSUPPORTED_STATUS for a number the enumeration does not name.
EFI_HTTP_STATUS_CODE HttpStatusCodeOf(UINT32 Number);

/// The HTTP status number an EFI_HTTP_STATUS_CODE value names; 0 for a value
/// the enumeration does not name (HTTP_STATUS_UNSUPPORTED_STATUS included).
UINT32 HttpStatusNumberOf(UINT32 Code);

/// Whether a request header of the driver's, Name: Value, travels on when its
/// request goes to a Redfish service over HTTP: the framing headers
/// (Content-Length, Host, Connection, Transfer-Encoding) belong to the HTTP
/// client that carries it, and a name or value holding a line break cannot
/// go on a header line at all. Null names or values never travel.
bool HttpHeaderTravels(const CHAR8 *Name, const CHAR8 *Value);
