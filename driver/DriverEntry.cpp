#include "core/BootServices.h"
#include "core/Json.h"
#include "core/Pool.h"
#include "driver/Driver.h"
#include "driver/ProtocolNotify.h"
#include "platform/Guids.h"

ActionContext *gActionContext = nullptr;

extern "C" EFI_STATUS EFIAPI DriverEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  gST = SystemTable;
  gBS = SystemTable->BootServices;
  gRT = SystemTable->RuntimeServices;
  InstallJsonAllocator();

  auto Context = PoolPtr<ActionContext>::AllocateZeroed();
  if (!Context) {
    return EFI_OUT_OF_RESOURCES;
  }

  BOOLEAN Found = FALSE;
  (void)DiscoverServices(&Found, Context.Get());

  // One registration location shared by the three notify events; the key
  // written there is never read.
  VOID *Registration = nullptr;
  if (!Found) {
    (void)CreateProtocolNotifyEvent(ProtocolGuid<EFI_REST_PROTOCOL>::Get(), OnServiceNotify,
                                    Context.Get(), &Registration);
  }
  (void)CreateProtocolNotifyEvent(&gRedfishReadyGuid, OnServiceNotify, Context.Get(),
                                  &Registration);
  (void)CreateProtocolNotifyEvent(&gLocalRequestTriggerGuid, OnLocalRequestCheck, Context.Get(),
                                  &Registration);

  EFI_EVENT ResetEvent = nullptr;
  EFI_STATUS Status =
      gBS->CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_NOTIFY, OnLocalRequestCheck, Context.Get(),
                         &gEfiEventGroupResetSystemGuid, &ResetEvent);
  if (EFI_ERROR(Status)) {
    // The firmware unloads an image whose entry fails: no notification may
    // stay registered, and nothing refers to the context any more.
    CloseAllNotifyEvents(Context.Get());
    return Status;
  }
  // EDK2 never signals the reset-system group: its ResetSystem calls the
  // functions registered through the reset notification protocol instead.
  // The guard registers there as well, once the protocol is found; it still
  // acts once per boot on a platform that does both.
  gActionContext = Context.Get();
  (void)CreateProtocolNotifyEvent(&gEfiResetNotificationProtocolGuid, OnResetNotificationInstalled,
                                  Context.Get(), &Registration);
  // The context lives for the rest of boot services.
  (void)Context.Release();
  return Status;
}
