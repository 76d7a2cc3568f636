// How the tables of the emulated machine get their entries. Each source file
// fills the slots of the services it implements.
#pragma once

#include "uefi/UefiTables.h"

/// The implemented boot services: pool and memory (PoolServices.cpp), TPL
/// and events (EventServices.cpp), handles and protocols
/// (ProtocolServices.cpp).
void FillPoolServices(EFI_BOOT_SERVICES &Table);
void FillEventServices(EFI_BOOT_SERVICES &Table);
void FillProtocolServices(EFI_BOOT_SERVICES &Table);

/// ResetSystem (Runtime.cpp).
void FillRuntimeServices(EFI_RUNTIME_SERVICES &Table);

/// Every service not implemented: a stub that records "unsupported boot
/// service <Name> called" (or runtime service) and returns EFI_UNSUPPORTED
/// (Unsupported.cpp).
void FillUnsupportedServices(EFI_BOOT_SERVICES &Boot, EFI_RUNTIME_SERVICES &Runtime);

/// Lays out the three tables afresh, headers and CRCs included (Tables.cpp).
void FillTables(EFI_SYSTEM_TABLE &System, EFI_BOOT_SERVICES &Boot, EFI_RUNTIME_SERVICES &Runtime);

/// The CRC-32 of the UEFI standard (IEEE 802.3 polynomial, reflected).
UINT32 Crc32(const VOID *Data, UINTN Size);
