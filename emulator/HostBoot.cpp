#include "emulator/HostBoot.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

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

bool ReadScenarioFile(const std::string &Path, std::string *Text, Scenario *Into) {
  std::ifstream File(Path, std::ios::binary);
  if (File) {
    Text->assign(std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
  }
  if (!File || File.bad()) {
    std::fprintf(stderr, "nvdimm-emu: %s: cannot be read\n", Path.c_str());
    return false;
  }
  CHAR8 Error[512] = {};
  if (!Into->Read(Text->data(), Text->size(), Error, sizeof(Error))) {
    std::fprintf(stderr, "nvdimm-emu: %s: %s\n", Path.c_str(), Error);
    return false;
  }
  return true;
}

bool ParseCount(const char *Text, uint64_t *Value) {
  char *End = nullptr;
  if (Text[0] < '0' || Text[0] > '9') {
    return false;
  }
  unsigned long long Parsed = std::strtoull(Text, &End, 10);
  if (*End != '\0') {
    return false;
  }
  *Value = Parsed;
  return true;
}
