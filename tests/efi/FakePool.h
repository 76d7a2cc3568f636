// A fake of the boot services for the run-time's allocator: AllocatePool and
// FreePool over the host heap, counted and checked, with the N-th
// allocation made to fail on request. Every other service fails the test.
#pragma once

#include <cstddef>
#include <map>

#include "uefi/UefiTables.h"

class FakePool {
 public:
  /// Points gBS at the fake for the lifetime of the object.
  FakePool();
  ~FakePool();
  FakePool(const FakePool &) = delete;
  FakePool &operator=(const FakePool &) = delete;

  /// Makes the allocation Count calls from now (1 = the next) fail with
  /// EFI_OUT_OF_RESOURCES.
  void FailAllocation(size_t Count) { mFailAt = mAllocations + Count; }

  /// AllocatePool calls so far, failed ones included.
  size_t Allocations() const { return mAllocations; }

  /// FreePool calls so far.
  size_t Frees() const { return mFrees; }

  /// Blocks allocated and not yet freed.
  size_t LiveBlocks() const { return mLive.size(); }

  /// Size requested for a live pool block; 0 when Block is not one.
  size_t PoolSize(const void *Block) const;

 private:
  static EFI_STATUS EFIAPI AllocatePool(EFI_MEMORY_TYPE PoolType, UINTN Size, VOID **Buffer);
  static EFI_STATUS EFIAPI FreePool(VOID *Buffer);

  EFI_BOOT_SERVICES mTable{};
  EFI_BOOT_SERVICES *mSaved;
  std::map<const void *, size_t> mLive;
  size_t mAllocations = 0;
  size_t mFrees = 0;
  size_t mFailAt = 0;
};
