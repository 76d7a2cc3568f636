#include "actions/ActionFrame.h"
#include "actions/Handlers.h"
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
                           NVDIMM_ACTION_PROTOCOL *Nvdimm, ActionRecord *Record) {
  ActionFrame<STATUS_MESSAGE_SIZE> Frame(Uri, Rest, Record);
  if (!Frame.Load("(UEFI UPDATE - DN): Error to parse Json file - %a\n")) {
    return;
  }

  UINT16 NamespaceId = 0;
  if (!ReadNamespaceId(Frame.String("Id"), &NamespaceId)) {
    Frame.ReportFormatted("Failed", "(UEFI UPDATE - DN): Invalid Parameters for DeleteNameSpace");
    return;
  }

  CHAR8 ErrorMessage[NVDIMM_ERROR_MESSAGE_SIZE] = {};
  EFI_STATUS Status = Nvdimm->DeleteNamespace(NamespaceId, ErrorMessage);
  Frame.ReportOutcome(Status, "(UEFI UPDATE): DeleteNamespace performed Successfully",
                      "(UEFI UPDATE - DN): %a", ErrorMessage);
}
