#include "actions/ActionRecord.h"
#include "core/Json.h"
#include "core/Pool.h"
#include "driver/Driver.h"
#include "driver/ProtocolNotify.h"
#include "redfish/ActionStatusClient.h"
#include "text/TextHelpers.h"

namespace {

constexpr UINTN ABORT_MESSAGE_SIZE = 150;
constexpr const CHAR8 *ABORT_MESSAGE =
    "(UEFI UPDATE - : Remote Redfish Action ABORTED because of pending request from Local User";

}  // namespace

void AbortRemoteAction(ActionContext *Context) {
  PoolPtr<CHAR8> Body;
  UINTN Length = 0;
  EFI_STATUS Status = GetResource(Context->Rest, ACTION_STATUS_URI, Body.Receive(), &Length);
  if (EFI_ERROR(Status) || Length == 0 || !Body) {
    return;
  }
  JsonDocument Document(cJSON_Parse(Body.Get()));
  if (!Document) {
    return;
  }
  const cJSON *State = cJSON_GetObjectItem(Document.Get(), "Status");
  if (cJSON_IsString(State) && AsciiStrEqual(State->valuestring, "Issued")) {
    // An action this boot carried out is no longer waiting, whatever the
    // service still shows: its own report goes again, never the abort.
    const cJSON *Name = cJSON_GetObjectItem(Document.Get(), "ActionName");
    const cJSON *Uri = cJSON_GetObjectItem(Document.Get(), "ActionUri");
    if (cJSON_IsString(Name) && cJSON_IsString(Uri) &&
        RecordHoldsAction(Context->Record, Name->valuestring, Uri->valuestring)) {
      (void)ResendRecordedReport(Context->Rest, &Context->Record);
      return;
    }
    CHAR8 Message[ABORT_MESSAGE_SIZE] = {};
    BoundedFormat(Message, sizeof(Message), ABORT_MESSAGE);
    (void)PatchActionStatus(Context->Rest, "Failed", Message);
  }
}

VOID EFIAPI OnLocalRequestCheck(EFI_EVENT Event, VOID *Context) {
  if (Context == nullptr) {
    return;
  }
  auto *Action = static_cast<ActionContext *>(Context);
  if (Action->Aborted != 0 || Action->Nvdimm == nullptr || Action->Nvdimm->Enabled == 0 ||
      Action->Nvdimm->ResetPending != 0) {
    return;
  }
  BOOLEAN Pending = FALSE;
  EFI_STATUS Status = Action->Nvdimm->GetLocalRequestPending(&Pending);
  if (Status != EFI_SUCCESS || Pending == 0) {
    return;
  }
  AbortRemoteAction(Action);
  Action->Aborted = 1;
  CloseNotifyEvent(Action, Event);
}
