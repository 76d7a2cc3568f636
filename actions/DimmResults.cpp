#include "actions/DimmResults.h"

#include "core/Memory.h"
#include "text/TextHelpers.h"

namespace {

constexpr UINTN DIMM_LINE_SIZE = 100;

}  // namespace

void FormatDimmResults(const DIMM_RESULT_LIST &Results, CHAR8 *Text) {
  if (Results.Results == nullptr) {
    return;
  }
  for (UINT64 Index = 0; Index < Results.Count; Index++) {
    const DIMM_RESULT &Result = Results.Results[Index];
    // The component's status text is read only within its 80 bytes.
    CHAR8 StatusText[NVDIMM_RESULT_STATUS_SIZE + 1] = {};
    CopyMem(StatusText, Result.Status, NVDIMM_RESULT_STATUS_SIZE);
    CHAR8 Line[DIMM_LINE_SIZE] = {};
    BoundedFormat(Line, sizeof(Line), "DimmId:0x%4X; Status:%a; ",
                  static_cast<UINT32>(Result.DimmId), StatusText);
    (void)BoundedAppend(Text, DIMM_RESULT_TEXT_SIZE, Line);
  }
}
