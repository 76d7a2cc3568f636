// TPL, event and timer boot services of the emulated machine.
#include <chrono>
#include <thread>

#include "emulator/Firmware.h"
#include "emulator/Services.h"

namespace {

EFI_TPL EFIAPI RaiseTpl(EFI_TPL NewTpl) { return Firmware::Instance().Events().Raise(NewTpl); }

VOID EFIAPI RestoreTpl(EFI_TPL OldTpl) { Firmware::Instance().Events().Restore(OldTpl); }

EFI_STATUS EFIAPI CreateEvent(UINT32 Type, EFI_TPL NotifyTpl, EFI_EVENT_NOTIFY NotifyFunction,
                              VOID *NotifyContext, EFI_EVENT *Event) {
  return Firmware::Instance().Events().Create(Type, NotifyTpl, NotifyFunction, NotifyContext,
                                              nullptr, Event);
}

EFI_STATUS EFIAPI CreateEventEx(UINT32 Type, EFI_TPL NotifyTpl, EFI_EVENT_NOTIFY NotifyFunction,
                                const VOID *NotifyContext, const EFI_GUID *EventGroup,
                                EFI_EVENT *Event) {
  return Firmware::Instance().Events().Create(Type, NotifyTpl, NotifyFunction, NotifyContext,
                                              EventGroup, Event);
}

EFI_STATUS EFIAPI SignalEvent(EFI_EVENT Event) {
  return Firmware::Instance().Events().Signal(Event);
}

EFI_STATUS EFIAPI CloseEvent(EFI_EVENT Event) {
  Firmware &Machine = Firmware::Instance();
  const EFI_STATUS Status = Machine.Events().Close(Event);
  if (!EFI_ERROR(Status)) {
    Machine.Handles().ForgetEvent(Event);
  }
  return Status;
}

EFI_STATUS EFIAPI CheckEvent(EFI_EVENT Event) { return Firmware::Instance().Events().Check(Event); }

EFI_STATUS EFIAPI SetTimer(EFI_EVENT Event, EFI_TIMER_DELAY Type, UINT64 TriggerTime) {
  return Firmware::Instance().Events().SetTimer(Event, Type, TriggerTime);
}

EFI_STATUS EFIAPI Stall(UINTN Microseconds) {
  std::this_thread::sleep_for(std::chrono::microseconds(Microseconds));
  Firmware::Instance().Events().PollTimers();
  return EFI_SUCCESS;
}

}  // namespace

void FillEventServices(EFI_BOOT_SERVICES &Table) {
  Table.RaiseTPL = RaiseTpl;
  Table.RestoreTPL = RestoreTpl;
  Table.CreateEvent = CreateEvent;
  Table.CreateEventEx = CreateEventEx;
  Table.SignalEvent = SignalEvent;
  Table.CloseEvent = CloseEvent;
  Table.CheckEvent = CheckEvent;
  Table.SetTimer = SetTimer;
  Table.Stall = Stall;
}
