// UEFI status values and their names, as the trace and scenario files write
// them ("EFI_SUCCESS", "EFI_DEVICE_ERROR", "EFI_WARN_STALE_DATA").
#pragma once

#include "uefi/UefiBaseType.h"

/// Room for any status text: the longest name, or "0x" and 16 hex digits,
/// and the NUL.
constexpr UINTN STATUS_TEXT_SIZE = 32;

/// The UEFI name of Status, or null for a value the UEFI standard does not
/// name. The text is static.
const CHAR8 *StatusName(EFI_STATUS Status);

/// Writes the name of Status into Text, or for a value without a name its
/// hex text ("0x8000000000000063": upper-case digits, no leading zeros).
void StatusText(EFI_STATUS Status, CHAR8 (&Text)[STATUS_TEXT_SIZE]);

/// Reads a status name, or hex text as StatusText writes it ("0x" and 1 to
/// 16 hex digits of either case). Returns false, leaving *Status alone, for
/// anything else.
[[nodiscard]] bool StatusFromText(const CHAR8 *Text, EFI_STATUS *Status);
