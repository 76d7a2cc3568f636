#include "core/Memory.h"

void ZeroMem(VOID *Buffer, UINTN Length) {
  auto *Bytes = static_cast<UINT8 *>(Buffer);
  for (UINTN Index = 0; Index < Length; Index++) {
    Bytes[Index] = 0;
  }
}

void CopyMem(VOID *Destination, const VOID *Source, UINTN Length) {
  auto *To = static_cast<UINT8 *>(Destination);
  const auto *From = static_cast<const UINT8 *>(Source);
  for (UINTN Index = 0; Index < Length; Index++) {
    To[Index] = From[Index];
  }
}

UINTN AsciiStrLen(const CHAR8 *String) {
  UINTN Length = 0;
  while (String[Length] != '\0') {
    Length++;
  }
  return Length;
}

bool AsciiStrEqual(const CHAR8 *A, const CHAR8 *B) {
  while (*A != '\0' && *A == *B) {
    A++;
    B++;
  }
  return *A == *B;
}

static CHAR8 AsciiToLower(CHAR8 Char) {
  return (Char >= 'A' && Char <= 'Z') ? static_cast<CHAR8>(Char - 'A' + 'a') : Char;
}

bool AsciiStrEqualNoCase(const CHAR8 *A, const CHAR8 *B) {
  while (*A != '\0' && AsciiToLower(*A) == AsciiToLower(*B)) {
    A++;
    B++;
  }
  return AsciiToLower(*A) == AsciiToLower(*B);
}

bool StrEqual(const CHAR16 *A, const CHAR16 *B) {
  while (*A != 0 && *A == *B) {
    A++;
    B++;
  }
  return *A == *B;
}
