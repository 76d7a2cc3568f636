#include "core/Pool.h"

VOID *AllocateZeroPool(UINTN Size) {
  VOID *Buffer = nullptr;
  if (EFI_ERROR(gBS->AllocatePool(EfiBootServicesData, Size, &Buffer)) || Buffer == nullptr) {
    return nullptr;
  }
  ZeroMem(Buffer, Size);
  return Buffer;
}

void FreePool(VOID *Buffer) {
  if (Buffer != nullptr) {
    (void)gBS->FreePool(Buffer);
  }
}

PoolPtr<CHAR8> AsciiStrDuplicate(const CHAR8 *String) {
  UINTN Size = AsciiStrLen(String) + 1;
  auto Copy = PoolPtr<CHAR8>::AllocateZeroed(Size);
  if (Copy) {
    CopyMem(Copy.Get(), String, Size);
  }
  return Copy;
}
