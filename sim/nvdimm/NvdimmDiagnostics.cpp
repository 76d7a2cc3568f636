// Diagnostics of the NVDIMM model: the test names, the test list a caller
// passes, and the outcome of a run.
#include "sim/nvdimm/NvdimmModel.h"

namespace {

/// Longest test list read; the longest sensible one,
/// "All,Quick,Config,Security,Fw", is far shorter.
constexpr UINTN TEST_LIST_MAX_LENGTH = 200;

struct TEST_NAME {
  const CHAR8 *Name;
  UINT8 Set;
};

const TEST_NAME mTestNames[] = {
    {"All", NVDIMM_TEST_ALL},       {"Quick", NVDIMM_TEST_QUICK},
    {"Config", NVDIMM_TEST_CONFIG}, {"Security", NVDIMM_TEST_SECURITY},
    {"Fw", NVDIMM_TEST_FW},
};

/// Appends the names of the tests in Set, in their fixed order, separated by Separator.
void AddTestNames(NvdimmMessage &Text, UINT8 Set, const CHAR8 *Separator) {
  bool First = true;
  for (UINT8 Test = NVDIMM_TEST_QUICK; Test <= NVDIMM_TEST_FW;
       Test = static_cast<UINT8>(Test << 1)) {
    if ((Set & Test) != 0) {
      Text.Add(First ? "" : Separator).Add(NvdimmTestName(Test));
      First = false;
    }
  }
}

}  // namespace

const CHAR8 *NvdimmTestName(UINT8 Test) {
  for (const TEST_NAME &Entry : mTestNames) {
    if (Entry.Set == Test) {
      return Entry.Name;
    }
  }
  return "?";
}

bool NvdimmParseTestName(const CHAR8 *Name, UINTN Length, UINT8 *Test) {
  for (const TEST_NAME &Entry : mTestNames) {
    if (NvdimmBytesEqualNoCase(Name, Length, Entry.Name)) {
      *Test = Entry.Set;
      return true;
    }
  }
  return false;
}

EFI_STATUS NvdimmParseTests(const CHAR8 *Tests, UINT8 *Set, NvdimmMessage &Error) {
  if (Tests == nullptr) {
    Error.Add("Diagnostics test list missing");
    return EFI_INVALID_PARAMETER;
  }
  UINTN Length = NvdimmStrLen(Tests, TEST_LIST_MAX_LENGTH + 1);
  if (Length > TEST_LIST_MAX_LENGTH) {
    Error.Add("Diagnostics test list over ").AddDecimal(TEST_LIST_MAX_LENGTH).Add(" bytes");
    return EFI_INVALID_PARAMETER;
  }
  // An empty list asks for nothing; running a default set instead would
  // hide a request that lost its switches on the way.
  if (Length == 0) {
    Error.Add("No diagnostics test selected");
    return EFI_INVALID_PARAMETER;
  }
  UINT8 Selected = 0;
  UINTN Start = 0;
  while (Start <= Length) {
    UINTN End = Start;
    while (End < Length && Tests[End] != ',') {
      End++;
    }
    UINT8 Test = 0;
    if (End == Start) {
      Error.Add("Empty name in diagnostics test list");
      return EFI_INVALID_PARAMETER;
    }
    if (!NvdimmParseTestName(Tests + Start, End - Start, &Test)) {
      UINTN Shown = End - Start < 24 ? End - Start : 24;
      Error.Add("Unknown diagnostics test '").AddCut(Tests + Start, Shown).Add("'");
      return EFI_INVALID_PARAMETER;
    }
    Selected |= Test;
    Start = End + 1;
  }
  *Set = Selected;
  return EFI_SUCCESS;
}

EFI_STATUS NvdimmModel::RunDiagnostics(bool AllDimms, UINT16 DimmId, UINT8 Tests,
                                       NvdimmMessage &Result) {
  UINTN First = 0;
  UINTN Last = ModuleCount;
  if (!AllDimms) {
    First = FindModule(DimmId);
    if (First == ModuleCount) {
      Result.Add("DIMM ").AddHex(DimmId).Add(" not found");
      return EFI_NOT_FOUND;
    }
    Last = First + 1;
  } else if (ModuleCount == 0) {
    Result.Add("No DIMMs to test");
    return EFI_NOT_FOUND;
  }
  EFI_STATUS Status = EFI_SUCCESS;
  Result.Add("Diagnostics ");
  AddTestNames(Result, Tests, ",");
  Result.Add(":");
  for (UINTN Index = First; Index < Last; Index++) {
    NvdimmModule &Module = Modules[Index];
    UINT8 Failed = static_cast<UINT8>(Module.FailingTests & Tests);
    Module.Diagnosed = Tests;
    Module.DiagnosedFailed = Failed;
    Result.Add(Index == First ? " DIMM " : "; DIMM ").AddHex(Module.Id);
    if (Failed == 0) {
      Result.Add(" passed");
      continue;
    }
    Result.Add(" failed ");
    AddTestNames(Result, Failed, ",");
    Status = EFI_DEVICE_ERROR;
  }
  return Status;
}
