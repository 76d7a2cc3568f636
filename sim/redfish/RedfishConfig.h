// What a scenario's "redfish" member says about the simulated Redfish
// service: the resources it holds at power-on, the answers it overrides and
// the status of its GetServiceStatus. Plain records; the scenario owns them.
#pragma once

#include "uefi/Http.h"

/// One resource held at power-on.
struct REDFISH_RESOURCE_SETTING {
  const CHAR8 *Uri;   ///< NUL-terminated bytes
  const CHAR8 *Body;  ///< NUL-terminated body text, served byte for byte
  UINTN BodyLength;   ///< without the NUL
};

/// One entry of "redfish.responses". A member that is not given leaves the
/// service's own answer for that part.
struct REDFISH_OVERRIDE_SETTING {
  bool AnyMethod;  ///< no "method": every method matches
  EFI_HTTP_METHOD Method;
  const CHAR8 *Uri;  ///< null: every URI matches
  bool HasCode;
  UINT32 Code;  ///< 100 to 999
  bool HasStatusCode;
  UINT32 StatusCode;  ///< placed as it stands in the response record, named or not
  bool OwnRecord;     ///< the answer comes in a response record of the producer's own
  bool HasBody;
  const CHAR8 *Body;  ///< null with HasBody: the answer has no body
  UINTN BodyLength;   ///< of Body, which "bodyFill" may make several megabytes long
  bool HasTransport;
  EFI_STATUS Transport;  ///< SendReceive returns this: with no response, or with
                         ///< the answer anyway when code, statusCode or body is given
  bool Limited;          ///< false: serves every matching request
  UINT64 Times;          ///< with Limited: how many requests it serves
};

struct REDFISH_CONFIG {
  const REDFISH_RESOURCE_SETTING *Resources;
  UINTN ResourceCount;
  const REDFISH_OVERRIDE_SETTING *Overrides;
  UINTN OverrideCount;
  EFI_STATUS ServiceStatus;
  /// The highest TPL the REST producer serves: above it SendReceive fails
  /// at once with EFI_ACCESS_DENIED, as the producer over EDK2's HTTP stack
  /// does above TPL_CALLBACK. TPL_HIGH_LEVEL: every caller.
  EFI_TPL HighestTpl;
};
