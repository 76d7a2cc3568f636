// The system table, boot-services table and runtime-services table of the
// emulated machine, laid out as firmware hands them to an image.
#include <string.h>

#include "emulator/Services.h"

namespace {

constexpr UINT32 mUefiRevision = (2 << 16) | 70;  // UEFI 2.7
constexpr UINT32 mFirmwareRevision = 0x00010000;
CHAR16 mFirmwareVendor[] = u"nvdimm-emu";

template <typename TABLE>
void SetHeader(TABLE &Table, UINT64 Signature) {
  Table.Hdr.Signature = Signature;
  Table.Hdr.Revision = mUefiRevision;
  Table.Hdr.HeaderSize = sizeof(TABLE);
  Table.Hdr.CRC32 = 0;
  Table.Hdr.Reserved = 0;
}

// The CRC covers the whole table with its own CRC field zero.
template <typename TABLE>
void Seal(TABLE &Table) {
  Table.Hdr.CRC32 = 0;
  Table.Hdr.CRC32 = Crc32(&Table, sizeof(TABLE));
}

}  // namespace

UINT32 Crc32(const VOID *Data, UINTN Size) {
  const auto *Bytes = static_cast<const UINT8 *>(Data);
  UINT32 Crc = 0xFFFFFFFFU;
  for (UINTN Index = 0; Index < Size; Index++) {
    Crc ^= Bytes[Index];
    for (int Bit = 0; Bit < 8; Bit++) {
      Crc = (Crc >> 1) ^ (0xEDB88320U & (0U - (Crc & 1U)));
    }
  }
  return ~Crc;
}

void FillTables(EFI_SYSTEM_TABLE &System, EFI_BOOT_SERVICES &Boot, EFI_RUNTIME_SERVICES &Runtime) {
  memset(&System, 0, sizeof(System));
  memset(&Boot, 0, sizeof(Boot));
  memset(&Runtime, 0, sizeof(Runtime));

  SetHeader(Boot, EFI_BOOT_SERVICES_SIGNATURE);
  FillPoolServices(Boot);
  FillEventServices(Boot);
  FillProtocolServices(Boot);

  SetHeader(Runtime, EFI_RUNTIME_SERVICES_SIGNATURE);
  FillRuntimeServices(Runtime);
  FillUnsupportedServices(Boot, Runtime);

  SetHeader(System, EFI_SYSTEM_TABLE_SIGNATURE);
  System.FirmwareVendor = mFirmwareVendor;
  System.FirmwareRevision = mFirmwareRevision;
  System.RuntimeServices = &Runtime;
  System.BootServices = &Boot;

  Seal(Boot);
  Seal(Runtime);
  Seal(System);
}
