/** @file
  LocalRequestTriggerGuid: installed as a protocol without an interface
  (InstallProtocolInterface with a NULL interface, on a new handle) when a
  configuration request made in the platform's setup should be checked
  against a remote action that still waits. If
  NVDIMM_ACTION_PROTOCOL.GetLocalRequestPending then reports a pending
  request, the NvdimmRemoteActionDxe driver marks a still-issued remote
  action "Failed", once per boot.
**/

#ifndef LOCAL_REQUEST_TRIGGER_GUID_H_
#define LOCAL_REQUEST_TRIGGER_GUID_H_

#define LOCAL_REQUEST_TRIGGER_GUID \
  { 0xd84beff0, 0x159a, 0x4b60, { 0x9a, 0xb9, 0xac, 0x5c, 0x47, 0x4b, 0xd3, 0xb1 } }

extern EFI_GUID  gLocalRequestTriggerGuid;

#endif
