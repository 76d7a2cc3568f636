// Conversion of identifier strings to numbers, and bounded formatting and
// appending of ASCII texts within fixed buffers.
#pragma once

#include <stdarg.h>

#include "uefi/UefiBaseType.h"

/// Longest string, in characters, that the helpers accept.
constexpr UINTN TEXT_MAX_LENGTH = 1000000;

/// Converts a hexadecimal string: leading blanks, tabs and zeros skipped, an
/// optional "x"/"X" after a zero, digits up to the first other character.
/// EFI_INVALID_PARAMETER (Value untouched) for a null argument or a string
/// longer than TEXT_MAX_LENGTH; EFI_UNSUPPORTED with all ones on overflow.
[[nodiscard]] EFI_STATUS HexToUintn(const CHAR8 *String, UINT64 *Value);

/// Converts a decimal string by the same rules, without the "x" prefix.
[[nodiscard]] EFI_STATUS DecimalToUintn(const CHAR8 *String, UINT64 *Value);

/// TRUE when HexToUintn would read at least one hexadecimal digit of String
/// (a "0x" prefix alone has none).
bool HasHexDigits(const CHAR8 *String);

/// TRUE when DecimalToUintn would read at least one decimal digit of String.
bool HasDecimalDigits(const CHAR8 *String);

/// Formats into Buffer (Size bytes, always NUL-terminated, output cut to
/// Size - 1 characters). Conversions: %a (ASCII string, null prints
/// "<null string>"), %d (INT32), %X / %4X (UINT32, upper-case hexadecimal,
/// zero-padded to the width). A line feed in Format is written as CR LF.
/// Returns the number of characters written; 0 and nothing written for a
/// null Buffer or Format, Size 0 or above TEXT_MAX_LENGTH, or a Format
/// longer than TEXT_MAX_LENGTH.
UINTN BoundedFormat(CHAR8 *Buffer, UINTN Size, const CHAR8 *Format, ...);

/// BoundedFormat with a va_list.
UINTN BoundedFormatV(CHAR8 *Buffer, UINTN Size, const CHAR8 *Format, va_list Arguments);

/// Appends Source whole to the string in Destination (DestinationSize bytes
/// in all), or changes nothing: EFI_INVALID_PARAMETER (null argument, size 0
/// or above TEXT_MAX_LENGTH), EFI_BAD_BUFFER_SIZE (no NUL in Destination),
/// EFI_BUFFER_TOO_SMALL (does not fit whole), EFI_ACCESS_DENIED (overlap).
[[nodiscard]] EFI_STATUS BoundedAppend(CHAR8 *Destination, UINTN DestinationSize,
                                       const CHAR8 *Source);
