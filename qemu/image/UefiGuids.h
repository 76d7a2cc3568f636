// The UEFI and PI GUIDs that only the platform image uses, each defined once
// in UefiGuids.cpp.
#pragma once

#include "uefi/Hob.h"
#include "uefi/LoadedImage.h"
#include "uefi/ResetNotification.h"
#include "uefi/SimpleFileSystem.h"

extern EFI_GUID gEfiLoadedImageProtocolGuid;
extern EFI_GUID gEfiSimpleFileSystemProtocolGuid;
extern EFI_GUID gEfiFileInfoGuid;
extern EFI_GUID gEdkiiPlatformSpecificResetHandlerProtocolGuid;
extern EFI_GUID gEfiHobListGuid;
extern EFI_GUID gEfiHobMemoryAllocStackGuid;
