// REDFISH_SERVICE_PROTOCOL and the two GUIDs of the platform's Redfish
// service components. The service handle carries this protocol together with
// the EFI_REST_PROTOCOL instance that reaches the service.
#pragma once

#include "uefi/UefiBaseType.h"

struct REDFISH_SERVICE_PROTOCOL;

/// Tells whether the service can be used now. Reserved is 0; *Status is
/// zeroed by the caller and not read afterwards.
using REDFISH_SERVICE_GET_SERVICE_STATUS = EFI_STATUS(EFIAPI *)(REDFISH_SERVICE_PROTOCOL *This,
                                                                UINT64 Reserved, UINT64 *Status);

struct REDFISH_SERVICE_PROTOCOL {
  UINT64 Revision;  ///< the producer's; the driver does not read it
  REDFISH_SERVICE_GET_SERVICE_STATUS GetServiceStatus;
};
static_assert(offsetof(REDFISH_SERVICE_PROTOCOL, GetServiceStatus) == 8,
              "GetServiceStatus is the second 8-byte slot");

#define REDFISH_SERVICE_PROTOCOL_GUID                                              \
  {                                                                                \
    0x7eca5af9, 0xa781, 0x414e, { 0xae, 0x4d, 0x76, 0xb1, 0xed, 0x20, 0x3b, 0x83 } \
  }

/// Installed when the Redfish service is ready; only its installation counts.
#define REDFISH_READY_GUID                                                         \
  {                                                                                \
    0xfc248d6e, 0xd438, 0x4f4a, { 0xbf, 0xf8, 0xde, 0x6f, 0x24, 0x54, 0xef, 0x6b } \
  }

/// Installed when a local setup request should be checked against a waiting
/// remote action; only its installation counts.
#define LOCAL_REQUEST_TRIGGER_GUID                                                 \
  {                                                                                \
    0xd84beff0, 0x159a, 0x4b60, { 0x9a, 0xb9, 0xac, 0x5c, 0x47, 0x4b, 0xd3, 0xb1 } \
  }

/// The vendor GUID of the REST producer's variables (NvdimmRedfishService,
/// NvdimmRedfishCredentials).
#define NVDIMM_REST_PRODUCER_VARIABLE_GUID                                         \
  {                                                                                \
    0xfaade175, 0x333a, 0x484a, { 0xa2, 0xfa, 0xda, 0x88, 0x7d, 0xaf, 0x8b, 0x25 } \
  }
