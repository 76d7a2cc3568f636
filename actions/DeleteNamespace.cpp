#include "actions/ActionFrame.h"
#include "actions/Handlers.h"
#include "redfish/ActionStatusClient.h"
#include "text/TextHelpers.h"

namespace {

constexpr UINT64 MAX_NAMESPACE_ID = 0xFFFF;

/// The namespace named by Id, or FALSE when Id does not name one: absent, no
/// decimal digit at all, or beyond the 16-bit namespace id. An id is never
/// cut to fewer bits: that would delete another namespace.
bool ReadNamespaceId(const CHAR8 *Id, UINT16 *NamespaceId) {
  UINT64 Value = 0;
  if (Id == nullptr || DecimalToUintn(Id, &Value) == EFI_INVALID_PARAMETER ||
      !HasDecimalDigits(Id) || Value > MAX_NAMESPACE_ID) {
    return false;
  }
  *NamespaceId = static_cast<UINT16>(Value);
  return true;
}

}  // namespace

void DeleteNamespaceAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                           NVDIMM_ACTION_PROTOCOL *Nvdimm) {
  CHAR8 ErrorMessage[NVDIMM_ERROR_MESSAGE_SIZE] = {};
  CHAR8 Message[STATUS_MESSAGE_SIZE] = {};
  ActionResource Resource;
  if (!Resource.Load(Rest, Uri, "(UEFI UPDATE - DN): Error to parse Json file - %a\n", Message,
                     sizeof(Message))) {
    return;
  }

  UINT16 NamespaceId = 0;
  if (!ReadNamespaceId(Resource.String("Id"), &NamespaceId)) {
    ReportFailure(Rest, Message, sizeof(Message),
                  "(UEFI UPDATE - DN): Invalid Parameters for DeleteNameSpace");
    return;
  }
  EFI_STATUS Status = Nvdimm->DeleteNamespace(NamespaceId, ErrorMessage);
  if (Status != EFI_SUCCESS) {
    TerminateErrorMessage(ErrorMessage);
    ReportFailure(Rest, Message, sizeof(Message), "(UEFI UPDATE - DN): %a", ErrorMessage);
    return;
  }
  (void)PatchActionStatus(Rest, "Success", "(UEFI UPDATE): DeleteNamespace performed Successfully");
}
