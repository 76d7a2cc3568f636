#include "actions/ActionFrame.h"
#include "actions/DimmResults.h"
#include "actions/Handlers.h"
#include "core/Memory.h"
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
void DeleteAllModules(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest, NVDIMM_ACTION_PROTOCOL *Nvdimm,
                      ActionRecord *Record) {
  ActionFrame<SYSTEM_MESSAGE_SIZE> Frame(Uri, Rest, Record);
  CHAR8 ErrorMessage[NVDIMM_ERROR_MESSAGE_SIZE] = {};
  DIMM_RESULT_LIST Results = {};
  EFI_STATUS Status =
      Nvdimm->DeletePlatformConfigurationData(TRUE, nullptr, ErrorMessage, &Results);
  CHAR8 ResultText[DIMM_RESULT_TEXT_SIZE] = {};
  FormatDimmResults(Results, ResultText);
  Frame.ReportFormatted(OutcomeStatusText(Status), "(UEFI UPDATE - DPCD): %a", ResultText);
}

}  // namespace

void DeletePlatformConfigurationDataAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                                           NVDIMM_ACTION_PROTOCOL *Nvdimm, ActionRecord *Record) {
  if (StrEqual(Uri, DELETE_PCD_URI)) {
    DeleteAllModules(Uri, Rest, Nvdimm, Record);
    return;
  }

  ActionFrame<STATUS_MESSAGE_SIZE> Frame(Uri, Rest, Record);
  if (!Frame.Load("(UEFI UPDATE - DPCD): Error to parse Json file : %a")) {
    return;
  }

  UINT16 DimmId = 0;
  if (!ReadDimmId(Frame.String("DimmPhysicalId"), &DimmId)) {
    Frame.ReportFormatted(
        "Failed", "(UEFI UPDATE - DPCD): Invalid Parameters for DeletePlatformConfiguration");
    return;
  }

  CHAR8 ErrorMessage[NVDIMM_ERROR_MESSAGE_SIZE] = {};
  DIMM_RESULT_LIST Results = {};
  EFI_STATUS Status =
      Nvdimm->DeletePlatformConfigurationData(FALSE, &DimmId, ErrorMessage, &Results);
  Frame.ReportOutcome(Status,
                      "(UEFI UPDATE): DeletePlatformConfigurationData performed Successfully",
                      "(UEFI UPDATE - DPCD): %a", ErrorMessage);
}
