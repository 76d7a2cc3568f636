// Memory and byte helpers of the simulated platform, and its owners (aliases of
// core/Owner.h's one template). Its own memory comes from the JSON library's
// allocator (cJSON_malloc / cJSON_free), whatever hooks the host installed;
// memory handed to the driver comes from AllocateForDriver.
#pragma once

#include <cJSON.h>

#include "core/Owner.h"
#include "uefi/UefiBaseType.h"

/// Value of a hexadecimal digit (either case), or -1 for any other byte.
inline int SimHexDigitValue(CHAR8 Digit) {
  if (Digit >= '0' && Digit <= '9') {
    return Digit - '0';
  }
  if (Digit >= 'a' && Digit <= 'f') {
    return Digit - 'a' + 10;
  }
  if (Digit >= 'A' && Digit <= 'F') {
    return Digit - 'A' + 10;
  }
  return -1;
}

/// Length of a NUL-terminated byte string.
inline UINTN SimStringLength(const CHAR8 *String) {
  UINTN Length = 0;
  while (String[Length] != '\0') {
    Length++;
  }
  return Length;
}

/// Exact byte comparison of two NUL-terminated strings; TRUE when equal.
inline bool SimStringEqual(const CHAR8 *A, const CHAR8 *B) {
  while (*A != '\0' && *A == *B) {
    A++;
    B++;
  }
  return *A == *B;
}

/// TRUE when Length bytes at A equal the NUL-terminated string B.
inline bool SimBytesEqualString(const CHAR8 *A, UINTN Length, const CHAR8 *B) {
  for (UINTN Index = 0; Index < Length; Index++) {
    if (B[Index] == '\0' || A[Index] != B[Index]) {
      return false;
    }
  }
  return B[Length] == '\0';
}

/// Copies Length bytes; the ranges must not overlap.
inline void SimCopyBytes(VOID *Destination, const VOID *Source, UINTN Length) {
  auto *To = static_cast<UINT8 *>(Destination);
  const auto *From = static_cast<const UINT8 *>(Source);
  for (UINTN Index = 0; Index < Length; Index++) {
    To[Index] = From[Index];
  }
}

/// Fills Length bytes at Buffer with zero.
inline void SimZeroBytes(VOID *Buffer, UINTN Length) {
  auto *To = static_cast<UINT8 *>(Buffer);
  for (UINTN Index = 0; Index < Length; Index++) {
    To[Index] = 0;
  }
}

/// Copies Length bytes into a fresh NUL-terminated block from cJSON_malloc;
/// null on failure. The caller releases it with cJSON_free.
inline CHAR8 *SimDuplicateBytes(const CHAR8 *Bytes, UINTN Length) {
  if (Length == static_cast<UINTN>(-1)) {
    return nullptr;
  }
  auto *Copy = static_cast<CHAR8 *>(cJSON_malloc(Length + 1));
  if (Copy != nullptr) {
    SimCopyBytes(Copy, Bytes, Length);
    Copy[Length] = '\0';
  }
  return Copy;
}

/// Release policy of the simulated platform's blocks: cJSON_free, and zeroed
/// blocks from cJSON_malloc.
struct SimMemoryPolicy {
  template <typename T>
  static void Release(T *Pointer) {
    cJSON_free(const_cast<VOID *>(static_cast<const VOID *>(Pointer)));
  }
  static VOID *Allocate(UINTN Size) {
    VOID *Block = cJSON_malloc(Size);
    if (Block != nullptr) {
      SimZeroBytes(Block, Size);
    }
    return Block;
  }
};

/// Release policy of cJSON trees: cJSON_Delete.
struct SimTreePolicy {
  static void Release(cJSON *Root) { cJSON_Delete(Root); }
};

/// Owns one block from cJSON_malloc (text the library printed, or a copy).
using SimBlock = Owner<CHAR8, SimMemoryPolicy>;

/// Owns a cJSON tree.
using SimJson = Owner<cJSON, SimTreePolicy>;

/// A zeroed array of Count plain records from cJSON_malloc: the owner of the
/// block and the count of its records.
template <typename T>
class SimArray {
 public:
  SimArray() = default;
  SimArray(SimArray &&) = delete;  // Swap exchanges two arrays
  SimArray &operator=(SimArray &&) = delete;

  /// Replaces the array with Count zeroed records; false (and empty) on failure.
  [[nodiscard]] bool Allocate(UINTN Count) {
    Reset();
    if (Count == 0) {
      return true;
    }
    if (Count > static_cast<UINTN>(-1) / sizeof(T)) {
      return false;
    }
    mItems.Reset(static_cast<T *>(SimMemoryPolicy::Allocate(Count * sizeof(T))));
    if (!mItems) {
      return false;
    }
    mCount = Count;
    return true;
  }

  void Reset() {
    mItems.Reset();
    mCount = 0;
  }

  /// Exchanges contents with Other.
  void Swap(SimArray &Other) {
    mItems.Swap(Other.mItems);
    UINTN Count = mCount;
    mCount = Other.mCount;
    Other.mCount = Count;
  }

  T *Get() const { return mItems.Get(); }
  UINTN Count() const { return mCount; }
  T &operator[](UINTN Index) const { return mItems[Index]; }

 private:
  Owner<T, SimMemoryPolicy> mItems;
  UINTN mCount = 0;
};
