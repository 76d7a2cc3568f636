// Move-only owners of boot-services pool memory. A PoolPtr releases its block
// with FreePool when it goes out of scope, so every early return releases
// what it must.
#pragma once

#include "core/BootServices.h"
#include "core/Memory.h"

/// Allocates Size zeroed bytes of EfiBootServicesData; null on failure.
VOID *AllocateZeroPool(UINTN Size);

/// Returns Buffer to the pool; a null Buffer is ignored.
void FreePool(VOID *Buffer);

/// Owns one pool block holding T (or an array of T).
template <typename T>
class PoolPtr {
 public:
  PoolPtr() = default;
  explicit PoolPtr(T *Pointer) : mPointer(Pointer) {}
  ~PoolPtr() { FreePool(mPointer); }

  PoolPtr(PoolPtr &&Other) noexcept : mPointer(Other.Release()) {}
  PoolPtr &operator=(PoolPtr &&Other) noexcept {
    if (this != &Other) {
      Reset(Other.Release());
    }
    return *this;
  }
  PoolPtr(const PoolPtr &) = delete;
  PoolPtr &operator=(const PoolPtr &) = delete;

  /// Allocates Count zeroed elements; the owner is empty on failure.
  [[nodiscard]] static PoolPtr AllocateZeroed(UINTN Count = 1) {
    if (Count > static_cast<UINTN>(-1) / sizeof(T)) {
      return PoolPtr();
    }
    return PoolPtr(static_cast<T *>(AllocateZeroPool(Count * sizeof(T))));
  }

  T *Get() const { return mPointer; }
  T *operator->() const { return mPointer; }
  T &operator[](UINTN Index) const { return mPointer[Index]; }
  explicit operator bool() const { return mPointer != nullptr; }

  /// Gives up ownership without releasing.
  [[nodiscard]] T *Release() {
    T *Pointer = mPointer;
    mPointer = nullptr;
    return Pointer;
  }

  /// Releases the block held and takes Pointer instead.
  void Reset(T *Pointer = nullptr) {
    T *Old = mPointer;
    mPointer = Pointer;
    FreePool(Old);
  }

  /// Address to pass as an out-parameter; whatever is written there is owned.
  T **Receive() {
    Reset();
    return &mPointer;
  }

 private:
  T *mPointer = nullptr;
};

/// Copies String (with its NUL) into a fresh pool block; null on failure.
[[nodiscard]] PoolPtr<CHAR8> AsciiStrDuplicate(const CHAR8 *String);
