#include "actions/ActionFrame.h"
#include "actions/Handlers.h"
#include "core/BootServices.h"

namespace {

// What MemoryMode and Reserved read as when absent or not a number. The test
// below is on the low 32 bits the component takes, so a value whose low 32
// bits are all ones (4294967295, -1) is refused with the absent ones: no goal
// has that mode.
constexpr UINT64 NO_VALUE = 0xFFFFFFFF;

}  // namespace

void CreateGoalAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest, NVDIMM_ACTION_PROTOCOL *Nvdimm,
                      ActionRecord *Record) {
  ActionFrame<STATUS_MESSAGE_SIZE> Frame(Uri, Rest, Record);
  if (!Frame.Load("(UEFI UPDATE - CG): Error to parse Json file - %a\n")) {
    return;
  }

  PoolPtr<CHAR8> ConfigurationLevel = Frame.CopyString("ConfigurationLevel");
  auto Reserved = static_cast<UINT32>(Frame.Integer("Reserved", NO_VALUE));
  auto MemoryMode = static_cast<UINT32>(Frame.Integer("MemoryMode", NO_VALUE));
  PoolPtr<CHAR8> PersistentMemoryType = Frame.CopyString("PersistentMemoryType");
  if (!ConfigurationLevel || Reserved == NO_VALUE || MemoryMode == NO_VALUE ||
      !PersistentMemoryType) {
    Frame.ReportFormatted("Failed", "(UEFI UPDATE - CG): Invalid Parameters for CreateGoal");
    return;
  }

  // The component takes MemoryMode before Reserved.
  CHAR8 ErrorMessage[NVDIMM_ERROR_MESSAGE_SIZE] = {};
  EFI_STATUS Status = Nvdimm->CreateGoal(ConfigurationLevel.Get(), MemoryMode, Reserved,
                                         PersistentMemoryType.Get(), ErrorMessage);
  if (Status != EFI_SUCCESS) {
    Frame.ReportFormatted("Failed", "(UEFI UPDATE-CG):%a", ComponentMessage(ErrorMessage));
    return;
  }

  // The goal takes effect at the next boot, whose poll completes the action.
  Frame.ReportText("Inprogress", "(UEFI UPDATE): CreateGoal Configuration applied and Reset");
  // Keeps the local-request guard silent during the driver's own reset.
  Nvdimm->ResetPending = 1;
  gRT->ResetSystem(EfiResetWarm, EFI_SUCCESS, 0, nullptr);
  // A reset that returns leaves the action failed, with the still-empty text.
  Frame.ReportText("Failed", Frame.Message());
}
