// A fixed-capacity unsigned big integer: just the operations that exact
// decimal-binary conversion of doubles needs, on 32-bit words.
#pragma once

#include "uefi/UefiBaseType.h"

namespace EfiRuntime {

/// An unsigned integer of at most CAPACITY 32-bit words, least significant
/// word first. Every operation keeps the value exact; a result that would not
/// fit stops the machine (a broken bound in the caller, never a wrong value).
class BigInteger {
 public:
  /// Enough for the largest operand of the conversions: the 801 kept digits
  /// of a decimal number (2,661 bits) or 5^1124 (2,610 bits), aligned and
  /// normalized (under 2,700 bits).
  static constexpr UINT32 CAPACITY = 88;

  /// Sets the value to Value.
  void Set(UINT64 Value);

  /// TRUE when the value is zero.
  bool IsZero() const { return mLength == 0; }

  /// Number of significant bits; zero for zero.
  UINT32 BitLength() const;

  /// Value = Value * Factor + Addend.
  void MultiplyAdd(UINT32 Factor, UINT32 Addend);

  /// Value = Value * 5^Exponent.
  void MultiplyByPowerOfFive(UINT32 Exponent);

  /// Value = Value * 2^Bits.
  void ShiftLeft(UINT32 Bits);

  /// Negative, zero or positive as Value is below, equal to or above Other.
  INT32 Compare(const BigInteger &Other) const;

  /// Left shift that brings Value's top word into [2^27, 2^28), the form
  /// DivideSmall needs of its divisor. Value must not be zero.
  UINT32 NormalizingShift() const;

  /// Replaces Value with Value mod Divisor and returns Value / Divisor.
  /// Divisor must be normalized (see NormalizingShift) and the quotient
  /// below 16.
  UINT32 DivideSmall(const BigInteger &Divisor);

 private:
  void Trim();

  UINT32 mLength = 0;
  UINT32 mWords[CAPACITY];
};

}  // namespace EfiRuntime
