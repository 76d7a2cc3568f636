#include "producer/ServiceLocation.h"

#include "core/Memory.h"
#include "platform/Guids.h"
#include "producer/ProducerText.h"

const CHAR16 SERVICE_VARIABLE_NAME[] = u"NvdimmRedfishService";
const CHAR16 CREDENTIALS_VARIABLE_NAME[] = u"NvdimmRedfishCredentials";

/// The configuration built into the image, for a platform that has neither
/// a Redfish Host Interface record nor the variables. An integrator patches
/// the two texts in the binary (edk2/patch-rest-producer.py finds them by
/// the marker); not const, so that no read of them is folded away.
struct PRODUCER_BUILT_IN {
  CHAR8 Marker[32];
  CHAR8 Service[128];
  CHAR8 Credentials[SERVICE_CREDENTIALS_SIZE];
};
extern "C" PRODUCER_BUILT_IN gRestProducerBuiltIn;
PRODUCER_BUILT_IN gRestProducerBuiltIn = {"NvdimmRestProducer built-in v1", "", ""};

namespace {

constexpr UINT8 SMBIOS_TYPE_HOST_INTERFACE = 42;
constexpr UINT8 SMBIOS_TYPE_END_OF_TABLE = 127;
constexpr UINT8 NETWORK_HOST_INTERFACE = 0x40;
constexpr UINT8 PROTOCOL_REDFISH_OVER_IP = 0x04;
constexpr UINT8 ADDRESS_STATIC = 1;
constexpr UINT8 FORMAT_IPV4 = 1;
/// The Redfish-over-IP protocol data up to and with its hostname length.
constexpr UINTN REDFISH_OVER_IP_SIZE = 91;
constexpr UINTN VARIABLE_SIZE = 256;

UINT16 Read16(const UINT8 *Bytes) {
  return static_cast<UINT16>(Bytes[0] | (static_cast<UINT16>(Bytes[1]) << 8));
}

UINT32 Read32(const UINT8 *Bytes) {
  return static_cast<UINT32>(Read16(Bytes)) | (static_cast<UINT32>(Read16(Bytes + 2)) << 16);
}

UINT64 Read64(const UINT8 *Bytes) {
  return static_cast<UINT64>(Read32(Bytes)) | (static_cast<UINT64>(Read32(Bytes + 4)) << 32);
}

void CopyAddress(EFI_IPv4_ADDRESS *To, const UINT8 *From) {
  for (UINTN Index = 0; Index < 4; Index++) {
    To->Addr[Index] = From[Index];
  }
}

/// Fills the authority text from the service's address and port.
void SetAuthority(REDFISH_SERVICE_LOCATION *Location) {
  TEXT_BUILDER Text(Location->Authority, sizeof(Location->Authority));
  for (UINTN Index = 0; Index < 4; Index++) {
    if (Index != 0) {
      Text.Add(".");
    }
    Text.AddDecimal(Location->Service.Addr[Index]);
  }
  Text.Add(":");
  Text.AddDecimal(Location->Port);
}

/// One Redfish-over-IP protocol record's data (Length bytes).
bool ReadRedfishOverIp(const UINT8 *Data, UINTN Length, REDFISH_SERVICE_LOCATION *Location) {
  if (Length < REDFISH_OVER_IP_SIZE) {
    return false;
  }
  const UINT8 HostAssignment = Data[16];
  const UINT8 HostFormat = Data[17];
  const UINT8 ServiceDiscovery = Data[50];
  const UINT8 ServiceFormat = Data[51];
  // The service's address must be given, as IPv4: one discovered by DHCP or
  // mDNS is not supported.
  if (ServiceFormat != FORMAT_IPV4 || ServiceDiscovery != ADDRESS_STATIC) {
    return false;
  }
  ZeroMem(Location, sizeof(*Location));
  Location->TimeoutMs = DEFAULT_EXCHANGE_TIMEOUT_MS;
  CopyAddress(&Location->Service, Data + 52);
  Location->Port = Read16(Data + 84);
  if (Location->Port == 0) {
    Location->Port = 80;
  }
  Location->HostAddressByDefault =
      HostAssignment != ADDRESS_STATIC || HostFormat != FORMAT_IPV4 ? TRUE : FALSE;
  if (!Location->HostAddressByDefault) {
    CopyAddress(&Location->HostAddress, Data + 18);
    CopyAddress(&Location->HostSubnet, Data + 34);
  }
  Location->Source = LOCATION_SOURCE::Smbios;
  SetAuthority(Location);
  return true;
}

/// One type-42 structure's formatted area (Length bytes, header included).
bool ReadHostInterface(const UINT8 *Structure, UINTN Length, REDFISH_SERVICE_LOCATION *Location) {
  if (Length < 7 || Structure[4] != NETWORK_HOST_INTERFACE) {
    return false;
  }
  UINTN Offset = 6 + static_cast<UINTN>(Structure[5]);
  if (Offset >= Length) {
    return false;
  }
  UINTN Records = Structure[Offset++];
  for (UINTN Record = 0; Record < Records && Offset + 2 <= Length; Record++) {
    UINT8 Protocol = Structure[Offset];
    UINTN DataLength = Structure[Offset + 1];
    Offset += 2;
    if (Offset + DataLength > Length) {
      return false;
    }
    if (Protocol == PROTOCOL_REDFISH_OVER_IP &&
        ReadRedfishOverIp(Structure + Offset, DataLength, Location)) {
      return true;
    }
    Offset += DataLength;
  }
  return false;
}

/// The SMBIOS 3.0 or 2.1 entry point's structure table: its address and
/// length. FALSE for an entry point that does not read.
bool SmbiosTable(const UINT8 *EntryPoint, bool Version3, const UINT8 **Table, UINTN *Length) {
  static constexpr CHAR8 ANCHOR3[] = "_SM3_";
  static constexpr CHAR8 ANCHOR2[] = "_SM_";
  const CHAR8 *Anchor = Version3 ? ANCHOR3 : ANCHOR2;
  for (UINTN Index = 0; Anchor[Index] != '\0'; Index++) {
    if (EntryPoint[Index] != static_cast<UINT8>(Anchor[Index])) {
      return false;
    }
  }
  // The entry point gives the table's physical address, which boot
  // services address one to one.
  UINT64 Address = Version3 ? Read64(EntryPoint + 0x10) : Read32(EntryPoint + 0x18);
  *Length = Version3 ? Read32(EntryPoint + 0x0C) : Read16(EntryPoint + 0x16);
  // NOLINTNEXTLINE(performance-no-int-to-ptr): a physical address
  *Table = reinterpret_cast<const UINT8 *>(static_cast<UINTN>(Address));
  return *Table != nullptr && *Length != 0;
}

bool FindInSmbios(EFI_SYSTEM_TABLE *SystemTable, REDFISH_SERVICE_LOCATION *Location) {
  // The 3.0 table first: where both exist, it is the complete one.
  const bool Versions[] = {true, false};
  for (bool Version3 : Versions) {
    const EFI_GUID &Wanted = Version3 ? gEfiSmbios3TableGuid : gEfiSmbiosTableGuid;
    for (UINTN Index = 0; Index < SystemTable->NumberOfTableEntries; Index++) {
      const EFI_CONFIGURATION_TABLE &Entry = SystemTable->ConfigurationTable[Index];
      const UINT8 *Table = nullptr;
      UINTN Length = 0;
      if (CompareGuid(Entry.VendorGuid, Wanted) &&
          SmbiosTable(static_cast<const UINT8 *>(Entry.VendorTable), Version3, &Table, &Length) &&
          ReadSmbiosTable(Table, Length, Location)) {
        return true;
      }
    }
  }
  return false;
}

/// Reads variable Name (of the producer's vendor GUID) as text into Text
/// (Size bytes, NUL-terminated); its length, 0 when absent or unreadable.
UINTN ReadVariableText(EFI_SYSTEM_TABLE *SystemTable, const CHAR16 *Name, CHAR8 *Text, UINTN Size) {
  UINTN Length = Size - 1;
  UINT32 Attributes = 0;
  EFI_STATUS Status = SystemTable->RuntimeServices->GetVariable(
      const_cast<CHAR16 *>(Name), &gNvdimmRestProducerVariableGuid, &Attributes, &Length, Text);
  if (Status != EFI_SUCCESS || Length >= Size) {
    return 0;
  }
  Text[Length] = '\0';
  return Length;
}

/// The credentials: the variable's, else the built-in ones.
void ReadCredentials(EFI_SYSTEM_TABLE *SystemTable, REDFISH_SERVICE_LOCATION *Location) {
  UINTN Length = ReadVariableText(SystemTable, CREDENTIALS_VARIABLE_NAME, Location->Credentials,
                                  sizeof(Location->Credentials));
  if (Length != 0) {
    return;
  }
  TEXT_BUILDER Text(Location->Credentials, sizeof(Location->Credentials));
  Text.AddBounded(gRestProducerBuiltIn.Credentials, sizeof(gRestProducerBuiltIn.Credentials));
}

}  // namespace

bool ReadSmbiosTable(const UINT8 *Table, UINTN Length, REDFISH_SERVICE_LOCATION *Location) {
  UINTN Offset = 0;
  while (Offset + 4 <= Length) {
    const UINT8 *Structure = Table + Offset;
    UINTN Formatted = Structure[1];
    if (Formatted < 4 || Offset + Formatted > Length) {
      return false;
    }
    if (Structure[0] == SMBIOS_TYPE_END_OF_TABLE) {
      return false;
    }
    if (Structure[0] == SMBIOS_TYPE_HOST_INTERFACE &&
        ReadHostInterface(Structure, Formatted, Location)) {
      return true;
    }
    // The string set after the formatted area ends with two NULs.
    UINTN Next = Offset + Formatted;
    while (Next + 1 < Length && (Table[Next] != 0 || Table[Next + 1] != 0)) {
      Next++;
    }
    Offset = Next + 2;
  }
  return false;
}

bool ReadLocationText(const CHAR8 *Text, UINTN Length, REDFISH_SERVICE_LOCATION *Location) {
  REDFISH_SERVICE_LOCATION Read = {};
  Read.Port = 80;
  Read.HostAddressByDefault = TRUE;
  Read.TimeoutMs = DEFAULT_EXCHANGE_TIMEOUT_MS;
  bool HasService = false;
  TEXT_READER Reader(Text, Length);
  while (Reader.SkipBlanks()) {
    if (Reader.Take("service=")) {
      HasService =
          Reader.ReadAddress(&Read.Service) && (!Reader.Take(":") || Reader.ReadPort(&Read.Port));
    } else if (Reader.Take("timeout=")) {
      UINT32 Milliseconds = 0;
      if (!Reader.ReadMilliseconds(&Milliseconds)) {
        return false;
      }
      Read.TimeoutMs = Milliseconds;
    } else if (Reader.Take("host=dhcp")) {
      Read.HostAddressByDefault = TRUE;
    } else if (Reader.Take("host=")) {
      UINT8 Bits = 0;
      if (!Reader.ReadAddress(&Read.HostAddress) || !Reader.Take("/") ||
          !Reader.ReadPrefix(&Bits)) {
        return false;
      }
      Read.HostAddressByDefault = FALSE;
      UINT32 Mask = Bits == 0 ? 0 : ~static_cast<UINT32>(0) << (32 - Bits);
      for (UINTN Index = 0; Index < 4; Index++) {
        Read.HostSubnet.Addr[Index] = static_cast<UINT8>(Mask >> (24 - 8 * Index));
      }
    } else {
      return false;
    }
    if (!Reader.AtBlankOrEnd()) {
      return false;
    }
  }
  if (!HasService) {
    return false;
  }
  *Location = Read;
  SetAuthority(Location);
  return true;
}

EFI_STATUS FindServiceLocation(EFI_SYSTEM_TABLE *SystemTable, REDFISH_SERVICE_LOCATION *Location) {
  CHAR8 Text[VARIABLE_SIZE] = {};
  UINTN Length = ReadVariableText(SystemTable, SERVICE_VARIABLE_NAME, Text, sizeof(Text));
  REDFISH_SERVICE_LOCATION FromText = {};
  bool TextReads = Length != 0 && ReadLocationText(Text, Length, &FromText);
  if (FindInSmbios(SystemTable, Location)) {
    if (TextReads) {
      Location->TimeoutMs = FromText.TimeoutMs;
    }
  } else if (TextReads) {
    *Location = FromText;
    Location->Source = LOCATION_SOURCE::Variable;
  } else if (ReadLocationText(
                 gRestProducerBuiltIn.Service,
                 BoundedLength(gRestProducerBuiltIn.Service, sizeof(gRestProducerBuiltIn.Service)),
                 Location)) {
    Location->Source = LOCATION_SOURCE::BuiltIn;
  } else {
    return EFI_NOT_FOUND;
  }
  ReadCredentials(SystemTable, Location);
  return EFI_SUCCESS;
}
