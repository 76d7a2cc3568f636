// strtod: decimal text to the nearest double, exactly.
//
// The digits are read into a big integer, and the value Digits * 10^Exponent
// is divided out in big-integer arithmetic until the 53 bits of the result
// and the remainder are known; the remainder decides the rounding. No step
// approximates, so every input rounds correctly, halfway cases included.
#include "efi/runtime/BigInteger.h"
#include "efi/runtime/Characters.h"
#include "efi/runtime/DecimalDigits.h"
#include "efi/runtime/DoubleBits.h"
#include "efi/runtime/include/stdlib.h"

using namespace EfiRuntime;

namespace {

// Digits kept from the text. A boundary between two doubles has at most
// 767 significant digits, so the value of the first 800 digits, with a digit
// 1 appended when anything nonzero was dropped, falls on the same side of
// every boundary as the full text.
constexpr UINT32 KEPT_DIGITS = MAX_SIGNIFICANT_DIGITS;

// Explicit exponents are read up to this size; anything larger decides the
// result (infinity or zero) whatever the digits, since the digit count itself
// is bounded by the address space.
constexpr INT64 EXPONENT_LIMIT = 100000000000000000LL;

// The decimal number read from the text: Digits * 10^Exponent.
struct DECIMAL_NUMBER {
  BigInteger Digits;
  UINT32 Kept;
  INT64 Exponent;
};

// Appends decimal digits to a big integer nine at a time.
class DigitAccumulator {
 public:
  explicit DigitAccumulator(BigInteger *Target) : mTarget(Target) { mTarget->Set(0); }

  void Append(UINT32 Digit) {
    mChunk = mChunk * 10 + Digit;
    mScale *= 10;
    if (mScale == 1000000000) {
      Flush();
    }
  }

  void Flush() {
    mTarget->MultiplyAdd(mScale, mChunk);
    mChunk = 0;
    mScale = 1;
  }

 private:
  BigInteger *mTarget;
  UINT32 mChunk = 0;
  UINT32 mScale = 1;
};

// Reads the digits and the point from Cursor; returns the first byte after
// them, or null when there is no digit.
const char *ReadSignificand(const char *Cursor, DECIMAL_NUMBER *Number) {
  DigitAccumulator Accumulator(&Number->Digits);
  Number->Kept = 0;
  Number->Exponent = 0;
  bool SawDigit = false;
  bool InFraction = false;
  bool Dropped = false;
  for (;; Cursor++) {
    char Character = *Cursor;
    if (Character == '.' && !InFraction) {
      InFraction = true;
      continue;
    }
    if (!IsDigit(Character)) {
      break;
    }
    SawDigit = true;
    if (Character == '0' && Number->Kept == 0) {
      // A leading zero only moves the point.
      Number->Exponent -= InFraction ? 1 : 0;
    } else if (Number->Kept < KEPT_DIGITS) {
      Accumulator.Append(static_cast<UINT32>(Character - '0'));
      Number->Kept++;
      Number->Exponent -= InFraction ? 1 : 0;
    } else {
      Dropped = Dropped || Character != '0';
      Number->Exponent += InFraction ? 0 : 1;
    }
  }
  if (Dropped) {
    Accumulator.Append(1);
    Number->Kept++;
    Number->Exponent--;
  }
  Accumulator.Flush();
  return SawDigit ? Cursor : nullptr;
}

// Reads "e", an optional sign and at least one digit; returns Cursor itself
// when they are not there, since the exponent is then not part of the number.
const char *ReadExponent(const char *Cursor, INT64 *Exponent) {
  if (*Cursor != 'e' && *Cursor != 'E') {
    return Cursor;
  }
  const char *Next = Cursor + 1;
  bool Negative = *Next == '-';
  if (*Next == '+' || *Next == '-') {
    Next++;
  }
  if (!IsDigit(*Next)) {
    return Cursor;
  }
  INT64 Value = 0;
  for (; IsDigit(*Next); Next++) {
    if (Value < EXPONENT_LIMIT) {
      Value = Value * 10 + (*Next - '0');
    }
  }
  *Exponent += Negative ? -Value : Value;
  return Next;
}

// The bits of the double nearest to Number (not zero), sign aside.
UINT64 RoundToDouble(DECIMAL_NUMBER *Number) {
  // The value lies in [10^(Lead - 1), 10^Lead).
  INT64 Lead = Number->Exponent + Number->Kept;
  if (Lead > 309) {
    return DOUBLE_INFINITY_BITS;  // at least 10^309
  }
  if (Lead < -323) {
    return 0;  // below 10^-324, under half of 2^-1074
  }
  // Within those bounds the exponent is in [-1124, 309].
  INT32 Exponent = static_cast<INT32>(Number->Exponent);

  // Value = Numerator / Denominator * 2^Exponent.
  BigInteger &Numerator = Number->Digits;
  BigInteger Denominator;
  Denominator.Set(1);
  if (Exponent > 0) {
    Numerator.MultiplyByPowerOfFive(static_cast<UINT32>(Exponent));
  } else {
    Denominator.MultiplyByPowerOfFive(static_cast<UINT32>(-Exponent));
  }

  // Align the two so that Numerator / Denominator is in [1, 2) and
  // Value = Numerator / Denominator * 2^TopBit.
  INT32 Shift =
      static_cast<INT32>(Numerator.BitLength()) - static_cast<INT32>(Denominator.BitLength());
  if (Shift > 0) {
    Denominator.ShiftLeft(static_cast<UINT32>(Shift));
  } else {
    Numerator.ShiftLeft(static_cast<UINT32>(-Shift));
  }
  INT32 TopBit = Exponent + Shift;
  if (Numerator.Compare(Denominator) < 0) {
    Numerator.ShiftLeft(1);
    TopBit--;
  }
  if (TopBit > 1023) {
    return DOUBLE_INFINITY_BITS;
  }

  // LowBit is the weight of the mantissa's last bit: 52 bits below the top
  // one, but never below 2^-1074, where subnormals lose bits instead.
  INT32 LowBit = (TopBit < -1022 ? -1022 : TopBit) - 52;
  INT32 FractionBits = TopBit - LowBit;
  if (FractionBits < -1) {
    return 0;  // below 2^-1075, under half of 2^-1074
  }

  UINT32 Normalize = Denominator.NormalizingShift();
  Numerator.ShiftLeft(Normalize);
  Denominator.ShiftLeft(Normalize);

  // Mantissa = floor(Value / 2^LowBit); what is left of Numerator is then
  // the remainder in units of Denominator, later doubled to compare it with
  // half a unit. With FractionBits -1 the mantissa is zero and Value itself
  // (Numerator / Denominator halves of 2^LowBit) is the remainder.
  UINT64 Mantissa = 0;
  if (FractionBits >= 0) {
    Mantissa = Numerator.DivideSmall(Denominator);
    for (INT32 Remaining = FractionBits; Remaining > 0;) {
      UINT32 Step = Remaining < 4 ? static_cast<UINT32>(Remaining) : 4;
      Numerator.ShiftLeft(Step);
      Mantissa = (Mantissa << Step) | Numerator.DivideSmall(Denominator);
      Remaining -= static_cast<INT32>(Step);
    }
    Numerator.ShiftLeft(1);
  }
  INT32 Order = Numerator.Compare(Denominator);
  if (Order > 0 || (Order == 0 && (Mantissa & 1) != 0)) {
    Mantissa++;
  }

  // The mantissa's leading bit lands in the exponent field, so a carry out
  // of 53 bits, or a subnormal rounding up to 2^-1022, is encoded by the
  // same addition.
  UINT64 Bits = (static_cast<UINT64>(LowBit + 1074) << 52) + Mantissa;
  return Bits >= DOUBLE_INFINITY_BITS ? DOUBLE_INFINITY_BITS : Bits;
}

}  // namespace

extern "C" double strtod(const char *Text, char **End) {
  const char *Cursor = Text;
  while (IsSpace(*Cursor)) {
    Cursor++;
  }
  bool Negative = *Cursor == '-';
  if (*Cursor == '+' || *Cursor == '-') {
    Cursor++;
  }

  DECIMAL_NUMBER Number;
  Cursor = ReadSignificand(Cursor, &Number);
  if (Cursor == nullptr) {
    if (End != nullptr) {
      *End = const_cast<char *>(Text);
    }
    return 0.0;
  }
  Cursor = ReadExponent(Cursor, &Number.Exponent);
  if (End != nullptr) {
    *End = const_cast<char *>(Cursor);
  }

  UINT64 Bits = Number.Kept == 0 ? 0 : RoundToDouble(&Number);
  return DoubleOfBits(Negative ? Bits | DOUBLE_SIGN_BIT : Bits);
}
