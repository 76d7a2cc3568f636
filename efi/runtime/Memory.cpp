// The four memory functions: cJSON calls memcpy and memset, and the compiler
// may call any of the four for copies and comparisons it generates itself.
// The image is compiled freestanding, so these loops are not turned back
// into calls to the functions they implement.
#include <stdint.h>

#include "efi/runtime/include/string.h"

extern "C" void *memcpy(void *Destination, const void *Source, size_t Length) {
  auto *To = static_cast<unsigned char *>(Destination);
  const auto *From = static_cast<const unsigned char *>(Source);
  for (size_t Index = 0; Index < Length; Index++) {
    To[Index] = From[Index];
  }
  return Destination;
}

extern "C" void *memmove(void *Destination, const void *Source, size_t Length) {
  auto *To = static_cast<unsigned char *>(Destination);
  const auto *From = static_cast<const unsigned char *>(Source);
  // Copying downwards is safe when the destination starts below the source;
  // otherwise copy from the end.
  if (reinterpret_cast<uintptr_t>(To) - reinterpret_cast<uintptr_t>(From) >= Length) {
    for (size_t Index = 0; Index < Length; Index++) {
      To[Index] = From[Index];
    }
  } else {
    for (size_t Index = Length; Index > 0; Index--) {
      To[Index - 1] = From[Index - 1];
    }
  }
  return Destination;
}

extern "C" void *memset(void *Buffer, int Value, size_t Length) {
  auto *Bytes = static_cast<unsigned char *>(Buffer);
  for (size_t Index = 0; Index < Length; Index++) {
    Bytes[Index] = static_cast<unsigned char>(Value);
  }
  return Buffer;
}

extern "C" int memcmp(const void *A, const void *B, size_t Length) {
  const auto *Left = static_cast<const unsigned char *>(A);
  const auto *Right = static_cast<const unsigned char *>(B);
  for (size_t Index = 0; Index < Length; Index++) {
    if (Left[Index] != Right[Index]) {
      return Left[Index] - Right[Index];
    }
  }
  return 0;
}
