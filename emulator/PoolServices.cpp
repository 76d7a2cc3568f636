// Pool and memory boot services of the emulated machine.
#include <string.h>

#include "emulator/Firmware.h"
#include "emulator/Services.h"

namespace {

EFI_STATUS EFIAPI AllocatePool(EFI_MEMORY_TYPE PoolType, UINTN Size, VOID **Buffer) {
  Firmware &Machine = Firmware::Instance();
  return Machine.Pool().Allocate(PoolType, Size, Buffer, Machine.CurrentSide());
}

EFI_STATUS EFIAPI FreePool(VOID *Buffer) {
  Firmware &Machine = Firmware::Instance();
  return Machine.Pool().Free(Buffer, Machine.CurrentSide());
}

EFI_STATUS EFIAPI CalculateCrc32(VOID *Data, UINTN DataSize, UINT32 *Crc32Out) {
  if (Data == nullptr || DataSize == 0 || Crc32Out == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  *Crc32Out = Crc32(Data, DataSize);
  return EFI_SUCCESS;
}

// The standard allows overlapping ranges.
VOID EFIAPI CopyMem(VOID *Destination, VOID *Source, UINTN Length) {
  memmove(Destination, Source, Length);
}

VOID EFIAPI SetMem(VOID *Buffer, UINTN Size, UINT8 Value) { memset(Buffer, Value, Size); }

}  // namespace

void FillPoolServices(EFI_BOOT_SERVICES &Table) {
  Table.AllocatePool = AllocatePool;
  Table.FreePool = FreePool;
  Table.CalculateCrc32 = CalculateCrc32;
  Table.CopyMem = CopyMem;
  Table.SetMem = SetMem;
}
