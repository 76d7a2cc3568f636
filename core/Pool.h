// Boot-services pool memory: allocation, release, and the owner of a block
// (PoolPtr), which releases it with FreePool when it goes out of scope.
#pragma once

#include "core/BootServices.h"
#include "core/Memory.h"
#include "core/Owner.h"

/// Allocates Size zeroed bytes of EfiBootServicesData; null on failure.
VOID *AllocateZeroPool(UINTN Size);

/// Returns Buffer to the pool; a null Buffer is ignored.
void FreePool(VOID *Buffer);

/// Release policy of the boot-services pool: FreePool, and AllocateZeroPool.
struct PoolPolicy {
  template <typename T>
  static void Release(T *Pointer) {
    FreePool(const_cast<VOID *>(static_cast<const VOID *>(Pointer)));
  }
  static constexpr bool RELEASES_NULL = true;
  static VOID *Allocate(UINTN Size) { return AllocateZeroPool(Size); }
};

/// Owns one pool block holding T (or an array of T).
template <typename T>
using PoolPtr = Owner<T, PoolPolicy>;

/// Copies String (with its NUL) into a fresh pool block; null on failure.
[[nodiscard]] PoolPtr<CHAR8> AsciiStrDuplicate(const CHAR8 *String);
