// The emulated UEFI machine of nvdimm-emu: one per process, holding the
// system table, boot services, runtime services and pool that the driver and
// the simulated platform run on. Boot services behave as EDK2's DXE core
// does, not as mocks: notifications run by TPL, protocol installation
// notifies, and every pool block is accounted to the side that holds it.
//
// A run is PowerOn(), then BeginBoot() ... EndBoot() for each boot.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "emulator/Events.h"
#include "emulator/Handles.h"
#include "emulator/Network.h"
#include "emulator/Pool.h"
#include "emulator/Problems.h"
#include "emulator/ResetNotifications.h"
#include "emulator/Side.h"
#include "uefi/UefiTables.h"

/// Called by ResetSystem after the reset-system group has been notified. It
/// must not return (the runner leaves the boot with longjmp, as a reset never
/// returns to its caller). By is the side that called ResetSystem.
using RESET_HANDLER = void (*)(void *Context, EFI_RESET_TYPE Type, Side By);

class Firmware {
 public:
  /// The machine of this process.
  static Firmware &Instance();

  Firmware(const Firmware &) = delete;
  Firmware &operator=(const Firmware &) = delete;

  /// Starts a fresh run: releases every pool block, forgets counters,
  /// problems, failure injection and the reset handler; no boot is running.
  void PowerOn();

  /// Starts the next boot: a fresh handle database, events, registrations,
  /// TPL_APPLICATION, refilled tables, the platform running. Platform blocks
  /// stay allocated; the driver's blocks of the previous boot are dropped
  /// from the accounting. Ends the running boot first if there is one.
  void BeginBoot();

  /// Ends the running boot (its last step, or a reset): pending
  /// notifications are dropped and the platform is running again. The
  /// driver's blocks stay counted until the next BeginBoot().
  void EndBoot();

  /// 1-based number of the running (or last) boot; 0 before the first.
  [[nodiscard]] UINT32 BootNumber() const { return mBoot; }

  /// The tables. Their addresses never change; BeginBoot() refills them.
  [[nodiscard]] EFI_SYSTEM_TABLE *SystemTable() { return &mSystemTable; }
  [[nodiscard]] EFI_BOOT_SERVICES *BootServices() { return &mBootServices; }
  [[nodiscard]] EFI_RUNTIME_SERVICES *RuntimeServices() { return &mRuntimeServices; }

  /// The side running now; new allocations and events are charged to it.
  [[nodiscard]] Side CurrentSide() const { return mSides.Current(); }
  void SetSide(Side Which) { mSides.Set(Which); }

  /// A call from the driver into a platform protocol (or the REST producer's)
  /// begins / returns.
  void EnterPlatform() { mSides.Enter(); }
  void LeavePlatform() { mSides.Leave(); }

  /// A call into the REST producer begins / returns. A producer that holds
  /// more blocks after the call than before (its answer handed over) kept
  /// memory a request should not keep: a problem.
  void EnterProducer();
  void LeaveProducer();

  /// The platform's or the producer's block Block is now held by the driver
  /// (a response body handed over). Unknown or driver blocks are recorded as
  /// problems.
  void HandOver(VOID *Block) { mPool.HandOver(Block); }

  /// The N-th AllocatePool made by the driver in this run (1-based, across
  /// boots) returns EFI_OUT_OF_RESOURCES; 0 turns injection off.
  void SetFailAllocation(UINT64 N) { mPool.SetFailAllocation(N); }

  /// AllocatePool calls made by the driver so far in this run.
  [[nodiscard]] UINT64 DriverAllocationCount() const { return mPool.DriverAllocations(); }

  /// Blocks and bytes the driver holds in this boot, except its context
  /// record: the first block it successfully allocated in this boot.
  [[nodiscard]] HeldMemory DriverHeld() const { return mPool.DriverHeld(); }

  /// The most bytes the driver held at once, context record included, since
  /// the last ResetDriverPeak() or the start of the boot.
  [[nodiscard]] UINT64 DriverPeakBytes() const { return mPool.DriverPeakBytes(); }
  void ResetDriverPeak() { mPool.ResetDriverPeak(); }

  /// The runner's reset handler, called by ResetSystem (Handler may be null).
  void SetResetHandler(RESET_HANDLER Handler, void *Context);

  /// What ResetSystem does before the reset: signal the reset-system event
  /// group (the UEFI standard; the default), call the functions registered
  /// with EFI_RESET_NOTIFICATION_PROTOCOL (EDK2, which then installs that
  /// protocol at the start of every boot), or both, the group first. Kept
  /// until the next PowerOn().
  void SetResetBehaviour(bool SignalGroup, bool CallNotifications);

  /// ResetSystem: notifies the reset-system event group (its members above
  /// the caller's TPL run at once) and/or calls the registered reset
  /// notifications at the caller's TPL, then calls the reset handler. Aborts
  /// the process if there is no handler or it returns.
  [[noreturn]] void ResetSystem(EFI_RESET_TYPE Type);

  /// The TPL the machine runs at now.
  [[nodiscard]] EFI_TPL CurrentTpl() const { return mEvents.CurrentTpl(); }

  /// The network: its setup is kept from boot to boot until the next
  /// PowerOn().
  EmulatedNetwork &Network() { return mNetwork; }

  /// A variable GetVariable finds (Name under Guid), kept until PowerOn().
  void SetVariable(const std::u16string &Name, const EFI_GUID &Guid, std::string Data);
  /// GetVariable.
  [[nodiscard]] EFI_STATUS GetVariable(const CHAR16 *Name, const EFI_GUID *Guid, UINT32 *Attributes,
                                       UINTN *DataSize, VOID *Data) const;

  /// InstallConfigurationTable: adds, replaces or (Table null) removes the
  /// entry of Guid in the system table.
  [[nodiscard]] EFI_STATUS InstallConfigurationTable(const EFI_GUID *Guid, VOID *Table);

  /// Problems seen since the last call, one line each, oldest first.
  [[nodiscard]] std::vector<std::string> TakeProblems() { return mProblems.Take(); }

  /// The parts behind the service entry points.
  ProblemLog &Problems() { return mProblems; }
  EmulatedPool &Pool() { return mPool; }
  EventTable &Events() { return mEvents; }
  HandleDatabase &Handles() { return mHandles; }

 private:
  Firmware();
  void ClearBootState();
  /// Points the system table at the configuration tables (its CRC again).
  void PublishConfigurationTables();

  ProblemLog mProblems;
  SideTracker mSides{mProblems};
  EmulatedPool mPool{mProblems};
  EventTable mEvents{mProblems, mSides};
  HandleDatabase mHandles{mProblems, mEvents};
  EmulatedNetwork mNetwork{mProblems, mEvents, mHandles};
  std::vector<EFI_CONFIGURATION_TABLE> mConfigurationTables;
  std::map<std::pair<std::u16string, std::string>, std::string> mVariables;
  std::vector<UINT64> mProducerBlocksAtEntry;
  EFI_SYSTEM_TABLE mSystemTable = {};
  EFI_BOOT_SERVICES mBootServices = {};
  EFI_RUNTIME_SERVICES mRuntimeServices = {};
  ResetNotifications mResetNotifications;
  bool mSignalResetGroup = true;
  bool mCallResetNotifications = false;
  RESET_HANDLER mResetHandler = nullptr;
  void *mResetContext = nullptr;
  UINT32 mBoot = 0;
  bool mInBoot = false;
};

/// Runs a scope as one side and restores the side before it on exit.
class SideScope {
 public:
  explicit SideScope(Side Which) : mSaved(Firmware::Instance().CurrentSide()) {
    Firmware::Instance().SetSide(Which);
  }
  ~SideScope() { Firmware::Instance().SetSide(mSaved); }
  SideScope(const SideScope &) = delete;
  SideScope &operator=(const SideScope &) = delete;

 private:
  Side mSaved;
};
