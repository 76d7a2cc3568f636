#include "emulator/ResetNotifications.h"

#include "emulator/Firmware.h"

namespace {

ResetNotifications *mInstance = nullptr;

}  // namespace

ResetNotifications::ResetNotifications() : mProtocol{Register, Unregister} { mInstance = this; }

EFI_STATUS EFIAPI ResetNotifications::Register(EFI_RESET_NOTIFICATION_PROTOCOL *This,
                                               EFI_RESET_SYSTEM ResetFunction) {
  if (This != &mInstance->mProtocol || ResetFunction == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  for (const Entry &Registered : mInstance->mEntries) {
    if (Registered.Function == ResetFunction) {
      return EFI_ALREADY_STARTED;
    }
  }
  mInstance->mEntries.push_back({ResetFunction, Firmware::Instance().CurrentSide()});
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI ResetNotifications::Unregister(EFI_RESET_NOTIFICATION_PROTOCOL *This,
                                                 EFI_RESET_SYSTEM ResetFunction) {
  if (This != &mInstance->mProtocol || ResetFunction == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  std::vector<Entry> &Entries = mInstance->mEntries;
  for (auto Registered = Entries.begin(); Registered != Entries.end(); ++Registered) {
    if (Registered->Function == ResetFunction) {
      Entries.erase(Registered);
      return EFI_SUCCESS;
    }
  }
  return EFI_INVALID_PARAMETER;
}

void ResetNotifications::Notify(EFI_RESET_TYPE Type, EFI_STATUS ResetStatus) {
  // A function may unregister itself or others while the list is walked.
  std::vector<Entry> Entries = mEntries;
  for (const Entry &Registered : Entries) {
    SideScope Owner(Registered.Owner);
    Registered.Function(Type, ResetStatus, 0, nullptr);
  }
}
