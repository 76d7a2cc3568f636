// The string functions cJSON calls, and tolower for its case-insensitive
// member lookup.
#include "efi/runtime/include/string.h"
#include "efi/runtime/include/ctype.h"

extern "C" size_t strlen(const char *String) {
  size_t Length = 0;
  while (String[Length] != '\0') {
    Length++;
  }
  return Length;
}

extern "C" int strcmp(const char *A, const char *B) {
  const auto *Left = reinterpret_cast<const unsigned char *>(A);
  const auto *Right = reinterpret_cast<const unsigned char *>(B);
  while (*Left != '\0' && *Left == *Right) {
    Left++;
    Right++;
  }
  return *Left - *Right;
}

extern "C" int strncmp(const char *A, const char *B, size_t Length) {
  const auto *Left = reinterpret_cast<const unsigned char *>(A);
  const auto *Right = reinterpret_cast<const unsigned char *>(B);
  for (size_t Index = 0; Index < Length; Index++) {
    if (Left[Index] != Right[Index] || Left[Index] == '\0') {
      return Left[Index] - Right[Index];
    }
  }
  return 0;
}

extern "C" char *strcpy(char *Destination, const char *Source) {
  size_t Index = 0;
  do {
    Destination[Index] = Source[Index];
  } while (Source[Index++] != '\0');
  return Destination;
}

extern "C" int tolower(int Character) {
  return (Character >= 'A' && Character <= 'Z') ? Character - 'A' + 'a' : Character;
}
