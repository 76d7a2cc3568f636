#include "actions/ActionFrame.h"
#include "actions/DimmResults.h"
#include "actions/Handlers.h"
#include "core/Memory.h"
#include "redfish/ActionStatusClient.h"
#include "text/TextHelpers.h"

const CHAR16 DELETE_PCD_URI[] =
    u"/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.DeletePlatformConfigurationData";

namespace {

constexpr UINTN SYSTEM_MESSAGE_SIZE = 500;
constexpr UINT64 MAX_DIMM_ID = 0xFFFF;

/// The module named by DimmPhysicalId, or FALSE when it names none: absent,
/// no hexadecimal digit, or beyond the 16-bit id (never another module).
bool ReadDimmId(const CHAR8 *DimmPhysicalId, UINT16 *DimmId) {
  UINT64 Value = 0;
  if (DimmPhysicalId == nullptr || HexToUintn(DimmPhysicalId, &Value) == EFI_INVALID_PARAMETER ||
      !HasHexDigits(DimmPhysicalId) || Value > MAX_DIMM_ID) {
    return false;
  }
  *DimmId = static_cast<UINT16>(Value);
  return true;
}

/// Erases every module's configuration and reports the per-module results.
/// The resource is not read.
void DeleteAllModules(EFI_REST_PROTOCOL *Rest, NVDIMM_ACTION_PROTOCOL *Nvdimm,
                      CHAR8 (&ErrorMessage)[NVDIMM_ERROR_MESSAGE_SIZE]) {
  DIMM_RESULT_LIST Results = {};
  CHAR8 ResultText[DIMM_RESULT_TEXT_SIZE] = {};
  CHAR8 Message[SYSTEM_MESSAGE_SIZE] = {};
  EFI_STATUS Status = Nvdimm->DeletePlatformConfigurationData(TRUE, nullptr, ErrorMessage, &Results);
  FormatDimmResults(Results, ResultText);
  BoundedFormat(Message, sizeof(Message), "(UEFI UPDATE - DPCD): %a", ResultText);
  (void)PatchActionStatus(Rest, Status == EFI_SUCCESS ? "Success" : "Failed", Message);
}

}  // namespace

void DeletePlatformConfigurationDataAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                                           NVDIMM_ACTION_PROTOCOL *Nvdimm) {
  CHAR8 ErrorMessage[NVDIMM_ERROR_MESSAGE_SIZE] = {};
  if (StrEqual(Uri, DELETE_PCD_URI)) {
    DeleteAllModules(Rest, Nvdimm, ErrorMessage);
    return;
  }

  CHAR8 Message[STATUS_MESSAGE_SIZE] = {};
  ActionResource Resource;
  if (!Resource.Load(Rest, Uri, "(UEFI UPDATE - DPCD): Error to parse Json file : %a", Message,
                     sizeof(Message))) {
    return;
  }
  UINT16 DimmId = 0;
  if (!ReadDimmId(Resource.String("DimmPhysicalId"), &DimmId)) {
    ReportFailure(Rest, Message, sizeof(Message),
                  "(UEFI UPDATE - DPCD): Invalid Parameters for DeletePlatformConfiguration");
    return;
  }
  DIMM_RESULT_LIST Results = {};
  EFI_STATUS Status = Nvdimm->DeletePlatformConfigurationData(FALSE, &DimmId, ErrorMessage, &Results);
  if (Status != EFI_SUCCESS) {
    TerminateErrorMessage(ErrorMessage);
    ReportFailure(Rest, Message, sizeof(Message), "(UEFI UPDATE - DPCD): %a", ErrorMessage);
    return;
  }
  (void)PatchActionStatus(Rest, "Success",
                          "(UEFI UPDATE): DeletePlatformConfigurationData performed Successfully");
}
