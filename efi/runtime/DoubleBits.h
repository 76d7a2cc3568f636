// The IEEE 754 binary64 layout, as the conversions take it apart and put it
// back together.
#pragma once

#include "uefi/UefiBaseType.h"

namespace EfiRuntime {

constexpr UINT64 DOUBLE_SIGN_BIT = 0x8000000000000000ULL;
constexpr UINT64 DOUBLE_INFINITY_BITS = 0x7FF0000000000000ULL;
constexpr UINT64 DOUBLE_FRACTION_MASK = 0x000FFFFFFFFFFFFFULL;

inline UINT64 BitsOfDouble(double Value) { return __builtin_bit_cast(UINT64, Value); }

inline double DoubleOfBits(UINT64 Bits) { return __builtin_bit_cast(double, Bits); }

/// Splits a finite Value above zero into Mantissa * 2^Exponent, Mantissa
/// below 2^53 and nonzero.
inline void SplitDouble(double Value, UINT64 *Mantissa, INT32 *Exponent) {
  UINT64 Bits = BitsOfDouble(Value);
  UINT32 Field = static_cast<UINT32>(Bits >> 52) & 0x7FF;
  *Mantissa = Bits & DOUBLE_FRACTION_MASK;
  if (Field == 0) {
    *Exponent = -1074;
  } else {
    *Mantissa |= DOUBLE_FRACTION_MASK + 1;
    *Exponent = static_cast<INT32>(Field) - 1075;
  }
}

/// floor(Power * log10(2)), exact for |Power| <= 1650 (78913 / 2^18 is
/// close enough to log10(2) that no integer falls between the two products).
inline INT32 FloorLog10OfPowerOfTwo(INT32 Power) {
  INT32 Product = Power * 78913;
  // Floor division by 2^18 for either sign, without relying on how >>
  // treats negative numbers.
  return Product >= 0 ? Product / 262144 : -((-Product + 262143) / 262144);
}

}  // namespace EfiRuntime
