#include "emulator/Events.h"

#include <algorithm>

#include "emulator/Tokens.h"

namespace {

// The event types the standard defines; any other combination is refused.
constexpr UINT32 mEventTypes[] = {
    EVT_TIMER | EVT_NOTIFY_SIGNAL,
    EVT_TIMER,
    EVT_NOTIFY_WAIT,
    EVT_NOTIFY_SIGNAL,
    EVT_SIGNAL_EXIT_BOOT_SERVICES,
    EVT_SIGNAL_VIRTUAL_ADDRESS_CHANGE,
    0,
    EVT_TIMER | EVT_NOTIFY_WAIT,
};

// The groups that the two legacy signal types stand for.
constexpr EFI_GUID mExitBootServicesGroup = {
    0x27abf055, 0xb1b8, 0x4c26, {0x80, 0x48, 0x74, 0x8f, 0x37, 0xba, 0xa2, 0xdf}};
constexpr EFI_GUID mVirtualAddressChangeGroup = {
    0x13fa7698, 0xc831, 0x49c7, {0x87, 0xea, 0x8f, 0x43, 0xfc, 0xc2, 0x51, 0x96}};

bool IsEventType(UINT32 Type) {
  return std::find(std::begin(mEventTypes), std::end(mEventTypes), Type) != std::end(mEventTypes);
}

}  // namespace

void EventTable::Reset() {
  mEvents.clear();
  mSignalList.clear();
  for (auto &Queue : mQueues) {
    Queue.clear();
  }
  mCurrentTpl = TPL_APPLICATION;
}

EFI_STATUS EventTable::Create(UINT32 Type, EFI_TPL NotifyTpl, EFI_EVENT_NOTIFY NotifyFunction,
                              const VOID *NotifyContext, const EFI_GUID *Group, EFI_EVENT *Event) {
  if (Event == nullptr || !IsEventType(Type)) {
    return EFI_INVALID_PARAMETER;
  }
  if (Group != nullptr) {
    if (Type == EVT_SIGNAL_EXIT_BOOT_SERVICES || Type == EVT_SIGNAL_VIRTUAL_ADDRESS_CHANGE) {
      return EFI_INVALID_PARAMETER;
    }
    if (CompareGuid(*Group, mExitBootServicesGroup)) {
      Type = EVT_SIGNAL_EXIT_BOOT_SERVICES;
    } else if (CompareGuid(*Group, mVirtualAddressChangeGroup)) {
      Type = EVT_SIGNAL_VIRTUAL_ADDRESS_CHANGE;
    }
  } else if (Type == EVT_SIGNAL_EXIT_BOOT_SERVICES) {
    Group = &mExitBootServicesGroup;
  } else if (Type == EVT_SIGNAL_VIRTUAL_ADDRESS_CHANGE) {
    Group = &mVirtualAddressChangeGroup;
  }
  if ((Type & (EVT_NOTIFY_WAIT | EVT_NOTIFY_SIGNAL)) != 0) {
    if (NotifyFunction == nullptr || NotifyTpl <= TPL_APPLICATION || NotifyTpl >= TPL_HIGH_LEVEL) {
      return EFI_INVALID_PARAMETER;
    }
  } else {
    NotifyTpl = 0;
    NotifyFunction = nullptr;
    NotifyContext = nullptr;
  }

  Record Entry = {};
  Entry.Type = Type;
  Entry.NotifyTpl = NotifyTpl;
  Entry.NotifyFunction = NotifyFunction;
  Entry.NotifyContext = const_cast<VOID *>(NotifyContext);
  if (Group != nullptr) {
    Entry.Group = *Group;
    Entry.InGroup = true;
  }
  Entry.Owner = mSides.Current();
  EFI_EVENT Handle = MakeToken(EVENT_TOKEN_TAG, mNextSerial++);
  mEvents.emplace(Handle, Entry);
  if ((Type & EVT_NOTIFY_SIGNAL) != 0) {
    mSignalList.push_back(Handle);
  }
  *Event = Handle;
  return EFI_SUCCESS;
}

EFI_STATUS EventTable::Signal(EFI_EVENT Event) {
  Record *Entry = Find(Event);
  if (Entry == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  SignalRecord(Event, *Entry);
  DispatchPending();
  return EFI_SUCCESS;
}

EFI_STATUS EventTable::Close(EFI_EVENT Event) {
  Record *Entry = Find(Event);
  if (Entry == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  Unqueue(Event, *Entry);
  mSignalList.erase(std::remove(mSignalList.begin(), mSignalList.end(), Event), mSignalList.end());
  mEvents.erase(Event);
  return EFI_SUCCESS;
}

EFI_STATUS EventTable::SetTimer(EFI_EVENT Event, EFI_TIMER_DELAY Type, UINT64 TriggerTime) {
  Record *Entry = Find(Event);
  if (Entry == nullptr || (Entry->Type & EVT_TIMER) == 0 ||
      (Type != TimerCancel && Type != TimerRelative && Type != TimerPeriodic)) {
    return EFI_INVALID_PARAMETER;
  }
  Entry->Armed = Type != TimerCancel;
  auto Trigger = std::chrono::nanoseconds(TriggerTime * 100);
  // A periodic timer of 0 fires at every tick: a millisecond here.
  if (Type == TimerPeriodic && Trigger.count() == 0) {
    Trigger = std::chrono::milliseconds(1);
  }
  Entry->Period = Type == TimerPeriodic ? Trigger : std::chrono::nanoseconds(0);
  Entry->Due = std::chrono::steady_clock::now() + Trigger;
  return EFI_SUCCESS;
}

void EventTable::PollTimers() {
  auto Now = std::chrono::steady_clock::now();
  std::vector<EFI_EVENT> Due;
  for (auto &Entry : mEvents) {
    if (Entry.second.Armed && Entry.second.Due <= Now) {
      Due.push_back(Entry.first);
      if (Entry.second.Period.count() != 0) {
        Entry.second.Due = Now + Entry.second.Period;
      } else {
        Entry.second.Armed = false;
      }
    }
  }
  for (EFI_EVENT Event : Due) {
    QueueSignal(Event);
  }
  if (!Due.empty()) {
    DispatchPending();
  }
}

EFI_STATUS EventTable::Check(EFI_EVENT Event) {
  PollTimers();
  Record *Entry = Find(Event);
  if (Entry == nullptr || (Entry->Type & EVT_NOTIFY_SIGNAL) != 0) {
    return EFI_INVALID_PARAMETER;
  }
  if (Entry->SignalCount == 0 && (Entry->Type & EVT_NOTIFY_WAIT) != 0) {
    // A wait event's notify function is what may signal it.
    Queue(Event, *Entry);
    DispatchPending();
    Entry = Find(Event);
    if (Entry == nullptr) {
      return EFI_NOT_READY;
    }
  }
  if (Entry->SignalCount != 0) {
    Entry->SignalCount = 0;
    return EFI_SUCCESS;
  }
  return EFI_NOT_READY;
}

void EventTable::QueueSignal(EFI_EVENT Event) {
  Record *Entry = Find(Event);
  if (Entry != nullptr) {
    SignalRecord(Event, *Entry);
  }
}

void EventTable::QueueGroup(const EFI_GUID &Group) {
  // Newest member first: the DXE core keeps its signal list that way.
  for (auto It = mSignalList.rbegin(); It != mSignalList.rend(); ++It) {
    Record &Entry = mEvents.at(*It);
    if (CompareGuid(Entry.Group, Group)) {
      Queue(*It, Entry);
    }
  }
}

void EventTable::DispatchPending() { LowerTo(mCurrentTpl); }

EFI_TPL EventTable::Raise(EFI_TPL NewTpl) {
  const EFI_TPL OldTpl = mCurrentTpl;
  if (NewTpl < OldTpl) {
    mProblems.Record("TPL: RaiseTPL(%llu) at TPL %llu would lower the TPL",
                     static_cast<unsigned long long>(NewTpl),
                     static_cast<unsigned long long>(OldTpl));
  }
  if (NewTpl > TPL_HIGH_LEVEL) {
    mProblems.Record("TPL: RaiseTPL(%llu) is above TPL_HIGH_LEVEL",
                     static_cast<unsigned long long>(NewTpl));
  }
  mCurrentTpl = NewTpl;
  return OldTpl;
}

void EventTable::Restore(EFI_TPL OldTpl) {
  if (OldTpl > mCurrentTpl) {
    mProblems.Record("TPL: RestoreTPL(%llu) at TPL %llu would raise the TPL",
                     static_cast<unsigned long long>(OldTpl),
                     static_cast<unsigned long long>(mCurrentTpl));
  }
  if (OldTpl > TPL_HIGH_LEVEL) {
    mProblems.Record("TPL: RestoreTPL(%llu) is above TPL_HIGH_LEVEL",
                     static_cast<unsigned long long>(OldTpl));
  }
  LowerTo(OldTpl);
}

EventTable::Record *EventTable::Find(EFI_EVENT Event) {
  auto It = mEvents.find(Event);
  return It == mEvents.end() ? nullptr : &It->second;
}

void EventTable::Queue(EFI_EVENT Event, Record &Entry) {
  // A notification already queued moves to the end instead of running twice.
  Unqueue(Event, Entry);
  mQueues[Entry.NotifyTpl].push_back(Event);
  Entry.Queued = true;
}

void EventTable::Unqueue(EFI_EVENT Event, Record &Entry) {
  if (Entry.Queued) {
    auto &Queue = mQueues[Entry.NotifyTpl];
    Queue.erase(std::find(Queue.begin(), Queue.end(), Event));
    Entry.Queued = false;
  }
}

void EventTable::SignalRecord(EFI_EVENT Event, Record &Entry) {
  if (Entry.SignalCount != 0) {
    return;
  }
  Entry.SignalCount++;
  if ((Entry.Type & EVT_NOTIFY_SIGNAL) == 0) {
    return;
  }
  if (Entry.InGroup) {
    QueueGroup(Entry.Group);
  } else {
    Queue(Event, Entry);
  }
}

void EventTable::LowerTo(EFI_TPL NewTpl) {
  for (;;) {
    EFI_TPL Pending = TPL_HIGH_LEVEL;
    while (Pending > NewTpl && mQueues[Pending].empty()) {
      Pending--;
    }
    if (Pending <= NewTpl) {
      break;
    }
    mCurrentTpl = Pending;
    DispatchQueue(Pending);
  }
  mCurrentTpl = NewTpl;
}

void EventTable::DispatchQueue(EFI_TPL Priority) {
  std::deque<EFI_EVENT> &Queue = mQueues[Priority];
  while (!Queue.empty()) {
    EFI_EVENT Event = Queue.front();
    Queue.pop_front();
    Record &Entry = mEvents.at(Event);
    Entry.Queued = false;
    // A wait event stays signalled until CheckEvent takes the signal.
    if ((Entry.Type & EVT_NOTIFY_SIGNAL) != 0) {
      Entry.SignalCount = 0;
    }
    // Entry may be gone once the function returns: copy what is needed.
    const EFI_EVENT_NOTIFY Function = Entry.NotifyFunction;
    VOID *const Context = Entry.NotifyContext;
    const Side Caller = mSides.Current();
    mSides.Set(Entry.Owner);
    Function(Event, Context);
    mSides.Set(Caller);
    if (mCurrentTpl != Priority) {
      mProblems.Record("TPL: a notify function of TPL %llu returned at TPL %llu",
                       static_cast<unsigned long long>(Priority),
                       static_cast<unsigned long long>(mCurrentTpl));
      mCurrentTpl = Priority;
    }
  }
}
