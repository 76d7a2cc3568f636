#include "platform/Guids.h"

#include "uefi/ServiceBinding.h"
#include "uefi/Smbios.h"

EFI_GUID gEfiRestProtocolGuid = EFI_REST_PROTOCOL_GUID;
EFI_GUID gNvdimmActionProtocolGuid = NVDIMM_ACTION_PROTOCOL_GUID;
EFI_GUID gRedfishServiceProtocolGuid = REDFISH_SERVICE_PROTOCOL_GUID;
EFI_GUID gRedfishReadyGuid = REDFISH_READY_GUID;
EFI_GUID gLocalRequestTriggerGuid = LOCAL_REQUEST_TRIGGER_GUID;
EFI_GUID gEfiEventGroupResetSystemGuid = EFI_EVENT_GROUP_RESET_SYSTEM;
EFI_GUID gEfiResetNotificationProtocolGuid = EFI_RESET_NOTIFICATION_PROTOCOL_GUID;
EFI_GUID gEfiHttpServiceBindingProtocolGuid = EFI_HTTP_SERVICE_BINDING_PROTOCOL_GUID;
EFI_GUID gEfiHttpProtocolGuid = EFI_HTTP_PROTOCOL_GUID;
EFI_GUID gEfiSimpleNetworkProtocolGuid = EFI_SIMPLE_NETWORK_PROTOCOL_GUID;
EFI_GUID gEfiPciIoProtocolGuid = EFI_PCI_IO_PROTOCOL_GUID;
EFI_GUID gEfiSmbiosTableGuid = SMBIOS_TABLE_GUID;
EFI_GUID gEfiSmbios3TableGuid = SMBIOS3_TABLE_GUID;
EFI_GUID gNvdimmRestProducerVariableGuid = NVDIMM_REST_PRODUCER_VARIABLE_GUID;
