#include "qemu/image/ResetHook.h"

#include "core/ProtocolLookup.h"
#include "qemu/image/UefiGuids.h"

namespace {

// The reset function gets no context: the one installed hook.
ResetHook *mInstalled = nullptr;

}  // namespace

EFI_STATUS ResetHook::Install(RESET_HOOK_HANDLER Handler, void *Context) {
  if (mInstalled != nullptr) {
    return EFI_ALREADY_STARTED;
  }
  EDKII_PLATFORM_SPECIFIC_RESET_HANDLER_PROTOCOL *Handlers = nullptr;
  EFI_STATUS Status = LocateProtocol(&Handlers);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  Status = Handlers->RegisterResetNotify(Handlers, OnResetSystem);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  mHandlers = Handlers;
  mHandler = Handler;
  mContext = Context;
  mInstalled = this;
  return EFI_SUCCESS;
}

void ResetHook::Uninstall() {
  if (mInstalled != this) {
    return;
  }
  (void)mHandlers->UnregisterResetNotify(mHandlers, OnResetSystem);
  mHandlers = nullptr;
  mInstalled = nullptr;
}

VOID EFIAPI ResetHook::OnResetSystem(EFI_RESET_TYPE ResetType, EFI_STATUS /*ResetStatus*/,
                                     UINTN /*DataSize*/, VOID * /*ResetData*/) {
  ResetHook *Hook = mInstalled;
  // A ResetSystem called from within the handler resets without a second
  // round.
  if (Hook == nullptr || Hook->mHandling) {
    return;
  }
  Hook->mHandling = true;
  Hook->mHandler(Hook->mContext, ResetType);
}
