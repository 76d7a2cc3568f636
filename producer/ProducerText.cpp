#include "producer/ProducerText.h"

UINTN BoundedLength(const CHAR8 *Text, UINTN Size) {
  UINTN Length = 0;
  while (Length < Size && Text[Length] != '\0') {
    Length++;
  }
  return Length;
}

void TEXT_BUILDER::Put(CHAR8 Byte) {
  if (mLength + 1 >= mSize) {
    mOverflowed = true;
    return;
  }
  mBuffer[mLength++] = Byte;
  mBuffer[mLength] = '\0';
}

void TEXT_BUILDER::Add(const CHAR8 *Text) {
  for (; *Text != '\0'; Text++) {
    Put(*Text);
  }
}

void TEXT_BUILDER::AddBounded(const CHAR8 *Text, UINTN Size) {
  for (UINTN Index = 0; Index < Size && Text[Index] != '\0'; Index++) {
    Put(Text[Index]);
  }
}

void TEXT_BUILDER::AddDecimal(UINT64 Value) {
  CHAR8 Digits[20];
  UINTN Count = 0;
  do {
    Digits[Count++] = static_cast<CHAR8>('0' + Value % 10);
    Value /= 10;
  } while (Value != 0);
  while (Count != 0) {
    Put(Digits[--Count]);
  }
}

void TEXT_BUILDER::AddBase64(const CHAR8 *Bytes, UINTN Length) {
  static constexpr CHAR8 ALPHABET[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (UINTN Index = 0; Index < Length; Index += 3) {
    UINT32 Group = static_cast<UINT32>(static_cast<UINT8>(Bytes[Index])) << 16;
    if (Index + 1 < Length) {
      Group |= static_cast<UINT32>(static_cast<UINT8>(Bytes[Index + 1])) << 8;
    }
    if (Index + 2 < Length) {
      Group |= static_cast<UINT8>(Bytes[Index + 2]);
    }
    Put(ALPHABET[(Group >> 18) & 0x3F]);
    Put(ALPHABET[(Group >> 12) & 0x3F]);
    Put(Index + 1 < Length ? ALPHABET[(Group >> 6) & 0x3F] : '=');
    Put(Index + 2 < Length ? ALPHABET[Group & 0x3F] : '=');
  }
}

bool TEXT_READER::SkipBlanks() {
  while (mAt < mLength &&
         (mText[mAt] == ' ' || mText[mAt] == '\t' || mText[mAt] == '\r' || mText[mAt] == '\n')) {
    mAt++;
  }
  return mAt < mLength && mText[mAt] != '\0';
}

bool TEXT_READER::Take(const CHAR8 *Word) {
  UINTN At = mAt;
  for (; *Word != '\0'; Word++, At++) {
    if (At >= mLength || mText[At] != *Word) {
      return false;
    }
  }
  mAt = At;
  return true;
}

bool TEXT_READER::ReadNumber(UINT32 Limit, UINTN MaxDigits, UINT32 *Value) {
  UINT32 Number = 0;
  UINTN Digits = 0;
  while (mAt < mLength && mText[mAt] >= '0' && mText[mAt] <= '9') {
    Number = Number * 10 + static_cast<UINT32>(mText[mAt++] - '0');
    if (++Digits > MaxDigits || Number > Limit) {
      return false;
    }
  }
  *Value = Number;
  return Digits != 0;
}

bool TEXT_READER::ReadAddress(EFI_IPv4_ADDRESS *Address) {
  for (UINTN Part = 0; Part < 4; Part++) {
    UINT32 Value = 0;
    if ((Part != 0 && !Take(".")) || !ReadNumber(255, 3, &Value)) {
      return false;
    }
    Address->Addr[Part] = static_cast<UINT8>(Value);
  }
  return true;
}

bool TEXT_READER::ReadPort(UINT16 *Port) {
  UINT32 Value = 0;
  if (!ReadNumber(65535, 5, &Value) || Value == 0) {
    return false;
  }
  *Port = static_cast<UINT16>(Value);
  return true;
}

bool TEXT_READER::ReadPrefix(UINT8 *Bits) {
  UINT32 Value = 0;
  if (!ReadNumber(32, 2, &Value)) {
    return false;
  }
  *Bits = static_cast<UINT8>(Value);
  return true;
}

bool TEXT_READER::ReadMilliseconds(UINT32 *Milliseconds) {
  UINT32 Value = 0;
  if (!ReadNumber(600000, 6, &Value) || Value == 0) {
    return false;
  }
  *Milliseconds = Value;
  return true;
}

bool TEXT_READER::AtBlankOrEnd() const {
  return mAt >= mLength || mText[mAt] == '\0' || mText[mAt] == ' ' || mText[mAt] == '\t' ||
         mText[mAt] == '\r' || mText[mAt] == '\n';
}
