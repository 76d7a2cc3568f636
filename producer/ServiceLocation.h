// Where the Redfish service is and how this host reaches it, as the REST
// producer learns it at entry: from the platform's SMBIOS Redfish Host
// Interface record (type 42, DMTF DSP0270: its "Redfish over IP" protocol
// record), else from the UEFI variable NvdimmRedfishService, else from the
// configuration built into the image (patchable in the binary). The
// credentials, when there are any, come from the variable
// NvdimmRedfishCredentials or the image in the same way.
#pragma once

#include "uefi/Http.h"
#include "uefi/UefiTables.h"

/// The room for the "a.b.c.d:port" authority and for "user:password".
constexpr UINTN SERVICE_AUTHORITY_SIZE = 24;
constexpr UINTN SERVICE_CREDENTIALS_SIZE = 96;

enum class LOCATION_SOURCE : UINT8 { None, Smbios, Variable, BuiltIn };

struct REDFISH_SERVICE_LOCATION {
  EFI_IPv4_ADDRESS Service;
  UINT16 Port;
  /// TRUE: the host interface takes its own address (DHCP or the platform's
  /// Ip4Config2 policy); FALSE: HostAddress and HostSubnet.
  BOOLEAN HostAddressByDefault;
  EFI_IPv4_ADDRESS HostAddress;
  EFI_IPv4_ADDRESS HostSubnet;
  /// "a.b.c.d:port": the URL's authority and the Host header.
  CHAR8 Authority[SERVICE_AUTHORITY_SIZE];
  /// "user:password", empty for none.
  CHAR8 Credentials[SERVICE_CREDENTIALS_SIZE];
  /// How long one exchange may take, in milliseconds.
  UINT32 TimeoutMs;
  LOCATION_SOURCE Source;
};

/// How long an exchange may take unless the configuration says otherwise.
constexpr UINT32 DEFAULT_EXCHANGE_TIMEOUT_MS = 5000;

/// The configuration text of the variable NvdimmRedfishService and of the
/// image's built-in configuration: "service=A.B.C.D[:PORT] host=A.B.C.D/BITS"
/// or "... host=dhcp", and optionally "timeout=MILLISECONDS" (the port
/// defaults to 80, the host to dhcp, the timeout to 5000). A Redfish Host
/// Interface record may be completed by the variable's timeout.
/// NvdimmRedfishCredentials holds "user:password".
extern const CHAR16 SERVICE_VARIABLE_NAME[];
extern const CHAR16 CREDENTIALS_VARIABLE_NAME[];

/// Finds the service: the first usable Redfish-over-IP record (IPv4, service
/// address static) of the SMBIOS tables the system table points to, then the
/// variable, then the built-in text. EFI_NOT_FOUND when none names a service.
[[nodiscard]] EFI_STATUS FindServiceLocation(EFI_SYSTEM_TABLE *SystemTable,
                                             REDFISH_SERVICE_LOCATION *Location);

/// Reads one SMBIOS structure table (Length bytes at Table) for a usable
/// Redfish-over-IP record. TRUE with Location filled (Source Smbios).
[[nodiscard]] bool ReadSmbiosTable(const UINT8 *Table, UINTN Length,
                                   REDFISH_SERVICE_LOCATION *Location);

/// Reads the configuration text into Location. FALSE when it names no
/// service or does not read.
[[nodiscard]] bool ReadLocationText(const CHAR8 *Text, UINTN Length,
                                    REDFISH_SERVICE_LOCATION *Location);
