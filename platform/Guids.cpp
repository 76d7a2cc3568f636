#include "platform/Guids.h"

EFI_GUID gEfiRestProtocolGuid = EFI_REST_PROTOCOL_GUID;
EFI_GUID gNvdimmActionProtocolGuid = NVDIMM_ACTION_PROTOCOL_GUID;
EFI_GUID gRedfishServiceProtocolGuid = REDFISH_SERVICE_PROTOCOL_GUID;
EFI_GUID gRedfishReadyGuid = REDFISH_READY_GUID;
EFI_GUID gLocalRequestTriggerGuid = LOCAL_REQUEST_TRIGGER_GUID;
EFI_GUID gEfiEventGroupResetSystemGuid = EFI_EVENT_GROUP_RESET_SYSTEM;
EFI_GUID gEfiResetNotificationProtocolGuid = EFI_RESET_NOTIFICATION_PROTOCOL_GUID;
