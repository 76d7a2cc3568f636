// Memory and byte helpers of the simulated platform. Its own memory comes from
// the JSON library's allocator (cJSON_malloc / cJSON_free), whatever hooks the
// host installed; memory handed to the driver comes from AllocateForDriver.
#pragma once

#include <cJSON.h>

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

/// Owns a zeroed array of Count plain records from cJSON_malloc.
template <typename T>
class SimArray {
 public:
  SimArray() = default;
  ~SimArray() { Reset(); }
  SimArray(SimArray &&Other) noexcept : mItems(Other.mItems), mCount(Other.mCount) {
    Other.mItems = nullptr;
    Other.mCount = 0;
  }
  SimArray(const SimArray &) = delete;
  SimArray &operator=(const SimArray &) = delete;
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
    mItems = static_cast<T *>(cJSON_malloc(Count * sizeof(T)));
    if (mItems == nullptr) {
      return false;
    }
    SimZeroBytes(mItems, Count * sizeof(T));
    mCount = Count;
    return true;
  }

  void Reset() {
    if (mItems != nullptr) {
      cJSON_free(mItems);
    }
    mItems = nullptr;
    mCount = 0;
  }

  /// Exchanges contents with Other.
  void Swap(SimArray &Other) {
    T *Items = mItems;
    UINTN Count = mCount;
    mItems = Other.mItems;
    mCount = Other.mCount;
    Other.mItems = Items;
    Other.mCount = Count;
  }

  T *Get() const { return mItems; }
  UINTN Count() const { return mCount; }
  T &operator[](UINTN Index) const { return mItems[Index]; }

 private:
  T *mItems = nullptr;
  UINTN mCount = 0;
};

/// Owns one block from cJSON_malloc (text the library printed, or a copy).
class SimBlock {
 public:
  SimBlock() = default;
  explicit SimBlock(CHAR8 *Block) : mBlock(Block) {}
  ~SimBlock() {
    if (mBlock != nullptr) {
      cJSON_free(mBlock);
    }
  }
  SimBlock(const SimBlock &) = delete;
  SimBlock &operator=(const SimBlock &) = delete;

  CHAR8 *Get() const { return mBlock; }
  explicit operator bool() const { return mBlock != nullptr; }
  /// Releases the block held and takes Block instead.
  void Reset(CHAR8 *Block) {
    if (mBlock != nullptr) {
      cJSON_free(mBlock);
    }
    mBlock = Block;
  }
  [[nodiscard]] CHAR8 *Release() {
    CHAR8 *Block = mBlock;
    mBlock = nullptr;
    return Block;
  }

 private:
  CHAR8 *mBlock = nullptr;
};

/// Owns a cJSON tree; cJSON_Delete releases it.
class SimJson {
 public:
  SimJson() = default;
  explicit SimJson(cJSON *Root) : mRoot(Root) {}
  ~SimJson() { cJSON_Delete(mRoot); }
  SimJson(const SimJson &) = delete;
  SimJson &operator=(const SimJson &) = delete;

  cJSON *Get() const { return mRoot; }
  explicit operator bool() const { return mRoot != nullptr; }
  [[nodiscard]] cJSON *Release() {
    cJSON *Root = mRoot;
    mRoot = nullptr;
    return Root;
  }
  /// Releases the tree held and takes Root instead.
  void Reset(cJSON *Root) {
    cJSON_Delete(mRoot);
    mRoot = Root;
  }

 private:
  cJSON *mRoot = nullptr;
};
