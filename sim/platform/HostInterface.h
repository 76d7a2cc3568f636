// The platform's Redfish Host Interface record, as SMBIOS carries it (type
// 42, DMTF DSP0270): a Network Host Interface of the virtio-net device with
// one "Redfish over IP" protocol record. The emulator publishes it in its
// SMBIOS table in network mode; the QEMU runner hands it to QEMU
// (-smbios file=), which passes it on to OVMF.
#pragma once

#include "uefi/UefiBaseType.h"

/// Room for the record, its string-set terminator and an end-of-table
/// structure.
constexpr UINTN HOST_INTERFACE_RECORD_SIZE = 128;

/// The record's handle: apart from the ones QEMU gives its own structures.
constexpr UINT16 HOST_INTERFACE_HANDLE = 0x2A00;

struct HOST_INTERFACE {
  UINT8 Service[4];  ///< the Redfish service's IPv4 address
  UINT16 Port;
  bool HostStatic;  ///< FALSE: the host takes its address by DHCP
  UINT8 Host[4];    ///< with HostStatic: the host's address and mask
  UINT8 Mask[4];
};

/// Writes the type-42 structure with its terminator into Out (Size bytes),
/// then an end-of-table structure (type 127) when EndOfTable. Returns the
/// length written; 0 when Size is too small.
UINTN BuildHostInterfaceRecord(const HOST_INTERFACE &Interface, bool EndOfTable, UINT8 *Out,
                               UINTN Size);
