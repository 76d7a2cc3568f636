// The runtime services the emulated machine implements: ResetSystem and
// GetVariable (of the variables the runner set).
#include "emulator/Firmware.h"
#include "emulator/Services.h"

namespace {

VOID EFIAPI ResetSystem(EFI_RESET_TYPE ResetType, EFI_STATUS /*ResetStatus*/, UINTN /*DataSize*/,
                        VOID * /*ResetData*/) {
  Firmware::Instance().ResetSystem(ResetType);
}

EFI_STATUS EFIAPI GetVariable(CHAR16 *Name, EFI_GUID *Guid, UINT32 *Attributes, UINTN *DataSize,
                              VOID *Data) {
  return Firmware::Instance().GetVariable(Name, Guid, Attributes, DataSize, Data);
}

}  // namespace

void FillRuntimeServices(EFI_RUNTIME_SERVICES &Table) {
  Table.ResetSystem = ResetSystem;
  Table.GetVariable = GetVariable;
}
