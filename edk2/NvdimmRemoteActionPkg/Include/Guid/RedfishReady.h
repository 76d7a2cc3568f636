/** @file
  RedfishReadyGuid: installed as a protocol without an interface
  (InstallProtocolInterface with a NULL interface, on a new handle) when the
  platform's Redfish service is ready. Each installation makes the
  NvdimmRemoteActionDxe driver look for the service again, until it has
  found it and read ActionStatus without an error.
**/

#ifndef REDFISH_READY_GUID_H_
#define REDFISH_READY_GUID_H_

#define REDFISH_READY_GUID \
  { 0xfc248d6e, 0xd438, 0x4f4a, { 0xbf, 0xf8, 0xde, 0x6f, 0x24, 0x54, 0xef, 0x6b } }

extern EFI_GUID  gRedfishReadyGuid;

#endif
