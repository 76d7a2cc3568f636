#include "actions/ActionFrame.h"
#include "actions/Handlers.h"
#include "core/Memory.h"
#include "text/TextHelpers.h"

const CHAR16 RUN_DIAGNOSTICS_URI[] =
    u"/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.RunDiagnostics";

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

void BuildTestList(const ActionFrameBase &Frame, CHAR8 (&Tests)[TEST_LIST_SIZE]) {
  if (Frame.IsTrue("ExecuteAll")) {
    (void)BoundedAppend(Tests, sizeof(Tests), "All");
    return;
  }
  for (const TestSwitch &Switch : TEST_SWITCHES) {
    if (!Frame.IsTrue(Switch.Member)) {
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
                          NVDIMM_ACTION_PROTOCOL *Nvdimm, ActionRecord *Record) {
  PoolPtr<CHAR8> ResultMessage;
  ActionFrame<PARSE_MESSAGE_SIZE> Frame(Uri, Rest, Record);
  if (!Frame.Load("(UEFI UPDATE - RD)Error to parse Json file : %a")) {
    return;
  }

  CHAR8 Tests[TEST_LIST_SIZE] = {};
  BuildTestList(Frame, Tests);
  // Every module on the all-modules URI or without a DimmPhysicalId string;
  // otherwise the id's low 16 bits (diagnostics change nothing on the
  // modules), where 0x00FF still means every module.
  BOOLEAN AllDimms = TRUE;
  UINT16 DimmId = ALL_DIMMS_ID;
  const CHAR8 *DimmPhysicalId = Frame.String("DimmPhysicalId");
  UINT64 Value = 0;
  if (!StrEqual(Uri, RUN_DIAGNOSTICS_URI) && DimmPhysicalId != nullptr &&
      HexToUintn(DimmPhysicalId, &Value) != EFI_INVALID_PARAMETER) {
    DimmId = static_cast<UINT16>(Value);
    AllDimms = DimmId == ALL_DIMMS_ID ? TRUE : FALSE;
  }

  EFI_STATUS Status = Nvdimm->RunDiagnostics(AllDimms, &DimmId, Tests, ResultMessage.Receive());
  Frame.ReportText(OutcomeStatusText(Status),
                   ResultMessage ? ResultMessage.Get() : NO_RESULT_MESSAGE);
}
