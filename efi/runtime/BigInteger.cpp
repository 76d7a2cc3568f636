#include "efi/runtime/BigInteger.h"

namespace EfiRuntime {

namespace {

// Bounds were worked out for every input; overrunning one is a defect in the
// caller, and stopping is the only answer that is not a wrong number.
[[noreturn]] void CapacityExceeded() { __builtin_trap(); }

}  // namespace

void BigInteger::Set(UINT64 Value) {
  mWords[0] = static_cast<UINT32>(Value);
  mWords[1] = static_cast<UINT32>(Value >> 32);
  mLength = 2;
  Trim();
}

void BigInteger::Trim() {
  while (mLength > 0 && mWords[mLength - 1] == 0) {
    mLength--;
  }
}

UINT32 BigInteger::BitLength() const {
  if (mLength == 0) {
    return 0;
  }
  return mLength * 32 - static_cast<UINT32>(__builtin_clz(mWords[mLength - 1]));
}

void BigInteger::MultiplyAdd(UINT32 Factor, UINT32 Addend) {
  UINT64 Carry = Addend;
  for (UINT32 Index = 0; Index < mLength; Index++) {
    UINT64 Product = static_cast<UINT64>(mWords[Index]) * Factor + Carry;
    mWords[Index] = static_cast<UINT32>(Product);
    Carry = Product >> 32;
  }
  if (Carry != 0) {
    if (mLength == CAPACITY) {
      CapacityExceeded();
    }
    mWords[mLength++] = static_cast<UINT32>(Carry);
  }
}

void BigInteger::MultiplyByPowerOfFive(UINT32 Exponent) {
  // 5^13 is the largest power of five below 2^32.
  constexpr UINT32 FIVE_TO_THE_13 = 1220703125;
  while (Exponent >= 13) {
    MultiplyAdd(FIVE_TO_THE_13, 0);
    Exponent -= 13;
  }
  UINT32 Factor = 1;
  while (Exponent-- > 0) {
    Factor *= 5;
  }
  MultiplyAdd(Factor, 0);
}

void BigInteger::ShiftLeft(UINT32 Bits) {
  if (mLength == 0) {
    return;
  }
  UINT32 WordShift = Bits / 32;
  UINT32 BitShift = Bits % 32;
  UINT32 NewLength = (BitLength() + Bits + 31) / 32;
  if (NewLength > CAPACITY) {
    CapacityExceeded();
  }
  // From the top down, so that no word is read after it was overwritten.
  UINT32 Index = NewLength;
  while (Index-- > 0) {
    UINT32 High =
        (Index >= WordShift && Index - WordShift < mLength) ? mWords[Index - WordShift] : 0;
    UINT32 Low = (Index >= WordShift + 1 && Index - WordShift - 1 < mLength)
                     ? mWords[Index - WordShift - 1]
                     : 0;
    mWords[Index] = BitShift == 0 ? High : (High << BitShift) | (Low >> (32 - BitShift));
  }
  mLength = NewLength;
}

INT32 BigInteger::Compare(const BigInteger &Other) const {
  if (mLength != Other.mLength) {
    return mLength < Other.mLength ? -1 : 1;
  }
  UINT32 Index = mLength;
  while (Index-- > 0) {
    if (mWords[Index] != Other.mWords[Index]) {
      return mWords[Index] < Other.mWords[Index] ? -1 : 1;
    }
  }
  return 0;
}

UINT32 BigInteger::NormalizingShift() const {
  // Top word in [2^27, 2^28): its highest bit is bit 27.
  return (28 - BitLength() % 32 + 32) % 32;
}

UINT32 BigInteger::DivideSmall(const BigInteger &Divisor) {
  UINT32 Length = Divisor.mLength;
  if (mLength < Length) {
    return 0;
  }
  // The quotient is below 16, so Value fits in Length words, and with the
  // divisor's top word at least 2^27 this estimate is the quotient or one
  // less: top / (divisor top + 1) never exceeds Value / Divisor, and falls
  // short of it by less than one.
  UINT32 Quotient = mWords[Length - 1] / (Divisor.mWords[Length - 1] + 1);
  if (Quotient != 0) {
    UINT64 Carry = 0;
    UINT64 Borrow = 0;
    for (UINT32 Index = 0; Index < Length; Index++) {
      UINT64 Product = static_cast<UINT64>(Divisor.mWords[Index]) * Quotient + Carry;
      Carry = Product >> 32;
      UINT64 Difference =
          static_cast<UINT64>(mWords[Index]) - static_cast<UINT32>(Product) - Borrow;
      mWords[Index] = static_cast<UINT32>(Difference);
      Borrow = (Difference >> 32) & 1;
    }
    Trim();
  }
  if (Compare(Divisor) >= 0) {
    UINT64 Borrow = 0;
    for (UINT32 Index = 0; Index < Length; Index++) {
      UINT64 Difference = static_cast<UINT64>(mWords[Index]) - Divisor.mWords[Index] - Borrow;
      mWords[Index] = static_cast<UINT32>(Difference);
      Borrow = (Difference >> 32) & 1;
    }
    Trim();
    Quotient++;
  }
  return Quotient;
}

}  // namespace EfiRuntime
