#include "core/BootServices.h"

// Each image that links this file records its own tables at entry: the
// driver in DriverEntry, the REST producer in its entry.
EFI_SYSTEM_TABLE *gST = nullptr;
EFI_BOOT_SERVICES *gBS = nullptr;
EFI_RUNTIME_SERVICES *gRT = nullptr;
