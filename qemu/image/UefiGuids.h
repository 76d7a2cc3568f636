// The UEFI and PI GUIDs that only the platform image uses, each defined once
// in UefiGuids.cpp.
#pragma once

#include "uefi/Hob.h"
#include "uefi/LoadedImage.h"
#include "uefi/ProtocolGuid.h"
#include "uefi/ResetNotification.h"
#include "uefi/SimpleFileSystem.h"

extern EFI_GUID gEfiLoadedImageProtocolGuid;
extern EFI_GUID gEfiSimpleFileSystemProtocolGuid;
extern EFI_GUID gEfiFileInfoGuid;
extern EFI_GUID gEdkiiPlatformSpecificResetHandlerProtocolGuid;
extern EFI_GUID gEfiHobListGuid;
extern EFI_GUID gEfiHobMemoryAllocStackGuid;

/// EDK2's platform-specific reset handlers have the reset notification
/// protocol's shape; a record of their own binds their GUID.
struct EDKII_PLATFORM_SPECIFIC_RESET_HANDLER_PROTOCOL : EFI_RESET_NOTIFICATION_PROTOCOL {};

template <>
struct ProtocolGuid<EFI_LOADED_IMAGE_PROTOCOL> {
  static EFI_GUID *Get() { return &gEfiLoadedImageProtocolGuid; }
};

template <>
struct ProtocolGuid<EFI_SIMPLE_FILE_SYSTEM_PROTOCOL> {
  static EFI_GUID *Get() { return &gEfiSimpleFileSystemProtocolGuid; }
};

template <>
struct ProtocolGuid<EDKII_PLATFORM_SPECIFIC_RESET_HANDLER_PROTOCOL> {
  static EFI_GUID *Get() { return &gEdkiiPlatformSpecificResetHandlerProtocolGuid; }
};
