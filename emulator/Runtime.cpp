// The runtime services the emulated machine implements: ResetSystem.
#include "emulator/Firmware.h"
#include "emulator/Services.h"

namespace {

VOID EFIAPI ResetSystem(EFI_RESET_TYPE ResetType, EFI_STATUS /*ResetStatus*/, UINTN /*DataSize*/,
                        VOID * /*ResetData*/) {
  Firmware::Instance().ResetSystem(ResetType);
}

}  // namespace

void FillRuntimeServices(EFI_RUNTIME_SERVICES &Table) { Table.ResetSystem = ResetSystem; }
