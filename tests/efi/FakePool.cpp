#include "tests/efi/FakePool.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "core/BootServices.h"

EFI_BOOT_SERVICES *gBS = nullptr;

namespace {

FakePool *mCurrent = nullptr;

EFI_STATUS EFIAPI UnexpectedService() {
  ADD_FAILURE() << "the run-time called a boot service other than AllocatePool or FreePool";
  std::abort();
}

}  // namespace

FakePool::FakePool() : mSaved(gBS) {
  // Every slot after the header, whatever its type, leads to the failure.
  auto **Slots =
      reinterpret_cast<void **>(reinterpret_cast<char *>(&mTable) + sizeof(EFI_TABLE_HEADER));
  size_t SlotCount = (sizeof(mTable) - sizeof(EFI_TABLE_HEADER)) / sizeof(void *);
  for (size_t Index = 0; Index < SlotCount; Index++) {
    Slots[Index] = reinterpret_cast<void *>(&UnexpectedService);
  }
  mTable.AllocatePool = &FakePool::AllocatePool;
  mTable.FreePool = &FakePool::FreePool;
  mCurrent = this;
  gBS = &mTable;
}

FakePool::~FakePool() {
  for (auto &Entry : mLive) {
    std::free(const_cast<void *>(Entry.first));
  }
  gBS = mSaved;
  mCurrent = nullptr;
}

size_t FakePool::PoolSize(const void *Block) const {
  auto Found = mLive.find(Block);
  return Found == mLive.end() ? 0 : Found->second;
}

EFI_STATUS EFIAPI FakePool::AllocatePool(EFI_MEMORY_TYPE PoolType, UINTN Size, VOID **Buffer) {
  FakePool *Self = mCurrent;
  Self->mAllocations++;
  EXPECT_EQ(PoolType, EfiBootServicesData);
  if (Self->mAllocations == Self->mFailAt) {
    return EFI_OUT_OF_RESOURCES;
  }
  // Pool memory is 8-byte aligned and its content undefined: fill it so
  // that reads before writes show.
  void *Block = std::aligned_alloc(8, (Size + 7) / 8 * 8 + 8);
  std::memset(Block, 0xA5, Size);
  Self->mLive[Block] = Size;
  *Buffer = Block;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FakePool::FreePool(VOID *Buffer) {
  FakePool *Self = mCurrent;
  Self->mFrees++;
  auto Found = Self->mLive.find(Buffer);
  if (Found == Self->mLive.end()) {
    ADD_FAILURE() << "FreePool of a block the pool did not hand out";
    return EFI_INVALID_PARAMETER;
  }
  std::memset(Buffer, 0x5A, Found->second);
  std::free(Buffer);
  Self->mLive.erase(Found);
  return EFI_SUCCESS;
}
