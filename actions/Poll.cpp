#include "actions/Poll.h"

#include "actions/ActionRecord.h"
#include "actions/ActionStatusReader.h"
#include "actions/Handlers.h"
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

}  // namespace

EFI_STATUS DispatchAction(const CHAR8 *ActionName, const CHAR8 *ActionUri, EFI_REST_PROTOCOL *Rest,
                          NVDIMM_ACTION_PROTOCOL *Nvdimm, ActionRecord *Record) {
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
      Entry.Handler(Uri.Get(), Rest, Nvdimm, Record);
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

  ActionStatusReader Reader;
  Status = Reader.Read(Context->Rest, Context->Record);
  // A warning ends the poll: nothing it read is acted upon.
  if (Status != EFI_SUCCESS) {
    return Status;
  }
  switch (Reader.Kind()) {
    case ACTION_STATUS_KIND::KeptAction:
      // Carried out already in this boot, its report lost: only the report
      // goes again.
      return ResendKeptReport(Context->Rest, &Context->Record);
    case ACTION_STATUS_KIND::IssuedAction:
      BeginRecording(&Context->Record, Reader.ActionName(), Reader.ActionUri());
      return DispatchAction(Reader.ActionName(), Reader.ActionUri(), Context->Rest, Context->Nvdimm,
                            &Context->Record);
    case ACTION_STATUS_KIND::Inprogress:
      return PatchActionStatus(Context->Rest, "Success", GOAL_COMPLETED_MESSAGE);
    default:
      return EFI_SUCCESS;
  }
}
