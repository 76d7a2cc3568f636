#include "actions/ActionRecord.h"
#include "actions/ActionStatusReader.h"
#include "core/ProtocolLookup.h"
#include "driver/Driver.h"
#include "driver/ProtocolNotify.h"
#include "platform/Guids.h"
#include "redfish/ActionStatusClient.h"
#include "text/TextHelpers.h"

namespace {

constexpr UINTN ABORT_MESSAGE_SIZE = 150;
constexpr const CHAR8 *ABORT_MESSAGE =
    "(UEFI UPDATE - : Remote Redfish Action ABORTED because of pending request from Local User";

}  // namespace

void AbortRemoteAction(ActionContext *Context) {
  ActionStatusReader Reader;
  (void)Reader.Read(Context->Rest, Context->Record);
  if (Reader.Kind() == ACTION_STATUS_KIND::KeptAction) {
    // An action this boot carried out is no longer waiting, whatever the
    // service still shows: its own report goes again, never the abort.
    (void)ResendKeptReport(Context->Rest, &Context->Record);
    return;
  }
  if (Reader.Kind() == ACTION_STATUS_KIND::Issued ||
      Reader.Kind() == ACTION_STATUS_KIND::IssuedAction) {
    CHAR8 Message[ABORT_MESSAGE_SIZE] = {};
    BoundedFormat(Message, sizeof(Message), ABORT_MESSAGE);
    (void)PatchActionStatus(Context->Rest, "Failed", Message);
  }
}

bool RunLocalRequestGuard(ActionContext *Context) {
  if (Context->Aborted != 0 || Context->Nvdimm == nullptr || Context->Nvdimm->Enabled == 0 ||
      Context->Nvdimm->ResetPending != 0) {
    return false;
  }
  BOOLEAN Pending = FALSE;
  EFI_STATUS Status = Context->Nvdimm->GetLocalRequestPending(&Pending);
  if (Status != EFI_SUCCESS || Pending == 0) {
    return false;
  }
  AbortRemoteAction(Context);
  Context->Aborted = 1;
  return true;
}

VOID EFIAPI OnLocalRequestCheck(EFI_EVENT Event, VOID *Context) {
  if (Context == nullptr) {
    return;
  }
  auto *Action = static_cast<ActionContext *>(Context);
  if (RunLocalRequestGuard(Action)) {
    CloseNotifyEvent(Action, Event);
  }
}

VOID EFIAPI OnResetNotify(EFI_RESET_TYPE ResetType, EFI_STATUS ResetStatus, UINTN DataSize,
                          VOID *ResetData) {
  (void)ResetType;
  (void)ResetStatus;
  (void)DataSize;
  (void)ResetData;
  // A reset notification carries no context: the one the entry kept.
  if (gActionContext != nullptr) {
    (void)RunLocalRequestGuard(gActionContext);
  }
}

VOID EFIAPI OnResetNotificationInstalled(EFI_EVENT Event, VOID *Context) {
  if (Context == nullptr) {
    return;
  }
  EFI_RESET_NOTIFICATION_PROTOCOL *ResetNotification = nullptr;
  if (EFI_ERROR(LocateProtocol(&ResetNotification))) {
    return;
  }
  EFI_STATUS Status = ResetNotification->RegisterResetNotify(ResetNotification, OnResetNotify);
  if (!EFI_ERROR(Status) || Status == EFI_ALREADY_STARTED) {
    CloseNotifyEvent(static_cast<ActionContext *>(Context), Event);
  }
}
