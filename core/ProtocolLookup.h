// Typed protocol lookups through the recorded boot services: the GUID comes
// from the record's type (uefi/ProtocolGuid.h), and the interface comes back
// as that type. A producer that reports success without an interface has
// none to offer: that is EFI_NOT_FOUND here.
#pragma once

#include "core/BootServices.h"
#include "uefi/ProtocolGuid.h"

/// LocateProtocol for T: the first instance installed. The interface stays
/// its producer's. EFI_NOT_FOUND also when the service reports success
/// without an interface.
template <typename T>
[[nodiscard]] inline __attribute__((always_inline)) EFI_STATUS LocateProtocol(T **Interface) {
  EFI_STATUS Status =
      gBS->LocateProtocol(ProtocolGuid<T>::Get(), nullptr, reinterpret_cast<VOID **>(Interface));
  if (!EFI_ERROR(Status) && *Interface == nullptr) {
    return EFI_NOT_FOUND;
  }
  return Status;
}

/// HandleProtocol for T on Handle: the service's status, and in *Interface
/// whatever the producer handed back, null included.
template <typename T>
[[nodiscard]] inline __attribute__((always_inline)) EFI_STATUS HandleProtocol(EFI_HANDLE Handle,
                                                                              T **Interface) {
  return gBS->HandleProtocol(Handle, ProtocolGuid<T>::Get(), reinterpret_cast<VOID **>(Interface));
}
