// Handle and protocol boot services of the emulated machine. Installing a
// protocol runs the notifications it triggers before returning, unless the
// caller's TPL holds them back, as the DXE core does when it releases its
// protocol lock.
#include <string.h>

#include <vector>

#include "emulator/Firmware.h"
#include "emulator/Services.h"

namespace {

EFI_STATUS EFIAPI InstallProtocolInterface(EFI_HANDLE *Handle, EFI_GUID *Protocol,
                                           EFI_INTERFACE_TYPE InterfaceType, VOID *Interface) {
  Firmware &Machine = Firmware::Instance();
  const EFI_STATUS Status = Machine.Handles().Install(Handle, Protocol, InterfaceType, Interface);
  Machine.Events().DispatchPending();
  return Status;
}

EFI_STATUS EFIAPI UninstallProtocolInterface(EFI_HANDLE Handle, EFI_GUID *Protocol,
                                             VOID *Interface) {
  return Firmware::Instance().Handles().Uninstall(Handle, Protocol, Interface);
}

// Takes (EFI_GUID *, VOID *) pairs up to a null GUID. Either every interface
// is installed or none is; notifications run once all are in place.
EFI_STATUS EFIAPI InstallMultipleProtocolInterfaces(EFI_HANDLE *Handle, ...) {
  if (Handle == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  Firmware &Machine = Firmware::Instance();
  const EFI_TPL OldTpl = Machine.Events().Raise(TPL_NOTIFY);
  const EFI_HANDLE OldHandle = *Handle;
  EFI_STATUS Status = EFI_SUCCESS;
  UINTN Installed = 0;

  __builtin_ms_va_list Args;
  __builtin_ms_va_start(Args, Handle);
  for (;;) {
    EFI_GUID *Protocol = __builtin_va_arg(Args, EFI_GUID *);
    if (Protocol == nullptr) {
      break;
    }
    VOID *Interface = __builtin_va_arg(Args, VOID *);
    Status = Machine.Handles().Install(Handle, Protocol, EFI_NATIVE_INTERFACE, Interface);
    if (EFI_ERROR(Status)) {
      break;
    }
    Installed++;
  }
  __builtin_ms_va_end(Args);

  if (EFI_ERROR(Status)) {
    __builtin_ms_va_start(Args, Handle);
    for (UINTN Index = 0; Index < Installed; Index++) {
      EFI_GUID *Protocol = __builtin_va_arg(Args, EFI_GUID *);
      VOID *Interface = __builtin_va_arg(Args, VOID *);
      (void)Machine.Handles().Uninstall(*Handle, Protocol, Interface);
    }
    __builtin_ms_va_end(Args);
    *Handle = OldHandle;
  }
  Machine.Events().Restore(OldTpl);
  return Status;
}

EFI_STATUS EFIAPI OpenProtocol(EFI_HANDLE Handle, EFI_GUID *Protocol, VOID **Interface,
                               EFI_HANDLE /*AgentHandle*/, EFI_HANDLE /*ControllerHandle*/,
                               UINT32 Attributes) {
  return Firmware::Instance().Handles().Open(Handle, Protocol, Interface, Attributes);
}

EFI_STATUS EFIAPI HandleProtocol(EFI_HANDLE Handle, EFI_GUID *Protocol, VOID **Interface) {
  return Firmware::Instance().Handles().Open(Handle, Protocol, Interface, OPEN_BY_HANDLE_PROTOCOL);
}

EFI_STATUS EFIAPI RegisterProtocolNotify(EFI_GUID *Protocol, EFI_EVENT Event, VOID **Registration) {
  return Firmware::Instance().Handles().RegisterNotify(Protocol, Event, Registration);
}

EFI_STATUS EFIAPI LocateHandle(EFI_LOCATE_SEARCH_TYPE SearchType, EFI_GUID *Protocol,
                               VOID *SearchKey, UINTN *BufferSize, EFI_HANDLE *Buffer) {
  if (BufferSize == nullptr || (*BufferSize > 0 && Buffer == nullptr)) {
    return EFI_INVALID_PARAMETER;
  }
  HandleDatabase &Handles = Firmware::Instance().Handles();
  std::vector<EFI_HANDLE> Found;
  const EFI_STATUS Status = Handles.Search(SearchType, Protocol, SearchKey, Found);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  // Like the DXE core, fill in what fits even when the buffer is too small.
  const UINTN Fits = *BufferSize / sizeof(EFI_HANDLE);
  for (UINTN Index = 0; Index < Found.size() && Index < Fits; Index++) {
    Buffer[Index] = Found[Index];
  }
  const UINTN Needed = Found.size() * sizeof(EFI_HANDLE);
  const bool TooSmall = Needed > *BufferSize;
  *BufferSize = Needed;
  if (TooSmall) {
    return EFI_BUFFER_TOO_SMALL;
  }
  if (SearchType == ByRegisterNotify) {
    Handles.Consume(SearchKey);
  }
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI LocateHandleBuffer(EFI_LOCATE_SEARCH_TYPE SearchType, EFI_GUID *Protocol,
                                     VOID *SearchKey, UINTN *NoHandles, EFI_HANDLE **Buffer) {
  if (Buffer == nullptr || NoHandles == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  *NoHandles = 0;
  *Buffer = nullptr;
  Firmware &Machine = Firmware::Instance();
  std::vector<EFI_HANDLE> Found;
  EFI_STATUS Status = Machine.Handles().Search(SearchType, Protocol, SearchKey, Found);
  if (EFI_ERROR(Status)) {
    return Status == EFI_INVALID_PARAMETER ? Status : EFI_NOT_FOUND;
  }
  // The buffer is the caller's allocation: charged to its side, and subject
  // to failure injection like any other.
  VOID *Block = nullptr;
  Status = Machine.Pool().Allocate(EfiBootServicesData, Found.size() * sizeof(EFI_HANDLE), &Block,
                                   Machine.CurrentSide());
  if (EFI_ERROR(Status)) {
    return EFI_OUT_OF_RESOURCES;
  }
  memcpy(Block, Found.data(), Found.size() * sizeof(EFI_HANDLE));
  if (SearchType == ByRegisterNotify) {
    Machine.Handles().Consume(SearchKey);
  }
  *Buffer = static_cast<EFI_HANDLE *>(Block);
  *NoHandles = Found.size();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI LocateProtocol(EFI_GUID *Protocol, VOID *Registration, VOID **Interface) {
  return Firmware::Instance().Handles().LocateProtocol(Protocol, Registration, Interface);
}

}  // namespace

EFI_STATUS EFIAPI ConnectController(EFI_HANDLE ControllerHandle, EFI_HANDLE *DriverImageHandle,
                                    EFI_DEVICE_PATH_PROTOCOL *RemainingDevicePath,
                                    BOOLEAN Recursive) {
  (void)DriverImageHandle;
  (void)RemainingDevicePath;
  (void)Recursive;
  // The only driver of the machine is its network's.
  return Firmware::Instance().Network().Connect(ControllerHandle);
}

EFI_STATUS EFIAPI InstallConfigurationTable(EFI_GUID *Guid, VOID *Table) {
  return Firmware::Instance().InstallConfigurationTable(Guid, Table);
}

void FillProtocolServices(EFI_BOOT_SERVICES &Table) {
  Table.ConnectController = ConnectController;
  Table.InstallConfigurationTable = InstallConfigurationTable;
  Table.InstallProtocolInterface = InstallProtocolInterface;
  Table.UninstallProtocolInterface = UninstallProtocolInterface;
  Table.InstallMultipleProtocolInterfaces = InstallMultipleProtocolInterfaces;
  Table.OpenProtocol = OpenProtocol;
  Table.HandleProtocol = HandleProtocol;
  Table.RegisterProtocolNotify = RegisterProtocolNotify;
  Table.LocateHandle = LocateHandle;
  Table.LocateHandleBuffer = LocateHandleBuffer;
  Table.LocateProtocol = LocateProtocol;
}
