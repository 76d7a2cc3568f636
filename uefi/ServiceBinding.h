// The UEFI standard's service binding: how a network driver's children (one
// HTTP instance, one TCP instance, ...) are made and destroyed.
#pragma once

#include "uefi/UefiBaseType.h"

struct EFI_SERVICE_BINDING_PROTOCOL;

/// Makes a child: installs the service's protocol on *ChildHandle (a new
/// handle when it is null).
using EFI_SERVICE_BINDING_CREATE_CHILD = EFI_STATUS(EFIAPI *)(EFI_SERVICE_BINDING_PROTOCOL *This,
                                                              EFI_HANDLE *ChildHandle);

/// Destroys a child CreateChild made.
using EFI_SERVICE_BINDING_DESTROY_CHILD = EFI_STATUS(EFIAPI *)(EFI_SERVICE_BINDING_PROTOCOL *This,
                                                               EFI_HANDLE ChildHandle);

struct EFI_SERVICE_BINDING_PROTOCOL {
  EFI_SERVICE_BINDING_CREATE_CHILD CreateChild;
  EFI_SERVICE_BINDING_DESTROY_CHILD DestroyChild;
};
static_assert(sizeof(EFI_SERVICE_BINDING_PROTOCOL) == 16, "EFI_SERVICE_BINDING_PROTOCOL size");

/// The simple network protocol marks a network interface, the PCI I/O
/// protocol a PCI device; only their GUIDs are used (to find the devices to
/// connect).
#define EFI_PCI_IO_PROTOCOL_GUID                                                   \
  {                                                                                \
    0x4cf5b200, 0x68b8, 0x4ca5, { 0x9e, 0xec, 0xb2, 0x3e, 0x3f, 0x50, 0x02, 0x9a } \
  }
#define EFI_SIMPLE_NETWORK_PROTOCOL_GUID                                           \
  {                                                                                \
    0xa19832b9, 0xac25, 0x11d3, { 0x9a, 0x2d, 0x00, 0x90, 0x27, 0x3f, 0xc1, 0x4d } \
  }
