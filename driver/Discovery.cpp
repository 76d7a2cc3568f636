#include "actions/Poll.h"
#include "core/Pool.h"
#include "core/ProtocolLookup.h"
#include "driver/Driver.h"
#include "driver/ProtocolNotify.h"
#include "platform/Guids.h"

EFI_STATUS DiscoverServices(BOOLEAN *Found, ActionContext *Context) {
  NVDIMM_ACTION_PROTOCOL *Nvdimm = nullptr;
  EFI_STATUS Status = LocateProtocol(&Nvdimm);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  Context->Nvdimm = Nvdimm;

  UINTN HandleCount = 0;
  PoolPtr<EFI_HANDLE> Handles;
  Status = gBS->LocateHandleBuffer(ByProtocol, ProtocolGuid<EFI_REST_PROTOCOL>::Get(), nullptr,
                                   &HandleCount, Handles.Receive());
  if (EFI_ERROR(Status)) {
    return Status;
  }

  for (UINTN Index = 0; Handles && Index < HandleCount; Index++) {
    EFI_REST_PROTOCOL *Rest = nullptr;
    REDFISH_SERVICE_PROTOCOL *Service = nullptr;
    Status = HandleProtocol(Handles[Index], &Rest);
    if (EFI_ERROR(Status)) {
      continue;
    }
    Status = HandleProtocol(Handles[Index], &Service);
    if (EFI_ERROR(Status) || Rest == nullptr || Service == nullptr) {
      continue;
    }
    Context->Service = Service;
    Context->Rest = Rest;
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
