#include "driver/ProtocolNotify.h"

#include "core/BootServices.h"

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

void CloseAllNotifyEvents(ActionContext *Context) {
  for (EFI_EVENT Event : Context->NotifyEvents) {
    if (Event != nullptr) {
      (void)gBS->CloseEvent(Event);
    }
  }
}
