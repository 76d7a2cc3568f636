/** @file
  REDFISH_SERVICE_PROTOCOL marks the handle of the platform's Redfish
  service. That handle must also carry the EFI_REST_PROTOCOL instance that
  reaches the service, and it must be the only handle with this protocol:
  with two or more, the NvdimmRemoteActionDxe driver refuses every request.

  The driver calls GetServiceStatus only; Revision and whatever the producer
  places after GetServiceStatus are the producer's.
**/

#ifndef REDFISH_SERVICE_PROTOCOL_H_
#define REDFISH_SERVICE_PROTOCOL_H_

#define REDFISH_SERVICE_PROTOCOL_GUID \
  { 0x7eca5af9, 0xa781, 0x414e, { 0xae, 0x4d, 0x76, 0xb1, 0xed, 0x20, 0x3b, 0x83 } }

typedef struct _REDFISH_SERVICE_PROTOCOL REDFISH_SERVICE_PROTOCOL;

/**
  Tells whether the Redfish service can be used now. The driver reads
  ActionStatus only when the returned status has no error bit.

  @param[in]  This      The instance on the service handle.
  @param[in]  Reserved  Always 0.
  @param[out] Status    Zeroed by the caller; the driver does not read it.

  @retval EFI_SUCCESS  The service can be used (so does any warning).
  @retval Others       It cannot; the driver tries again at the next
                       installation of EFI_REST_PROTOCOL or RedfishReadyGuid.
**/
typedef
EFI_STATUS
(EFIAPI *REDFISH_SERVICE_GET_SERVICE_STATUS)(
  IN  REDFISH_SERVICE_PROTOCOL  *This,
  IN  UINT64                    Reserved,
  OUT UINT64                    *Status
  );

struct _REDFISH_SERVICE_PROTOCOL {
  UINT64                                Revision; ///< the producer's; not read
  REDFISH_SERVICE_GET_SERVICE_STATUS    GetServiceStatus;
};

extern EFI_GUID  gRedfishServiceProtocolGuid;

#endif
