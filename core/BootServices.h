// The UEFI tables recorded at entry. Every part of the driver reaches UEFI
// through these three pointers and nothing else.
#pragma once

#include "uefi/UefiTables.h"

extern EFI_SYSTEM_TABLE *gST;
extern EFI_BOOT_SERVICES *gBS;
extern EFI_RUNTIME_SERVICES *gRT;
