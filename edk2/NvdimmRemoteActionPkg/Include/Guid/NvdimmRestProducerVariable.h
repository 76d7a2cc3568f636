/** @file
  NvdimmRestProducerVariableGuid: the vendor GUID of the NvdimmRestHttpDxe
  driver's variables.

  NvdimmRedfishService (ASCII, not terminated)
    "service=A.B.C.D[:PORT] host=A.B.C.D/BITS|dhcp [timeout=MS]"
    where the Redfish service listens, how the interface gets its own
    address, and how long one exchange may take.
  NvdimmRedfishCredentials (ASCII, not terminated)
    "USER:PASSWORD" for HTTP Basic authentication.

  A platform sets them (EFI_VARIABLE_BOOTSERVICE_ACCESS, non-volatile if they
  should last) before the driver's entry point runs, when the SMBIOS Redfish
  Host Interface record does not name the service.
**/

#ifndef NVDIMM_REST_PRODUCER_VARIABLE_GUID_H_
#define NVDIMM_REST_PRODUCER_VARIABLE_GUID_H_

#define NVDIMM_REST_PRODUCER_VARIABLE_GUID \
  { 0xfaade175, 0x333a, 0x484a, { 0xa2, 0xfa, 0xda, 0x88, 0x7d, 0xaf, 0x8b, 0x25 } }

extern EFI_GUID  gNvdimmRestProducerVariableGuid;

#endif
