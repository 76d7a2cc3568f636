#include "qemu/image/UefiGuids.h"

EFI_GUID gEfiLoadedImageProtocolGuid = EFI_LOADED_IMAGE_PROTOCOL_GUID;
EFI_GUID gEfiSimpleFileSystemProtocolGuid = EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_GUID;
EFI_GUID gEfiFileInfoGuid = EFI_FILE_INFO_ID;
// EDK2's platform-specific reset handlers, called after the reset notifications.
EFI_GUID gEdkiiPlatformSpecificResetHandlerProtocolGuid = {
    0x2df6ba0b, 0x7092, 0x440d, {0xbd, 0x04, 0xfb, 0x09, 0x1e, 0xc3, 0xf3, 0xc1}};
EFI_GUID gEfiHobListGuid = EFI_HOB_LIST_GUID;
EFI_GUID gEfiHobMemoryAllocStackGuid = EFI_HOB_MEMORY_ALLOC_STACK_GUID;
