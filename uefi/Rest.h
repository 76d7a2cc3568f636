// EFI_REST_PROTOCOL of the UEFI standard: one HTTP exchange with a REST
// service (here the platform's Redfish service).
#pragma once

#include "uefi/Http.h"

struct EFI_REST_PROTOCOL;

/// Sends RequestMessage and fills ResponseMessage. The producer allocates the
/// response headers and body from pool; the caller releases them.
using EFI_REST_SEND_RECEIVE = EFI_STATUS(EFIAPI *)(EFI_REST_PROTOCOL *This,
                                                   EFI_HTTP_MESSAGE *RequestMessage,
                                                   EFI_HTTP_MESSAGE *ResponseMessage);

/// Returns the service's current time.
using EFI_REST_GET_TIME = EFI_STATUS(EFIAPI *)(EFI_REST_PROTOCOL *This, EFI_TIME *Time);

struct EFI_REST_PROTOCOL {
  EFI_REST_SEND_RECEIVE SendReceive;
  EFI_REST_GET_TIME GetServiceTime;
};
static_assert(sizeof(EFI_REST_PROTOCOL) == 16, "EFI_REST_PROTOCOL size");

#define EFI_REST_PROTOCOL_GUID                                                     \
  {                                                                                \
    0x0db48a36, 0x4e54, 0xea9c, { 0x9b, 0x09, 0x1e, 0xa5, 0xbe, 0x3a, 0x66, 0x0b } \
  }
