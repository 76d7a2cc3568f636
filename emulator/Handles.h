// The handle database: handles in creation order, protocol interfaces in
// installation order, and protocol-notify registrations, with the semantics
// of EDK2's DXE core. Installing a protocol signals the events registered for
// it; the caller runs the notifications once the database is consistent
// again (DispatchPending), as the DXE core does when it releases its lock.
#pragma once

#include <vector>

#include "emulator/Events.h"
#include "emulator/Problems.h"
#include "uefi/UefiTables.h"

// OpenProtocol attributes.
constexpr UINT32 OPEN_BY_HANDLE_PROTOCOL = 0x01;
constexpr UINT32 OPEN_GET_PROTOCOL = 0x02;
constexpr UINT32 OPEN_TEST_PROTOCOL = 0x04;
constexpr UINT32 OPEN_BY_CHILD_CONTROLLER = 0x08;
constexpr UINT32 OPEN_BY_DRIVER = 0x10;
constexpr UINT32 OPEN_EXCLUSIVE = 0x20;

class HandleDatabase {
 public:
  HandleDatabase(ProblemLog &Problems, EventTable &Events) : mProblems(Problems), mEvents(Events) {}

  /// Drops every handle, interface and registration.
  void Reset();

  /// InstallProtocolInterface. A null *Handle creates a handle and returns
  /// it there. Signals the registrations for Protocol without running them.
  /// EFI_INVALID_PARAMETER for a null Handle or Protocol, a non-native
  /// interface, an unknown *Handle, or a Protocol already on *Handle.
  [[nodiscard]] EFI_STATUS Install(EFI_HANDLE *Handle, const EFI_GUID *Protocol,
                                   EFI_INTERFACE_TYPE InterfaceType, VOID *Interface);

  /// UninstallProtocolInterface; a handle left with no protocol disappears.
  /// EFI_INVALID_PARAMETER for an unknown handle or a null Protocol;
  /// EFI_NOT_FOUND when Protocol with Interface is not on Handle.
  [[nodiscard]] EFI_STATUS Uninstall(EFI_HANDLE Handle, const EFI_GUID *Protocol, VOID *Interface);

  /// OpenProtocol with BY_HANDLE_PROTOCOL, GET_PROTOCOL or TEST_PROTOCOL (the
  /// other attributes are reported as unsupported: EFI_UNSUPPORTED).
  /// EFI_UNSUPPORTED (and *Interface null) when the handle lacks Protocol;
  /// EFI_INVALID_PARAMETER for null arguments, an unknown handle or unknown
  /// attributes.
  [[nodiscard]] EFI_STATUS Open(EFI_HANDLE Handle, const EFI_GUID *Protocol, VOID **Interface,
                                UINT32 Attributes);

  /// RegisterProtocolNotify. The registration's position starts before the
  /// first interface of Protocol, installed or to come. EFI_INVALID_PARAMETER
  /// for null arguments or an unknown event.
  [[nodiscard]] EFI_STATUS RegisterNotify(const EFI_GUID *Protocol, EFI_EVENT Event,
                                          VOID **Registration);

  /// The handles a LocateHandle search finds, in order, into Found: all
  /// handles in creation order, the handles of Protocol in the order it was
  /// installed, or for ByRegisterNotify the one next handle of the
  /// registration SearchKey (the position moves only with Consume()).
  /// EFI_INVALID_PARAMETER for an unknown search type, a null Protocol or an
  /// unknown registration; EFI_NOT_FOUND when nothing matches.
  [[nodiscard]] EFI_STATUS Search(EFI_LOCATE_SEARCH_TYPE SearchType, const EFI_GUID *Protocol,
                                  VOID *SearchKey, std::vector<EFI_HANDLE> &Found) const;

  /// Moves the registration past the interface Search() found for it.
  void Consume(VOID *Registration);

  /// LocateProtocol: the first interface of Protocol in installation order,
  /// or with a Registration the next one new to it (which it then consumes).
  /// EFI_INVALID_PARAMETER for a null Interface or an unknown registration;
  /// EFI_NOT_FOUND when none (*Interface null).
  [[nodiscard]] EFI_STATUS LocateProtocol(const EFI_GUID *Protocol, VOID *Registration,
                                          VOID **Interface);

  /// Drops the registrations of an event being closed.
  void ForgetEvent(EFI_EVENT Event);

  /// TRUE for a handle that exists now (it has at least one protocol).
  [[nodiscard]] bool IsHandle(EFI_HANDLE Handle) const;

 private:
  struct Installed {
    EFI_GUID Protocol;
    EFI_HANDLE Handle;
    VOID *Interface;
    UINT64 Serial;
  };
  struct NotifyEntry {
    VOID *Key;
    EFI_GUID Protocol;
    EFI_EVENT Event;
    UINT64 Position;  // serial of the last interface handed out; 0 before all
  };

  const Installed *Find(EFI_HANDLE Handle, const EFI_GUID &Protocol) const;
  const Installed *NextFor(const NotifyEntry &Entry) const;
  const NotifyEntry *FindRegistration(const VOID *Key) const;

  ProblemLog &mProblems;
  EventTable &mEvents;
  std::vector<EFI_HANDLE> mHandles;   // creation order
  std::vector<Installed> mInstalled;  // installation order
  std::vector<NotifyEntry> mRegistrations;
  UINT64 mNextSerial = 1;  // never reset, so no handle value is reused
};
