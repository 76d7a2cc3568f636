// EFI_LOADED_IMAGE_PROTOCOL of the UEFI standard: what the firmware knows of
// a loaded image, among it the device the image was loaded from.
#pragma once

#include "uefi/UefiTables.h"

struct EFI_LOADED_IMAGE_PROTOCOL {
  UINT32 Revision;
  EFI_HANDLE ParentHandle;
  EFI_SYSTEM_TABLE *SystemTable;
  EFI_HANDLE DeviceHandle;  ///< the device the image was read from
  EFI_DEVICE_PATH_PROTOCOL *FilePath;
  VOID *Reserved;
  UINT32 LoadOptionsSize;
  VOID *LoadOptions;
  VOID *ImageBase;
  UINT64 ImageSize;
  EFI_MEMORY_TYPE ImageCodeType;
  EFI_MEMORY_TYPE ImageDataType;
  EFI_IMAGE_UNLOAD Unload;
};

static_assert(offsetof(EFI_LOADED_IMAGE_PROTOCOL, ParentHandle) == 8, "ParentHandle");
static_assert(offsetof(EFI_LOADED_IMAGE_PROTOCOL, DeviceHandle) == 24, "DeviceHandle");
static_assert(offsetof(EFI_LOADED_IMAGE_PROTOCOL, LoadOptionsSize) == 48, "LoadOptionsSize");
static_assert(offsetof(EFI_LOADED_IMAGE_PROTOCOL, ImageBase) == 64, "ImageBase");
static_assert(offsetof(EFI_LOADED_IMAGE_PROTOCOL, ImageCodeType) == 80, "ImageCodeType");
static_assert(offsetof(EFI_LOADED_IMAGE_PROTOCOL, Unload) == 88, "Unload");
static_assert(sizeof(EFI_LOADED_IMAGE_PROTOCOL) == 96, "EFI_LOADED_IMAGE_PROTOCOL size");

#define EFI_LOADED_IMAGE_PROTOCOL_GUID                                             \
  {                                                                                \
    0x5b1b31a1, 0x9562, 0x11d2, { 0x8e, 0x3f, 0x00, 0xa0, 0xc9, 0x69, 0x72, 0x3b } \
  }
