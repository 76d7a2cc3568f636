// EFI_RESET_NOTIFICATION_PROTOCOL as EDK2 produces it: functions registered
// here are called by ResetSystem before the reset, in the order they were
// registered, at the caller's TPL. The emulated machine offers it (and calls
// the functions) when the scenario's platform resets the EDK2 way.
#pragma once

#include <vector>

#include "emulator/Problems.h"
#include "emulator/Side.h"
#include "uefi/ResetNotification.h"

class ResetNotifications {
 public:
  ResetNotifications();
  ResetNotifications(const ResetNotifications &) = delete;
  ResetNotifications &operator=(const ResetNotifications &) = delete;

  /// The protocol instance to install.
  EFI_RESET_NOTIFICATION_PROTOCOL *Protocol() { return &mProtocol; }

  /// Calls every registered function with ResetSystem's arguments, each on
  /// the side that registered it.
  void Notify(EFI_RESET_TYPE Type, EFI_STATUS ResetStatus);

  /// Forgets every registration (a new boot).
  void Reset() { mEntries.clear(); }

  /// How many functions are registered.
  [[nodiscard]] size_t Count() const { return mEntries.size(); }

 private:
  struct Entry {
    EFI_RESET_SYSTEM Function;
    Side Owner;
  };

  static EFI_STATUS EFIAPI Register(EFI_RESET_NOTIFICATION_PROTOCOL *This,
                                    EFI_RESET_SYSTEM ResetFunction);
  static EFI_STATUS EFIAPI Unregister(EFI_RESET_NOTIFICATION_PROTOCOL *This,
                                      EFI_RESET_SYSTEM ResetFunction);

  EFI_RESET_NOTIFICATION_PROTOCOL mProtocol;
  std::vector<Entry> mEntries;
};
