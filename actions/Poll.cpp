#include "actions/Poll.h"

#include "actions/ActionRecord.h"
#include "actions/Handlers.h"
#include "core/Json.h"
#include "core/Pool.h"
#include "redfish/ActionStatusClient.h"

namespace {

struct DispatchEntry {
  const CHAR8 *Name;
  ACTION_HANDLER Handler;
};

// Tried in this order; names match exactly.
constexpr DispatchEntry DISPATCH_TABLE[] = {
    {"CreateGoal", CreateGoalAction},
    {"CreateNamespace", CreateNamespaceAction},
    {"DeleteNamespace", DeleteNamespaceAction},
    {"DeletePlatformConfigurationData", DeletePlatformConfigurationDataAction},
    {"RunDiagnostics", RunDiagnosticsAction},
};

constexpr const CHAR8 *GOAL_COMPLETED_MESSAGE = "(UEFI UPDATE): CreateGoal performed Successfully";

const CHAR8 *StringMember(const cJSON *Document, const CHAR8 *Name) {
  const cJSON *Item = cJSON_GetObjectItem(Document, Name);
  return cJSON_IsString(Item) ? Item->valuestring : nullptr;
}

}  // namespace

EFI_STATUS DispatchAction(const CHAR8 *ActionName, const CHAR8 *ActionUri, EFI_REST_PROTOCOL *Rest,
                          NVDIMM_ACTION_PROTOCOL *Nvdimm) {
  UINTN Length = AsciiStrLen(ActionUri);
  auto Uri = PoolPtr<CHAR16>::AllocateZeroed(Length + 1);
  if (!Uri) {
    return EFI_OUT_OF_RESOURCES;
  }
  // Each byte becomes one code unit by sign extension, as the service's
  // URIs are compared code unit for code unit.
  for (UINTN Index = 0; Index < Length; Index++) {
    Uri[Index] = static_cast<CHAR16>(static_cast<INT16>(static_cast<INT8>(ActionUri[Index])));
  }
  for (const DispatchEntry &Entry : DISPATCH_TABLE) {
    if (AsciiStrEqual(ActionName, Entry.Name)) {
      Entry.Handler(Uri.Get(), Rest, Nvdimm);
      break;
    }
  }
  return EFI_SUCCESS;
}

EFI_STATUS PollActionStatus(ActionContext *Context) {
  if (Context == nullptr || Context->Service == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  UINT64 Ignored = 0;
  EFI_STATUS Status = Context->Service->GetServiceStatus(Context->Service, 0, &Ignored);
  if (EFI_ERROR(Status)) {
    return Status;
  }

  PoolPtr<CHAR8> Body;
  UINTN Length = 0;
  Status = GetResource(Context->Rest, ACTION_STATUS_URI, Body.Receive(), &Length);
  if (Status != EFI_SUCCESS) {
    return Status;
  }
  if (Length == 0 || !Body) {
    return EFI_SUCCESS;
  }

  JsonDocument Document(cJSON_Parse(Body.Get()));
  if (!Document) {
    return EFI_LOAD_ERROR;
  }

  const CHAR8 *State = StringMember(Document.Get(), "Status");
  if (State == nullptr) {
    return EFI_SUCCESS;
  }
  if (AsciiStrEqual(State, "Issued")) {
    const CHAR8 *ActionName = StringMember(Document.Get(), "ActionName");
    const CHAR8 *ActionUri = StringMember(Document.Get(), "ActionUri");
    if (ActionName != nullptr && ActionUri != nullptr) {
      // Carried out already in this boot, its report lost: only the report
      // goes again.
      if (RecordHoldsAction(Context->Record, ActionName, ActionUri)) {
        return ResendRecordedReport(Context->Rest, &Context->Record);
      }
      BeginRecording(&Context->Record, ActionName, ActionUri);
      Status = DispatchAction(ActionName, ActionUri, Context->Rest, Context->Nvdimm);
      EndRecording();
      return Status;
    }
  } else if (AsciiStrEqual(State, "Inprogress") &&
             cJSON_GetObjectItem(Document.Get(), "ActionName") != nullptr) {
    return PatchActionStatus(Context->Rest, "Success", GOAL_COMPLETED_MESSAGE);
  }
  return EFI_SUCCESS;
}
