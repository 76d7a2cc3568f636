#include "sim/nvdimm/NvdimmText.h"

namespace {

CHAR8 LowerCase(CHAR8 Character) {
  return (Character >= 'A' && Character <= 'Z') ? static_cast<CHAR8>(Character - 'A' + 'a')
                                                : Character;
}

}  // namespace

UINTN NvdimmStrLen(const CHAR8 *String, UINTN Max) {
  UINTN Length = 0;
  if (String == nullptr) {
    return 0;
  }
  while (Length < Max && String[Length] != '\0') {
    Length++;
  }
  return Length;
}

bool NvdimmStrEqual(const CHAR8 *A, const CHAR8 *B) {
  if (A == nullptr || B == nullptr) {
    return false;
  }
  while (*A != '\0' && *A == *B) {
    A++;
    B++;
  }
  return *A == *B;
}

bool NvdimmStrEqualNoCase(const CHAR8 *A, const CHAR8 *B) {
  if (A == nullptr || B == nullptr) {
    return false;
  }
  while (*A != '\0' && LowerCase(*A) == LowerCase(*B)) {
    A++;
    B++;
  }
  return LowerCase(*A) == LowerCase(*B);
}

bool NvdimmBytesEqualNoCase(const CHAR8 *A, UINTN Length, const CHAR8 *B) {
  if (A == nullptr || B == nullptr) {
    return false;
  }
  for (UINTN Index = 0; Index < Length; Index++) {
    if (B[Index] == '\0' || LowerCase(A[Index]) != LowerCase(B[Index])) {
      return false;
    }
  }
  return B[Length] == '\0';
}

void NvdimmStrCopy(CHAR8 *Destination, UINTN Size, const CHAR8 *Source) {
  if (Destination == nullptr || Size == 0) {
    return;
  }
  UINTN Length = NvdimmStrLen(Source, Size - 1);
  for (UINTN Index = 0; Index < Length; Index++) {
    Destination[Index] = Source[Index];
  }
  Destination[Length] = '\0';
}

void NvdimmZero(VOID *Buffer, UINTN Length) {
  // volatile keeps the compiler from turning the loop into a memset call,
  // which the firmware image need not provide.
  volatile UINT8 *Bytes = static_cast<volatile UINT8 *>(Buffer);
  for (UINTN Index = 0; Index < Length; Index++) {
    Bytes[Index] = 0;
  }
}

NvdimmMessage::NvdimmMessage(CHAR8 *Buffer, UINTN Size) : mBuffer(Buffer), mSize(Size) { Clear(); }

void NvdimmMessage::Clear() {
  mLength = 0;
  if (mBuffer != nullptr && mSize > 0) {
    mBuffer[0] = '\0';
  }
}

void NvdimmMessage::Put(CHAR8 Character) {
  if (mBuffer == nullptr || mLength + 1 >= mSize) {
    return;
  }
  mBuffer[mLength++] = Character;
  mBuffer[mLength] = '\0';
}

NvdimmMessage &NvdimmMessage::Add(const CHAR8 *Text) {
  if (Text == nullptr) {
    Text = "(null)";
  }
  return AddCut(Text, mSize);
}

NvdimmMessage &NvdimmMessage::AddCut(const CHAR8 *Text, UINTN Max) {
  UINTN Length = NvdimmStrLen(Text, Max);
  for (UINTN Index = 0; Index < Length; Index++) {
    Put(Text[Index]);
  }
  return *this;
}

NvdimmMessage &NvdimmMessage::AddDecimal(UINT64 Value) {
  CHAR8 Digits[20];
  UINTN Count = 0;
  do {
    Digits[Count++] = static_cast<CHAR8>('0' + Value % 10);
    Value /= 10;
  } while (Value != 0);
  while (Count > 0) {
    Put(Digits[--Count]);
  }
  return *this;
}

NvdimmMessage &NvdimmMessage::AddHex(UINT64 Value) {
  static const CHAR8 HexDigits[] = "0123456789ABCDEF";
  CHAR8 Digits[16];
  UINTN Count = 0;
  do {
    Digits[Count++] = HexDigits[Value & 0xF];
    Value >>= 4;
  } while (Value != 0);
  while (Count < 4) {
    Digits[Count++] = '0';
  }
  Put('0');
  Put('x');
  while (Count > 0) {
    Put(Digits[--Count]);
  }
  return *this;
}

NvdimmMessage &NvdimmMessage::AddQuoted(const CHAR8 *Text) {
  Put('\'');
  AddCut(Text, 24);
  Put('\'');
  return *this;
}
