#include "emulator/Pool.h"

#include <stdlib.h>
#include <string.h>

namespace {

constexpr UINT32 OEM_POOL_TYPE_FIRST = 0x70000000;

/// Host bytes behind a block of Size bytes: the block, then at least
/// GUARD_SIZE guard bytes, rounded up to the alignment.
UINTN HostSize(UINTN Size) {
  const UINTN Align = EmulatedPool::BLOCK_ALIGNMENT;
  return (Size + EmulatedPool::GUARD_SIZE + Align - 1) / Align * Align;
}

bool IsPoolType(EFI_MEMORY_TYPE PoolType) {
  const UINT32 Type = PoolType;
  if (Type >= EfiMaxMemoryType && Type < OEM_POOL_TYPE_FIRST) {
    return false;
  }
  // Free memory is not a type anything can be allocated as.
  return Type != EfiConventionalMemory && Type != EfiPersistentMemory &&
         Type != EfiUnacceptedMemoryType;
}

}  // namespace

EmulatedPool::~EmulatedPool() { PowerOn(); }

void EmulatedPool::PowerOn() {
  for (auto &Entry : mLive) {
    free(Entry.first);
  }
  for (const Freed &Entry : mQuarantine) {
    free(Entry.Address);
  }
  mLive.clear();
  mQuarantine.clear();
  mQuarantined.clear();
  mQuarantineBytes = 0;
  mNextSerial = 1;
  mDriverAllocations = 0;
  mFailAt = 0;
  mBoot = 0;
  mContextSerial = 0;
  mDriverBytes = 0;
  mDriverPeakBytes = 0;
}

void EmulatedPool::BeginBoot(UINT32 Boot) {
  // The driver's and the REST producer's blocks of the last boot: both were
  // images of that boot, gone with it.
  for (auto It = mLive.begin(); It != mLive.end();) {
    if (It->second.Owner == Side::Driver || It->second.Owner == Side::Producer) {
      if (It->second.Owner == Side::Driver) {
        mDriverBytes -= It->second.Size;
      }
      CheckGuard(It->first, It->second);
      Quarantine(It->first, It->second);
      It = mLive.erase(It);
    } else {
      ++It;
    }
  }
  mBoot = Boot;
  mContextSerial = 0;
  mDriverPeakBytes = mDriverBytes;
}

EFI_STATUS EmulatedPool::Allocate(EFI_MEMORY_TYPE PoolType, UINTN Size, VOID **Buffer, Side By) {
  if (!IsPoolType(PoolType)) {
    return EFI_INVALID_PARAMETER;
  }
  if (Buffer == nullptr) {
    mProblems.Record("pool: AllocatePool with a null Buffer by the %s", SideName(By));
    return EFI_INVALID_PARAMETER;
  }
  *Buffer = nullptr;
  if (By == Side::Driver) {
    mDriverAllocations++;
    if (mDriverAllocations == mFailAt) {
      return EFI_OUT_OF_RESOURCES;
    }
  }
  if (Size > MAX_BLOCK_SIZE) {
    return EFI_OUT_OF_RESOURCES;
  }
  const UINTN Total = HostSize(Size);
  auto *Address = static_cast<UINT8 *>(aligned_alloc(BLOCK_ALIGNMENT, Total));
  if (Address == nullptr) {
    return EFI_OUT_OF_RESOURCES;
  }
  // Pool memory is not zeroed in firmware either; a fixed fill makes reads of
  // uninitialised bytes repeatable.
  memset(Address, FRESH_FILL, Size);
  memset(Address + Size, GUARD_FILL, Total - Size);
  const UINT64 Serial = mNextSerial++;
  mLive[Address] = Block{Size, Serial, By, mBoot};
  if (By == Side::Driver) {
    ChargeDriver(Size);
    if (mContextSerial == 0) {
      mContextSerial = Serial;
    }
  }
  *Buffer = Address;
  return EFI_SUCCESS;
}

EFI_STATUS EmulatedPool::Free(VOID *Buffer, Side By) {
  if (Buffer == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  auto It = mLive.find(Buffer);
  if (It == mLive.end()) {
    auto Old = mQuarantined.find(Buffer);
    if (Old != mQuarantined.end()) {
      mProblems.Record("pool: FreePool of block #%llu, already freed, by the %s",
                       static_cast<unsigned long long>(Old->second), SideName(By));
    } else {
      mProblems.Record("pool: FreePool of unknown pointer %p by the %s", Buffer, SideName(By));
    }
    return EFI_INVALID_PARAMETER;
  }
  const Block Record = It->second;
  mLive.erase(It);
  if (Record.Owner == Side::Driver) {
    mDriverBytes -= Record.Size;
  }
  CheckGuard(Buffer, Record);
  Quarantine(Buffer, Record);
  return EFI_SUCCESS;
}

void EmulatedPool::HandOver(VOID *Address) {
  auto It = mLive.find(Address);
  if (It == mLive.end()) {
    mProblems.Record("pool: HandOver of unknown pointer %p", Address);
    return;
  }
  if (It->second.Owner == Side::Driver) {
    mProblems.Record("pool: HandOver of block #%llu, which the driver already holds",
                     static_cast<unsigned long long>(It->second.Serial));
    return;
  }
  It->second.Owner = Side::Driver;
  It->second.Boot = mBoot;
  ChargeDriver(It->second.Size);
}

HeldMemory EmulatedPool::DriverHeld() const {
  HeldMemory Held;
  for (const auto &Entry : mLive) {
    const Block &Record = Entry.second;
    if (Record.Owner == Side::Driver && Record.Serial != mContextSerial) {
      Held.Blocks++;
      Held.Bytes += Record.Size;
    }
  }
  return Held;
}

HeldMemory EmulatedPool::Held(Side Which) const {
  HeldMemory Held;
  for (const auto &Entry : mLive) {
    if (Entry.second.Owner == Which) {
      Held.Blocks++;
      Held.Bytes += Entry.second.Size;
    }
  }
  return Held;
}

void EmulatedPool::SetQuarantineLimit(UINTN Bytes) {
  mQuarantineLimit = Bytes;
  TrimQuarantine();
}

void EmulatedPool::ChargeDriver(UINTN Size) {
  mDriverBytes += Size;
  if (mDriverBytes > mDriverPeakBytes) {
    mDriverPeakBytes = mDriverBytes;
  }
}

void EmulatedPool::CheckGuard(VOID *Address, const Block &Record) {
  const auto *Bytes = static_cast<const UINT8 *>(Address);
  const UINTN Total = HostSize(Record.Size);
  for (UINTN Index = Record.Size; Index < Total; Index++) {
    if (Bytes[Index] != GUARD_FILL) {
      mProblems.Record("pool: block #%llu (%llu bytes, %s) was written past its end",
                       static_cast<unsigned long long>(Record.Serial),
                       static_cast<unsigned long long>(Record.Size), SideName(Record.Owner));
      return;
    }
  }
}

void EmulatedPool::Quarantine(VOID *Address, const Block &Record) {
  const UINTN Total = HostSize(Record.Size);
  memset(Address, POISON_FILL, Total);
  mQuarantine.push_back(Freed{Address, Total, Record.Serial});
  mQuarantined[Address] = Record.Serial;
  mQuarantineBytes += Total;
  TrimQuarantine();
}

void EmulatedPool::TrimQuarantine() {
  while (mQuarantineBytes > mQuarantineLimit && !mQuarantine.empty()) {
    const Freed Oldest = mQuarantine.front();
    mQuarantine.pop_front();
    mQuarantined.erase(Oldest.Address);
    mQuarantineBytes -= Oldest.Size;
    free(Oldest.Address);
  }
}
