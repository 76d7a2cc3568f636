// The GUIDs this driver consumes, each defined once in Guids.cpp, and the
// binding of each protocol record to its GUID.
#pragma once

#include "platform/NvdimmActionProtocol.h"
#include "platform/RedfishServiceProtocol.h"
#include "uefi/Http.h"
#include "uefi/ProtocolGuid.h"
#include "uefi/ResetNotification.h"
#include "uefi/Rest.h"
#include "uefi/UefiTables.h"

extern EFI_GUID gEfiRestProtocolGuid;
extern EFI_GUID gNvdimmActionProtocolGuid;
extern EFI_GUID gRedfishServiceProtocolGuid;
extern EFI_GUID gRedfishReadyGuid;
extern EFI_GUID gLocalRequestTriggerGuid;
extern EFI_GUID gEfiEventGroupResetSystemGuid;
extern EFI_GUID gEfiResetNotificationProtocolGuid;

// The REST producer's: the network stack it runs on, the SMBIOS tables that
// may say where the service is, and the vendor GUID of its variables.
extern EFI_GUID gEfiHttpServiceBindingProtocolGuid;
extern EFI_GUID gEfiHttpProtocolGuid;
extern EFI_GUID gEfiSimpleNetworkProtocolGuid;
extern EFI_GUID gEfiPciIoProtocolGuid;
extern EFI_GUID gEfiSmbiosTableGuid;
extern EFI_GUID gEfiSmbios3TableGuid;
extern EFI_GUID gNvdimmRestProducerVariableGuid;

template <>
struct ProtocolGuid<EFI_REST_PROTOCOL> {
  static EFI_GUID *Get() { return &gEfiRestProtocolGuid; }
};

template <>
struct ProtocolGuid<NVDIMM_ACTION_PROTOCOL> {
  static EFI_GUID *Get() { return &gNvdimmActionProtocolGuid; }
};

template <>
struct ProtocolGuid<REDFISH_SERVICE_PROTOCOL> {
  static EFI_GUID *Get() { return &gRedfishServiceProtocolGuid; }
};

template <>
struct ProtocolGuid<EFI_HTTP_PROTOCOL> {
  static EFI_GUID *Get() { return &gEfiHttpProtocolGuid; }
};

template <>
struct ProtocolGuid<EFI_RESET_NOTIFICATION_PROTOCOL> {
  static EFI_GUID *Get() { return &gEfiResetNotificationProtocolGuid; }
};
