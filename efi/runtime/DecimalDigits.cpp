#include "efi/runtime/DecimalDigits.h"

#include "efi/runtime/BigInteger.h"
#include "efi/runtime/DoubleBits.h"

namespace EfiRuntime {

UINT32 RoundToSignificantDigits(double Value, UINT32 Count, CHAR8 *Digits, INT32 *Exponent) {
  // Value = Mantissa * 2^BinaryExponent, exactly.
  UINT64 Mantissa;
  INT32 BinaryExponent;
  SplitDouble(Value, &Mantissa, &BinaryExponent);

  // Value lies in [2^TopBit, 2^(TopBit + 1)), so below 10^(Decimal + 1) with
  // Decimal = floor((TopBit + 1) log10 2); the first digit's exponent is
  // Decimal or Decimal - 1.
  INT32 TopBit = BinaryExponent + 63 - __builtin_clzll(Mantissa);
  INT32 Decimal = FloorLog10OfPowerOfTwo(TopBit + 1);

  // Numerator / Denominator = Value / 10^Decimal, with the factors of two
  // of 10^Decimal cancelled against 2^BinaryExponent.
  BigInteger Numerator;
  BigInteger Denominator;
  Numerator.Set(Mantissa);
  Denominator.Set(1);
  if (Decimal < 0) {
    Numerator.MultiplyByPowerOfFive(static_cast<UINT32>(-Decimal));
  } else {
    Denominator.MultiplyByPowerOfFive(static_cast<UINT32>(Decimal));
  }
  INT32 TwoExponent = BinaryExponent - Decimal;
  if (TwoExponent > 0) {
    Numerator.ShiftLeft(static_cast<UINT32>(TwoExponent));
  } else {
    Denominator.ShiftLeft(static_cast<UINT32>(-TwoExponent));
  }
  if (Numerator.Compare(Denominator) < 0) {
    Numerator.MultiplyAdd(10, 0);
    Decimal--;
  }
  UINT32 Shift = Denominator.NormalizingShift();
  Numerator.ShiftLeft(Shift);
  Denominator.ShiftLeft(Shift);

  // One digit per step; the remainder stays below Denominator, so ten
  // times it leaves a quotient below ten.
  UINT32 Produced = 0;
  while (Produced < Count) {
    if (Produced != 0) {
      Numerator.MultiplyAdd(10, 0);
    }
    Digits[Produced++] = static_cast<CHAR8>('0' + Numerator.DivideSmall(Denominator));
    if (Numerator.IsZero()) {
      break;
    }
  }

  if (!Numerator.IsZero()) {
    // The rest is Numerator / Denominator of one unit in the last digit:
    // compare twice it with one unit.
    Numerator.ShiftLeft(1);
    INT32 Order = Numerator.Compare(Denominator);
    if (Order > 0 || (Order == 0 && ((Digits[Count - 1] - '0') & 1) != 0)) {
      UINT32 Index = Count;
      while (Index > 0 && Digits[Index - 1] == '9') {
        Digits[--Index] = '0';
      }
      if (Index == 0) {
        // 9.99...9 became 10.00...0.
        Digits[0] = '1';
        Decimal++;
      } else {
        Digits[Index - 1]++;
      }
    }
  }

  while (Produced > 1 && Digits[Produced - 1] == '0') {
    Produced--;
  }
  *Exponent = Decimal;
  return Produced;
}

}  // namespace EfiRuntime
