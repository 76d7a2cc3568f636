#include "core/Json.h"

#include "core/BootServices.h"

namespace {

bool mJsonAllocationFailed = false;

void *CJSON_CDECL JsonAllocate(size_t Size) {
  VOID *Buffer = nullptr;
  if (EFI_ERROR(gBS->AllocatePool(EfiBootServicesData, Size, &Buffer))) {
    mJsonAllocationFailed = true;
    return nullptr;
  }
  return Buffer;
}

void CJSON_CDECL JsonFree(void *Buffer) {
  if (Buffer != nullptr) {
    (void)gBS->FreePool(Buffer);
  }
}

}  // namespace

void InstallJsonAllocator() {
  cJSON_Hooks Hooks = {JsonAllocate, JsonFree};
  cJSON_InitHooks(&Hooks);
}

void ClearJsonAllocationFailure() { mJsonAllocationFailed = false; }

bool JsonAllocationFailed() { return mJsonAllocationFailed; }
