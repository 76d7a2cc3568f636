#include "qemu/image/StackGauge.h"

#include "qemu/image/UefiGuids.h"

namespace {

constexpr UINT64 PAINT = 0x5AC4E57AC4E5A5C3ULL;

/// Room left unpainted below the stack pointer for the frames of the
/// painting itself and for an interrupt that comes meanwhile.
constexpr UINTN PAINT_MARGIN = 1024;

UINTN StackPointer() {
  UINTN Pointer;
  asm volatile("mov %%rsp, %0" : "=r"(Pointer));
  return Pointer;
}

const VOID *FindHobList(const EFI_SYSTEM_TABLE *SystemTable) {
  for (UINTN Index = 0; Index < SystemTable->NumberOfTableEntries; Index++) {
    const EFI_CONFIGURATION_TABLE &Entry = SystemTable->ConfigurationTable[Index];
    if (CompareGuid(Entry.VendorGuid, gEfiHobListGuid)) {
      return Entry.VendorTable;
    }
  }
  return nullptr;
}

}  // namespace

bool StackGauge::Locate(const EFI_SYSTEM_TABLE *SystemTable) {
  const auto *Hob = static_cast<const UINT8 *>(FindHobList(SystemTable));
  while (Hob != nullptr) {
    const auto *Header = reinterpret_cast<const EFI_HOB_GENERIC_HEADER *>(Hob);
    if (Header->HobType == EFI_HOB_TYPE_END_OF_HOB_LIST || Header->HobLength == 0) {
      break;
    }
    if (Header->HobType == EFI_HOB_TYPE_MEMORY_ALLOCATION &&
        Header->HobLength >= sizeof(EFI_HOB_MEMORY_ALLOCATION_STACK)) {
      const auto *Allocation = reinterpret_cast<const EFI_HOB_MEMORY_ALLOCATION_STACK *>(Hob);
      if (CompareGuid(Allocation->AllocDescriptor.Name, gEfiHobMemoryAllocStackGuid)) {
        UINTN Base = Allocation->AllocDescriptor.MemoryBaseAddress;
        UINTN Top = Base + Allocation->AllocDescriptor.MemoryLength;
        UINTN Pointer = StackPointer();
        if (Pointer <= Base || Pointer > Top) {
          return false;
        }
        mBase = Base;
        mTop = Top;
        return true;
      }
    }
    Hob += Header->HobLength;
  }
  return false;
}

UINTN StackGauge::Paint() {
  if (!Located()) {
    return 0;
  }
  UINTN Pointer = StackPointer();
  UINTN End = (Pointer - PAINT_MARGIN) & ~static_cast<UINTN>(7);
  // Volatile, so that the compiler neither drops the stores nor turns the
  // loop into a call whose frame would land in the painted range.
  for (auto *Word = reinterpret_cast<volatile UINT64 *>(mBase); reinterpret_cast<UINTN>(Word) < End;
       Word++) {
    *Word = PAINT;
  }
  return Pointer;
}

UINTN StackGauge::LowWater() const {
  if (!Located()) {
    return 0;
  }
  const auto *Word = reinterpret_cast<const volatile UINT64 *>(mBase);
  while (reinterpret_cast<UINTN>(Word) < mTop && *Word == PAINT) {
    Word++;
  }
  return reinterpret_cast<UINTN>(Word);
}
