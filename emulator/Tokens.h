// Values for the opaque handles the emulated firmware hands out: events,
// handles and protocol-notify registrations. Each is a non-canonical address
// tagged with its kind and a serial that is never reused in the process, so a
// stale or mistyped handle is always recognised, and dereferencing one faults
// at once instead of reading some other record.
#pragma once

#include <stdint.h>

#include "uefi/UefiBaseType.h"

constexpr UINT64 EVENT_TOKEN_TAG = 0xE7E0000000000000ULL;
constexpr UINT64 HANDLE_TOKEN_TAG = 0xA4D0000000000000ULL;
constexpr UINT64 REGISTRATION_TOKEN_TAG = 0xB6C0000000000000ULL;

/// The token for the Serial-th object of the kind Tag.
inline VOID *MakeToken(UINT64 Tag, UINT64 Serial) {
  return reinterpret_cast<VOID *>(static_cast<uintptr_t>(Tag | (Serial << 4)));
}
