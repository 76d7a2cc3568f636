#include "emulator/HostBoot.h"

#include "driver/Driver.h"
#include "emulator/Firmware.h"
#include "emulator/PlatformHooks.h"
#include "sim/platform/PlatformRunner.h"

namespace {

void *CJSON_CDECL PlatformJsonAllocate(size_t Size) {
  VOID *Buffer = nullptr;
  EFI_BOOT_SERVICES *BootServices = Firmware::Instance().BootServices();
  return EFI_ERROR(BootServices->AllocatePool(EfiBootServicesData, Size, &Buffer)) ? nullptr
                                                                                   : Buffer;
}

void CJSON_CDECL PlatformJsonFree(void *Buffer) {
  if (Buffer != nullptr) {
    (void)Firmware::Instance().BootServices()->FreePool(Buffer);
  }
}

}  // namespace

void InstallPlatformJsonAllocator() {
  cJSON_Hooks Hooks = {PlatformJsonAllocate, PlatformJsonFree};
  cJSON_InitHooks(&Hooks);
}

EFI_STATUS StartDriverOnHost(void *Context, EFI_SYSTEM_TABLE *SystemTable) {
  (void)Context;
  SideScope Driver(Side::Driver);
  return DriverEntry(reinterpret_cast<EFI_HANDLE>(0x1000), SystemTable);
}

void EmitReset(Trace &Log, EFI_RESET_TYPE Type, Side By) {
  cJSON *Event = Log.NewEvent("reset");
  if (Event != nullptr) {
    (void)TraceAddString(Event, "type", ResetTypeName(Type));
    (void)TraceAddString(Event, "by", By == Side::Driver ? "driver" : "platform");
    Log.Emit(Event);
  }
}

void EmitLeak(Trace &Log, const HeldMemory &Held) {
  cJSON *Event = Log.NewEvent("leak");
  if (Event != nullptr) {
    (void)TraceAddUint(Event, "blocks", Held.Blocks);
    (void)TraceAddUint(Event, "bytes", Held.Bytes);
    Log.Emit(Event);
  }
}
