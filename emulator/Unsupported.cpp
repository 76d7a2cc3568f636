// The services the emulated machine does not implement. Each has its own
// entry, so that a call names the service in the problem log instead of
// jumping through a null slot, and returns EFI_UNSUPPORTED.
#include "emulator/Firmware.h"
#include "emulator/Services.h"

namespace {

EFI_STATUS Unsupported(const char *Kind, const char *Name) {
  Firmware::Instance().Problems().Record("unsupported %s service %s called", Kind, Name);
  return EFI_UNSUPPORTED;
}

#define UNSUPPORTED_BOOT_SERVICE(Name, ...) \
  EFI_STATUS EFIAPI Name(__VA_ARGS__) { return Unsupported("boot", #Name); }
#define UNSUPPORTED_RUNTIME_SERVICE(Name, ...) \
  EFI_STATUS EFIAPI Name(__VA_ARGS__) { return Unsupported("runtime", #Name); }

UNSUPPORTED_BOOT_SERVICE(AllocatePages, EFI_ALLOCATE_TYPE, EFI_MEMORY_TYPE, UINTN,
                         EFI_PHYSICAL_ADDRESS *)
UNSUPPORTED_BOOT_SERVICE(FreePages, EFI_PHYSICAL_ADDRESS, UINTN)
UNSUPPORTED_BOOT_SERVICE(GetMemoryMap, UINTN *, EFI_MEMORY_DESCRIPTOR *, UINTN *, UINTN *, UINT32 *)
UNSUPPORTED_BOOT_SERVICE(WaitForEvent, UINTN, EFI_EVENT *, UINTN *)
UNSUPPORTED_BOOT_SERVICE(ReinstallProtocolInterface, EFI_HANDLE, EFI_GUID *, VOID *, VOID *)
UNSUPPORTED_BOOT_SERVICE(LocateDevicePath, EFI_GUID *, EFI_DEVICE_PATH_PROTOCOL **, EFI_HANDLE *)
UNSUPPORTED_BOOT_SERVICE(LoadImage, BOOLEAN, EFI_HANDLE, EFI_DEVICE_PATH_PROTOCOL *, VOID *, UINTN,
                         EFI_HANDLE *)
UNSUPPORTED_BOOT_SERVICE(StartImage, EFI_HANDLE, UINTN *, CHAR16 **)
UNSUPPORTED_BOOT_SERVICE(Exit, EFI_HANDLE, EFI_STATUS, UINTN, CHAR16 *)
UNSUPPORTED_BOOT_SERVICE(UnloadImage, EFI_HANDLE)
UNSUPPORTED_BOOT_SERVICE(ExitBootServices, EFI_HANDLE, UINTN)
UNSUPPORTED_BOOT_SERVICE(GetNextMonotonicCount, UINT64 *)
UNSUPPORTED_BOOT_SERVICE(SetWatchdogTimer, UINTN, UINT64, UINTN, CHAR16 *)
UNSUPPORTED_BOOT_SERVICE(DisconnectController, EFI_HANDLE, EFI_HANDLE, EFI_HANDLE)
UNSUPPORTED_BOOT_SERVICE(CloseProtocol, EFI_HANDLE, EFI_GUID *, EFI_HANDLE, EFI_HANDLE)
UNSUPPORTED_BOOT_SERVICE(OpenProtocolInformation, EFI_HANDLE, EFI_GUID *,
                         EFI_OPEN_PROTOCOL_INFORMATION_ENTRY **, UINTN *)
UNSUPPORTED_BOOT_SERVICE(ProtocolsPerHandle, EFI_HANDLE, EFI_GUID ***, UINTN *)
UNSUPPORTED_BOOT_SERVICE(UninstallMultipleProtocolInterfaces, EFI_HANDLE, ...)

UNSUPPORTED_RUNTIME_SERVICE(GetTime, EFI_TIME *, EFI_TIME_CAPABILITIES *)
UNSUPPORTED_RUNTIME_SERVICE(SetTime, EFI_TIME *)
UNSUPPORTED_RUNTIME_SERVICE(GetWakeupTime, BOOLEAN *, BOOLEAN *, EFI_TIME *)
UNSUPPORTED_RUNTIME_SERVICE(SetWakeupTime, BOOLEAN, EFI_TIME *)
UNSUPPORTED_RUNTIME_SERVICE(SetVirtualAddressMap, UINTN, UINTN, UINT32, EFI_MEMORY_DESCRIPTOR *)
UNSUPPORTED_RUNTIME_SERVICE(ConvertPointer, UINTN, VOID **)
UNSUPPORTED_RUNTIME_SERVICE(GetNextVariableName, UINTN *, CHAR16 *, EFI_GUID *)
UNSUPPORTED_RUNTIME_SERVICE(SetVariable, CHAR16 *, EFI_GUID *, UINT32, UINTN, VOID *)
UNSUPPORTED_RUNTIME_SERVICE(GetNextHighMonotonicCount, UINT32 *)
UNSUPPORTED_RUNTIME_SERVICE(UpdateCapsule, EFI_CAPSULE_HEADER **, UINTN, EFI_PHYSICAL_ADDRESS)
UNSUPPORTED_RUNTIME_SERVICE(QueryCapsuleCapabilities, EFI_CAPSULE_HEADER **, UINTN, UINT64 *,
                            EFI_RESET_TYPE *)
UNSUPPORTED_RUNTIME_SERVICE(QueryVariableInfo, UINT32, UINT64 *, UINT64 *, UINT64 *)

#undef UNSUPPORTED_BOOT_SERVICE
#undef UNSUPPORTED_RUNTIME_SERVICE

}  // namespace

void FillUnsupportedServices(EFI_BOOT_SERVICES &Boot, EFI_RUNTIME_SERVICES &Runtime) {
  Boot.AllocatePages = AllocatePages;
  Boot.FreePages = FreePages;
  Boot.GetMemoryMap = GetMemoryMap;
  Boot.WaitForEvent = WaitForEvent;
  Boot.ReinstallProtocolInterface = ReinstallProtocolInterface;
  Boot.LocateDevicePath = LocateDevicePath;
  Boot.LoadImage = LoadImage;
  Boot.StartImage = StartImage;
  Boot.Exit = Exit;
  Boot.UnloadImage = UnloadImage;
  Boot.ExitBootServices = ExitBootServices;
  Boot.GetNextMonotonicCount = GetNextMonotonicCount;
  Boot.SetWatchdogTimer = SetWatchdogTimer;
  Boot.DisconnectController = DisconnectController;
  Boot.CloseProtocol = CloseProtocol;
  Boot.OpenProtocolInformation = OpenProtocolInformation;
  Boot.ProtocolsPerHandle = ProtocolsPerHandle;
  Boot.UninstallMultipleProtocolInterfaces = UninstallMultipleProtocolInterfaces;

  Runtime.GetTime = GetTime;
  Runtime.SetTime = SetTime;
  Runtime.GetWakeupTime = GetWakeupTime;
  Runtime.SetWakeupTime = SetWakeupTime;
  Runtime.SetVirtualAddressMap = SetVirtualAddressMap;
  Runtime.ConvertPointer = ConvertPointer;
  Runtime.GetNextVariableName = GetNextVariableName;
  Runtime.SetVariable = SetVariable;
  Runtime.GetNextHighMonotonicCount = GetNextHighMonotonicCount;
  Runtime.UpdateCapsule = UpdateCapsule;
  Runtime.QueryCapsuleCapabilities = QueryCapsuleCapabilities;
  Runtime.QueryVariableInfo = QueryVariableInfo;
}
