#include "actions/ActionFrame.h"
#include "actions/Handlers.h"
#include "core/BootServices.h"
#include "redfish/ActionStatusClient.h"

namespace {

constexpr UINT64 NO_VALUE = 0xFFFFFFFF;

}  // namespace

void CreateGoalAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest, NVDIMM_ACTION_PROTOCOL *Nvdimm) {
  CHAR8 ErrorMessage[NVDIMM_ERROR_MESSAGE_SIZE] = {};
  CHAR8 Message[STATUS_MESSAGE_SIZE] = {};
  ActionResource Resource;
  if (!Resource.Load(Rest, Uri, "(UEFI UPDATE - CG): Error to parse Json file - %a\n", Message,
                     sizeof(Message))) {
    return;
  }

  PoolPtr<CHAR8> ConfigurationLevel = Resource.CopyString("ConfigurationLevel");
  auto Reserved = static_cast<UINT32>(Resource.Integer("Reserved", NO_VALUE));
  auto MemoryMode = static_cast<UINT32>(Resource.Integer("MemoryMode", NO_VALUE));
  PoolPtr<CHAR8> PersistentMemoryType = Resource.CopyString("PersistentMemoryType");
  if (!ConfigurationLevel || Reserved == NO_VALUE || MemoryMode == NO_VALUE ||
      !PersistentMemoryType) {
    ReportFailure(Rest, Message, sizeof(Message),
                  "(UEFI UPDATE - CG): Invalid Parameters for CreateGoal");
    return;
  }

  // The component takes MemoryMode before Reserved.
  EFI_STATUS Status = Nvdimm->CreateGoal(ConfigurationLevel.Get(), MemoryMode, Reserved,
                                         PersistentMemoryType.Get(), ErrorMessage);
  if (Status != EFI_SUCCESS) {
    TerminateErrorMessage(ErrorMessage);
    ReportFailure(Rest, Message, sizeof(Message), "(UEFI UPDATE-CG):%a", ErrorMessage);
    return;
  }

  // The goal takes effect at the next boot, whose poll completes the action.
  (void)PatchActionStatus(Rest, "Inprogress",
                          "(UEFI UPDATE): CreateGoal Configuration applied and Reset");
  // Keeps the local-request guard silent during the driver's own reset.
  Nvdimm->ResetPending = 1;
  gRT->ResetSystem(EfiResetWarm, EFI_SUCCESS, 0, nullptr);
  // A reset that returns leaves the action failed, with the still-empty text.
  (void)PatchActionStatus(Rest, "Failed", Message);
}
