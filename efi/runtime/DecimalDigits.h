// Exact decimal digits of a double, for the %g conversion.
#pragma once

#include "uefi/UefiBaseType.h"

namespace EfiRuntime {

/// Digits the exact decimal value of a double can have: at most 767
/// significant ones (the smallest normal, 2^-1022, has 715 after its leading
/// zeros; 2^-1074 times an odd 53-bit mantissa has up to 767). Beyond that
/// every digit is zero.
constexpr UINT32 MAX_SIGNIFICANT_DIGITS = 800;

/// Rounds Value (finite, above zero) to Count significant decimal digits,
/// 1 <= Count <= MAX_SIGNIFICANT_DIGITS, to nearest on its exact value, ties
/// to the even digit. Writes the digits as '0'-'9' to Digits (Count bytes),
/// and returns how many remain once trailing zeros are dropped (at least
/// one). *Exponent receives the decimal exponent of the first digit, after
/// rounding: Value is close to D.DDD times 10^*Exponent.
UINT32 RoundToSignificantDigits(double Value, UINT32 Count, CHAR8 *Digits, INT32 *Exponent);

}  // namespace EfiRuntime
