// Events and task priority levels, with the semantics of EDK2's DXE core:
// notifications are queued per TPL and run when the TPL drops below theirs,
// highest TPL first and first-in first-out within one TPL, each with the TPL
// raised to its event's level and the side switched to the event's creator.
//
// No function here keeps a reference into its tables across a call to a
// notify function, so a notify function may close any event, its own too.
// Nor does any frame that calls out hold an object with a destructor: the
// runner ends a boot with longjmp from inside ResetSystem.
#pragma once

#include <array>
#include <chrono>
#include <deque>
#include <unordered_map>
#include <vector>

#include "emulator/Problems.h"
#include "emulator/Side.h"
#include "uefi/UefiTables.h"

class EventTable {
 public:
  EventTable(ProblemLog &Problems, SideTracker &Sides) : mProblems(Problems), mSides(Sides) {}

  /// Drops every event and queued notification; the TPL is TPL_APPLICATION.
  void Reset();

  /// CreateEvent (Group null) and CreateEventEx, by the current side.
  /// EFI_INVALID_PARAMETER for a null Event, a type that is not one of the
  /// standard's combinations, a notify type without a function or with a TPL
  /// outside (TPL_APPLICATION, TPL_HIGH_LEVEL), or a group given with one of
  /// the two types that name their own group.
  [[nodiscard]] EFI_STATUS Create(UINT32 Type, EFI_TPL NotifyTpl, EFI_EVENT_NOTIFY NotifyFunction,
                                  const VOID *NotifyContext, const EFI_GUID *Group,
                                  EFI_EVENT *Event);

  /// SignalEvent: queues the event (or, for a group member, every
  /// EVT_NOTIFY_SIGNAL member of its group), then runs what the current TPL
  /// lets run. EFI_INVALID_PARAMETER for an unknown event.
  [[nodiscard]] EFI_STATUS Signal(EFI_EVENT Event);

  /// CloseEvent: the event leaves its queue and its group. The caller also
  /// drops its protocol-notify registrations. EFI_INVALID_PARAMETER for an
  /// unknown event.
  [[nodiscard]] EFI_STATUS Close(EFI_EVENT Event);

  /// CheckEvent. EFI_SUCCESS (and the signal cleared) when signalled,
  /// EFI_NOT_READY when not; EFI_INVALID_PARAMETER for an unknown event or an
  /// EVT_NOTIFY_SIGNAL one.
  [[nodiscard]] EFI_STATUS Check(EFI_EVENT Event);

  /// SetTimer: arms (TimerRelative, TimerPeriodic; TriggerTime in 100 ns
  /// units of the host's steady clock) or cancels (TimerCancel) the timer of
  /// an EVT_TIMER event. EFI_INVALID_PARAMETER for an unknown event, one
  /// without EVT_TIMER, or another type.
  [[nodiscard]] EFI_STATUS SetTimer(EFI_EVENT Event, EFI_TIMER_DELAY Type, UINT64 TriggerTime);

  /// Signals every armed timer that is due, then runs what the current TPL
  /// lets run. The machine has no timer interrupt: this runs where time is
  /// observed (CheckEvent, Stall, the network's Poll).
  void PollTimers();

  /// Signals Event without running anything yet (as inside a locked
  /// database); DispatchPending() runs the notifications later.
  void QueueSignal(EFI_EVENT Event);

  /// Queues every EVT_NOTIFY_SIGNAL member of Group, without running any.
  void QueueGroup(const EFI_GUID &Group);

  /// Runs the queued notifications above the current TPL.
  void DispatchPending();

  /// RaiseTPL; returns the previous TPL. Lowering is recorded as a problem.
  EFI_TPL Raise(EFI_TPL NewTpl);

  /// RestoreTPL: runs what becomes runnable, then sets OldTpl. Raising is
  /// recorded as a problem.
  void Restore(EFI_TPL OldTpl);

  /// The TPL the machine runs at now.
  [[nodiscard]] EFI_TPL CurrentTpl() const { return mCurrentTpl; }

  /// TRUE for an event created and not yet closed in this boot.
  [[nodiscard]] bool IsEvent(EFI_EVENT Event) const { return mEvents.count(Event) != 0; }

 private:
  struct Record {
    UINT32 Type;
    EFI_TPL NotifyTpl;
    EFI_EVENT_NOTIFY NotifyFunction;
    VOID *NotifyContext;
    EFI_GUID Group;  // all zero outside a group
    bool InGroup;
    Side Owner;
    UINT32 SignalCount;
    bool Queued;
    bool Armed;
    std::chrono::steady_clock::time_point Due;
    std::chrono::nanoseconds Period;  // zero: a one-shot timer
  };

  Record *Find(EFI_EVENT Event);
  void Queue(EFI_EVENT Event, Record &Entry);
  void Unqueue(EFI_EVENT Event, Record &Entry);
  void SignalRecord(EFI_EVENT Event, Record &Entry);
  void LowerTo(EFI_TPL NewTpl);
  void DispatchQueue(EFI_TPL Priority);

  ProblemLog &mProblems;
  SideTracker &mSides;
  std::unordered_map<EFI_EVENT, Record> mEvents;
  std::vector<EFI_EVENT> mSignalList;  // EVT_NOTIFY_SIGNAL events, oldest first
  std::array<std::deque<EFI_EVENT>, TPL_HIGH_LEVEL + 1> mQueues;
  EFI_TPL mCurrentTpl = TPL_APPLICATION;
  UINT64 mNextSerial = 1;  // never reset, so no event handle is reused
};
