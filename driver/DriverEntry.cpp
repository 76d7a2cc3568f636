#include "core/BootServices.h"
#include "core/Json.h"
#include "core/Pool.h"
#include "driver/ActionContext.h"
#include "platform/Guids.h"

EFI_SYSTEM_TABLE *gST = nullptr;
EFI_BOOT_SERVICES *gBS = nullptr;
EFI_RUNTIME_SERVICES *gRT = nullptr;

EFI_EVENT CreateProtocolNotifyEvent(EFI_GUID *Guid, EFI_EVENT_NOTIFY NotifyFunction,
                                    ActionContext *Context, VOID **Registration) {
  EFI_EVENT Event = nullptr;
  (void)gBS->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, NotifyFunction, Context, &Event);
  // Recorded before the signal below, which may already run the notification.
  for (EFI_EVENT &Slot : Context->NotifyEvents) {
    if (Slot == nullptr) {
      Slot = Event;
      break;
    }
  }
  (void)gBS->RegisterProtocolNotify(Guid, Event, Registration);
  (void)gBS->SignalEvent(Event);
  return Event;
}

void CloseNotifyEvent(ActionContext *Context, EFI_EVENT Event) {
  for (EFI_EVENT &Slot : Context->NotifyEvents) {
    if (Slot == Event) {
      Slot = nullptr;
    }
  }
  (void)gBS->CloseEvent(Event);
}

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
    CreateProtocolNotifyEvent(&gEfiRestProtocolGuid, OnServiceNotify, Context.Get(), &Registration);
  }
  CreateProtocolNotifyEvent(&gRedfishReadyGuid, OnServiceNotify, Context.Get(), &Registration);
  CreateProtocolNotifyEvent(&gLocalRequestTriggerGuid, OnLocalRequestCheck, Context.Get(),
                            &Registration);

  EFI_EVENT ResetEvent = nullptr;
  EFI_STATUS Status = gBS->CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_NOTIFY, OnLocalRequestCheck,
                                         Context.Get(), &gEfiEventGroupResetSystemGuid, &ResetEvent);
  if (EFI_ERROR(Status)) {
    // The firmware unloads an image whose entry fails: no notification may
    // stay registered, and nothing refers to the context any more.
    for (EFI_EVENT Event : Context->NotifyEvents) {
      if (Event != nullptr) {
        (void)gBS->CloseEvent(Event);
      }
    }
    return Status;
  }
  // The context lives for the rest of boot services.
  (void)Context.Release();
  return Status;
}
