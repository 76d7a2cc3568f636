#include "actions/ActionFrame.h"
#include "actions/Handlers.h"
#include "text/TextHelpers.h"

namespace {

constexpr UINT32 NO_REGION = 0xFFFFFFFF;
constexpr UINT64 NO_CAPACITY = ~static_cast<UINT64>(0);

/// The region named by RegionId, or NO_REGION when it names none: absent,
/// no hexadecimal digit, or beyond 32 bits (never cut to another region).
UINT32 ReadRegionId(const CHAR8 *RegionId) {
  UINT64 Value = 0;
  if (RegionId == nullptr || HexToUintn(RegionId, &Value) == EFI_INVALID_PARAMETER ||
      !HasHexDigits(RegionId) || Value > NO_REGION) {
    return NO_REGION;
  }
  return static_cast<UINT32>(Value);
}

}  // namespace

void CreateNamespaceAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                           NVDIMM_ACTION_PROTOCOL *Nvdimm, ActionRecord *Record) {
  ActionFrame<STATUS_MESSAGE_SIZE> Frame(Uri, Rest, Record);
  if (!Frame.Load("(UEFI UPDATE - CN): Error to parse Json file - %a\n")) {
    return;
  }

  UINT32 RegionId = ReadRegionId(Frame.String("RegionId"));
  PoolPtr<CHAR8> Name = Frame.CopyString("Name");
  PoolPtr<CHAR8> Mode = Frame.CopyString("Mode");
  UINT64 CapacityMiB = Frame.Integer("CapacityMiB", NO_CAPACITY);
  if (RegionId == NO_REGION || !Name || !Mode || CapacityMiB == NO_CAPACITY) {
    Frame.ReportFormatted("Failed", "(UEFI UPDATE - CN): Invalid Parameters for CreateNamespace");
    return;
  }

  CHAR8 ErrorMessage[NVDIMM_ERROR_MESSAGE_SIZE] = {};
  EFI_STATUS Status =
      Nvdimm->CreateNamespace(RegionId, Name.Get(), CapacityMiB, Mode.Get(), ErrorMessage);
  Frame.ReportOutcome(Status, "(UEFI UPDATE): CreateNamespace performed Successfully",
                      "(UEFI UPDATE - CN):%a", ErrorMessage);
}
