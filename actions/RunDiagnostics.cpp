#include "actions/ActionFrame.h"
#include "actions/Handlers.h"
#include "core/Memory.h"
#include "redfish/ActionStatusClient.h"
#include "text/TextHelpers.h"

const CHAR16 RUN_DIAGNOSTICS_URI[] = u"/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.RunDiagnostics";

namespace {

constexpr UINTN TEST_LIST_SIZE = 100;
constexpr UINTN PARSE_MESSAGE_SIZE = 80;
constexpr UINT16 ALL_DIMMS_ID = 0x00FF;

struct TestSwitch {
  const CHAR8 *Member;
  const CHAR8 *Test;
};

constexpr TestSwitch TEST_SWITCHES[] = {
    {"QuickTest", "Quick"},
    {"ConfigTest", "Config"},
    {"SecurityTest", "Security"},
    {"FwTest", "Fw"},
};

// The component hands back no result message: say so rather than send none.
constexpr const CHAR8 *NO_RESULT_MESSAGE =
    "(UEFI UPDATE - RD): RunDiagnostics returned no result message";

void BuildTestList(const ActionResource &Resource, CHAR8 (&Tests)[TEST_LIST_SIZE]) {
  if (Resource.Switch("ExecuteAll")) {
    (void)BoundedAppend(Tests, sizeof(Tests), "All");
    return;
  }
  for (const TestSwitch &Switch : TEST_SWITCHES) {
    if (!Resource.Switch(Switch.Member)) {
      continue;
    }
    if (Tests[0] != '\0') {
      (void)BoundedAppend(Tests, sizeof(Tests), ",");
    }
    (void)BoundedAppend(Tests, sizeof(Tests), Switch.Test);
  }
}

}  // namespace

void RunDiagnosticsAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                          NVDIMM_ACTION_PROTOCOL *Nvdimm) {
  CHAR8 Tests[TEST_LIST_SIZE] = {};
  CHAR8 Message[PARSE_MESSAGE_SIZE] = {};
  UINT16 DimmId = ALL_DIMMS_ID;
  PoolPtr<CHAR8> ResultMessage;

  ActionResource Resource;
  if (!Resource.Load(Rest, Uri, "(UEFI UPDATE - RD)Error to parse Json file : %a", Message,
                     sizeof(Message))) {
    return;
  }
  BuildTestList(Resource, Tests);

  BOOLEAN AllDimms = TRUE;
  const CHAR8 *DimmPhysicalId = Resource.String("DimmPhysicalId");
  UINT64 Value = 0;
  if (!StrEqual(Uri, RUN_DIAGNOSTICS_URI) && DimmPhysicalId != nullptr &&
      HexToUintn(DimmPhysicalId, &Value) != EFI_INVALID_PARAMETER) {
    // Diagnostics change nothing on the modules; the id keeps its low 16 bits.
    DimmId = static_cast<UINT16>(Value);
    AllDimms = DimmId == ALL_DIMMS_ID ? TRUE : FALSE;
  }

  EFI_STATUS Status = Nvdimm->RunDiagnostics(AllDimms, &DimmId, Tests, ResultMessage.Receive());
  const CHAR8 *Report = ResultMessage ? ResultMessage.Get() : NO_RESULT_MESSAGE;
  (void)PatchActionStatus(Rest, Status == EFI_SUCCESS ? "Success" : "Failed", Report);
}
