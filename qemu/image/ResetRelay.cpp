#include "qemu/image/ResetRelay.h"

#include "core/BootServices.h"
#include "platform/Guids.h"
#include "qemu/image/UefiGuids.h"

namespace {

// The notification function gets no context: the one installed relay.
ResetRelay *mInstalled = nullptr;

}  // namespace

EFI_STATUS ResetRelay::Install(RESET_RELAY_HANDLER Handler, void *Context) {
  if (mInstalled != nullptr) {
    return EFI_ALREADY_STARTED;
  }
  VOID *Interface = nullptr;
  EFI_STATUS Status = gBS->LocateProtocol(&gEfiResetNotificationProtocolGuid, nullptr, &Interface);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  if (Interface == nullptr) {
    return EFI_NOT_FOUND;
  }
  // Signalling any member signals the whole group; the relay's own member
  // has nothing to do when it runs.
  EFI_EVENT Event = nullptr;
  Status = gBS->CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, OnGroupSignal, nullptr,
                              &gEfiEventGroupResetSystemGuid, &Event);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  auto *Notification = static_cast<EFI_RESET_NOTIFICATION_PROTOCOL *>(Interface);
  Status = Notification->RegisterResetNotify(Notification, OnResetSystem);
  if (EFI_ERROR(Status)) {
    (void)gBS->CloseEvent(Event);
    return Status;
  }
  mNotification = Notification;
  mGroupEvent = Event;
  mHandler = Handler;
  mContext = Context;
  mInstalled = this;
  return EFI_SUCCESS;
}

void ResetRelay::Uninstall() {
  if (mInstalled != this) {
    return;
  }
  (void)mNotification->UnregisterResetNotify(mNotification, OnResetSystem);
  (void)gBS->CloseEvent(mGroupEvent);
  mNotification = nullptr;
  mGroupEvent = nullptr;
  mInstalled = nullptr;
}

VOID EFIAPI ResetRelay::OnResetSystem(EFI_RESET_TYPE ResetType, EFI_STATUS /*ResetStatus*/,
                                      UINTN /*DataSize*/, VOID * /*ResetData*/) {
  ResetRelay *Relay = mInstalled;
  // A ResetSystem called from within the relay (by a member of the group,
  // or by the handler) resets without a second round.
  if (Relay == nullptr || Relay->mRelaying) {
    return;
  }
  Relay->mRelaying = true;
  // The members above the caller's TPL run inside this call, as they would
  // inside a ResetSystem that signals the group itself; the rest never run,
  // since the reset does not come back.
  (void)gBS->SignalEvent(Relay->mGroupEvent);
  Relay->mHandler(Relay->mContext, ResetType);
}

VOID EFIAPI ResetRelay::OnGroupSignal(EFI_EVENT /*Event*/, VOID * /*Context*/) {}
