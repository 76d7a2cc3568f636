#include "text/TextHelpers.h"

namespace {

constexpr UINT64 ALL_ONES = ~static_cast<UINT64>(0);

/// TRUE when String has a NUL within its first TEXT_MAX_LENGTH + 1 bytes.
bool IsWithinLimit(const CHAR8 *String) {
  for (UINTN Index = 0; Index <= TEXT_MAX_LENGTH; Index++) {
    if (String[Index] == '\0') {
      return true;
    }
  }
  return false;
}

const CHAR8 *SkipBlanks(const CHAR8 *String) {
  while (*String == ' ' || *String == '\t') {
    String++;
  }
  return String;
}

int HexDigitValue(CHAR8 Char) {
  if (Char >= '0' && Char <= '9') {
    return Char - '0';
  }
  if (Char >= 'a' && Char <= 'f') {
    return Char - 'a' + 10;
  }
  if (Char >= 'A' && Char <= 'F') {
    return Char - 'A' + 10;
  }
  return -1;
}

bool IsDecimalDigit(CHAR8 Char) { return Char >= '0' && Char <= '9'; }

/// Where the hexadecimal digits of String begin, after blanks, zeros and a
/// valid "x" prefix; null when an "x" without its zero ends the conversion.
/// *SkippedZeros tells whether zeros were stepped over (they are digits
/// themselves unless a prefix follows).
const CHAR8 *HexDigitsStart(const CHAR8 *String, bool *SkippedZeros) {
  const CHAR8 *Cursor = SkipBlanks(String);
  const CHAR8 *ZerosStart = Cursor;
  while (*Cursor == '0') {
    Cursor++;
  }
  *SkippedZeros = Cursor != ZerosStart;
  if (*Cursor == 'x' || *Cursor == 'X') {
    if (Cursor == String || Cursor[-1] != '0') {
      return nullptr;
    }
    *SkippedZeros = false;
    Cursor++;
  }
  return Cursor;
}

}  // namespace

EFI_STATUS HexToUintn(const CHAR8 *String, UINT64 *Value) {
  if (String == nullptr || Value == nullptr || !IsWithinLimit(String)) {
    return EFI_INVALID_PARAMETER;
  }
  bool SkippedZeros = false;
  const CHAR8 *Cursor = HexDigitsStart(String, &SkippedZeros);
  *Value = 0;
  if (Cursor == nullptr) {
    return EFI_SUCCESS;
  }
  // A local total: through Value, which may alias the text, every digit
  // would be stored and read back.
  UINT64 Total = 0;
  for (int Digit = HexDigitValue(*Cursor); Digit >= 0; Digit = HexDigitValue(*++Cursor)) {
    if (Total > (ALL_ONES - static_cast<UINT64>(Digit)) / 16) {
      *Value = ALL_ONES;
      return EFI_UNSUPPORTED;
    }
    Total = Total * 16 + static_cast<UINT64>(Digit);
  }
  *Value = Total;
  return EFI_SUCCESS;
}

EFI_STATUS DecimalToUintn(const CHAR8 *String, UINT64 *Value) {
  if (String == nullptr || Value == nullptr || !IsWithinLimit(String)) {
    return EFI_INVALID_PARAMETER;
  }
  const CHAR8 *Cursor = SkipBlanks(String);
  while (*Cursor == '0') {
    Cursor++;
  }
  *Value = 0;
  UINT64 Total = 0;
  for (; IsDecimalDigit(*Cursor); Cursor++) {
    auto Digit = static_cast<UINT64>(*Cursor - '0');
    if (Total > (ALL_ONES - Digit) / 10) {
      *Value = ALL_ONES;
      return EFI_UNSUPPORTED;
    }
    Total = Total * 10 + Digit;
  }
  *Value = Total;
  return EFI_SUCCESS;
}

bool HasHexDigits(const CHAR8 *String) {
  if (String == nullptr || !IsWithinLimit(String)) {
    return false;
  }
  bool SkippedZeros = false;
  const CHAR8 *Cursor = HexDigitsStart(String, &SkippedZeros);
  return Cursor != nullptr && (SkippedZeros || HexDigitValue(*Cursor) >= 0);
}

bool HasDecimalDigits(const CHAR8 *String) {
  if (String == nullptr || !IsWithinLimit(String)) {
    return false;
  }
  return IsDecimalDigit(*SkipBlanks(String));
}
