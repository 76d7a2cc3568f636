#include "actions/Poll.h"
#include "core/BootServices.h"
#include "core/Pool.h"
#include "driver/ActionContext.h"
#include "platform/Guids.h"

EFI_STATUS DiscoverServices(BOOLEAN *Found, ActionContext *Context) {
  VOID *Nvdimm = nullptr;
  EFI_STATUS Status = gBS->LocateProtocol(&gNvdimmActionProtocolGuid, nullptr, &Nvdimm);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  if (Nvdimm == nullptr) {
    // A producer that reports success without an instance has none to offer.
    return EFI_NOT_FOUND;
  }
  Context->Nvdimm = static_cast<NVDIMM_ACTION_PROTOCOL *>(Nvdimm);

  UINTN HandleCount = 0;
  PoolPtr<EFI_HANDLE> Handles;
  Status = gBS->LocateHandleBuffer(ByProtocol, &gEfiRestProtocolGuid, nullptr, &HandleCount,
                                   Handles.Receive());
  if (EFI_ERROR(Status)) {
    return Status;
  }

  for (UINTN Index = 0; Handles && Index < HandleCount; Index++) {
    VOID *Rest = nullptr;
    VOID *Service = nullptr;
    Status = gBS->HandleProtocol(Handles[Index], &gEfiRestProtocolGuid, &Rest);
    if (EFI_ERROR(Status)) {
      continue;
    }
    Status = gBS->HandleProtocol(Handles[Index], &gRedfishServiceProtocolGuid, &Service);
    if (EFI_ERROR(Status) || Rest == nullptr || Service == nullptr) {
      continue;
    }
    Context->Service = static_cast<REDFISH_SERVICE_PROTOCOL *>(Service);
    Context->Rest = static_cast<EFI_REST_PROTOCOL *>(Rest);
    *Found = TRUE;
    if (Context->Nvdimm->Enabled != 0) {
      Status = PollActionStatus(Context);
    }
    break;
  }
  return Status;
}

VOID EFIAPI OnServiceNotify(EFI_EVENT Event, VOID *Context) {
  if (Context == nullptr) {
    return;
  }
  auto *Action = static_cast<ActionContext *>(Context);
  BOOLEAN Found = FALSE;
  EFI_STATUS Status = DiscoverServices(&Found, Action);
  if (!EFI_ERROR(Status) && Found) {
    CloseNotifyEvent(Action, Event);
  }
}
