// Events and TPL: notification order, groups, closing, argument checks.
#include "tests/emulator/EmulatorFixture.h"

namespace {

constexpr EFI_GUID mGroup = {
    0x5d1b3b8e, 0x1f0a, 0x4c57, {0x9a, 0x41, 0x0e, 0x6f, 0x22, 0x8b, 0x73, 0x10}};

using EventTest = EmulatorTest;

// Held back by a raised TPL, notifications run highest TPL first, then in
// signal order, each at its own TPL.
TEST_F(EventTest, NotificationsRunByTplThenInSignalOrder) {
  Probe A = MakeProbe("A"), B = MakeProbe("B"), C = MakeProbe("C"), D = MakeProbe("D");
  EFI_EVENT Events[] = {MakeEvent(A, TPL_CALLBACK), MakeEvent(B, TPL_NOTIFY),
                        MakeEvent(C, TPL_CALLBACK), MakeEvent(D, TPL_NOTIFY)};
  EXPECT_EQ(Bs->RaiseTPL(TPL_HIGH_LEVEL), TPL_APPLICATION);
  for (EFI_EVENT Event : Events) {
    EXPECT_EQ(Bs->SignalEvent(Event), EFI_SUCCESS);
  }
  EXPECT_TRUE(Log.empty());
  Bs->RestoreTPL(TPL_APPLICATION);
  EXPECT_EQ(Log, (std::vector<std::string>{"B", "D", "A", "C"}));
  EXPECT_EQ(A.Tpl, TPL_CALLBACK);
  EXPECT_EQ(B.Tpl, TPL_NOTIFY);
  EXPECT_EQ(Machine.CurrentTpl(), TPL_APPLICATION);
}

// Signalled from a TPL_CALLBACK notification, a TPL_NOTIFY event runs inside
// SignalEvent and a TPL_CALLBACK one only after the running function returns.
TEST_F(EventTest, SignalFromNotifyRunsHigherAtOnceAndEqualAfter) {
  Probe High = MakeProbe("high"), Peer = MakeProbe("peer"), Outer = MakeProbe("outer");
  EFI_EVENT Targets[] = {MakeEvent(High, TPL_NOTIFY), MakeEvent(Peer, TPL_CALLBACK)};
  Outer.Extra = Targets;
  Outer.Then = [](Probe &Self, EFI_EVENT) {
    auto *Signalled = static_cast<EFI_EVENT *>(Self.Extra);
    EFI_BOOT_SERVICES *Services = Firmware::Instance().BootServices();
    EXPECT_EQ(Services->SignalEvent(Signalled[1]), EFI_SUCCESS);
    EXPECT_EQ(Services->SignalEvent(Signalled[0]), EFI_SUCCESS);
    Self.Log->push_back("outer returns");
  };
  EXPECT_EQ(Bs->SignalEvent(MakeEvent(Outer, TPL_CALLBACK)), EFI_SUCCESS);
  EXPECT_EQ(Log, (std::vector<std::string>{"outer", "high", "outer returns", "peer"}));
}

// An event signalled again while its notification is pending runs once.
TEST_F(EventTest, PendingEventIsNotQueuedTwice) {
  Probe A = MakeProbe("A");
  EFI_EVENT Event = MakeEvent(A, TPL_CALLBACK);
  Bs->RaiseTPL(TPL_NOTIFY);
  EXPECT_EQ(Bs->SignalEvent(Event), EFI_SUCCESS);
  EXPECT_EQ(Bs->SignalEvent(Event), EFI_SUCCESS);
  Bs->RestoreTPL(TPL_APPLICATION);
  EXPECT_EQ(A.Runs, 1);
}

// Signalling one member queues every EVT_NOTIFY_SIGNAL member of its group
// (newest first, as the DXE core keeps them) before any runs: the TPL_NOTIFY
// member runs first and may close a queued member, which then never runs.
TEST_F(EventTest, GroupSignalQueuesAllSignalMembersFirst) {
  Probe Older = MakeProbe("older"), Waiter = MakeProbe("waiter"), Outsider = MakeProbe("outsider");
  Probe Newer = MakeProbe("newer"), Closer = MakeProbe("closer"), Closed = MakeProbe("closed");
  EFI_EVENT ClosedEvent = MakeEvent(Closed, TPL_CALLBACK, EVT_NOTIFY_SIGNAL, &mGroup);
  EFI_EVENT Signalled = MakeEvent(Older, TPL_CALLBACK, EVT_NOTIFY_SIGNAL, &mGroup);
  MakeEvent(Waiter, TPL_CALLBACK, EVT_NOTIFY_WAIT, &mGroup);
  MakeEvent(Outsider, TPL_CALLBACK);
  MakeEvent(Newer, TPL_CALLBACK, EVT_NOTIFY_SIGNAL, &mGroup);
  Closer.Extra = ClosedEvent;
  Closer.Then = [](Probe &Self, EFI_EVENT) {
    EXPECT_EQ(Firmware::Instance().BootServices()->CloseEvent(Self.Extra), EFI_SUCCESS);
  };
  MakeEvent(Closer, TPL_NOTIFY, EVT_NOTIFY_SIGNAL, &mGroup);

  EXPECT_EQ(Bs->SignalEvent(Signalled), EFI_SUCCESS);
  EXPECT_EQ(Log, (std::vector<std::string>{"closer", "newer", "older"}));
}

// A queued event that is closed never runs, and its handle is dead.
TEST_F(EventTest, ClosingQueuedEventDropsItsNotification) {
  Probe A = MakeProbe("A"), B = MakeProbe("B");
  EFI_EVENT First = MakeEvent(A, TPL_CALLBACK);
  EFI_EVENT Second = MakeEvent(B, TPL_CALLBACK);
  Bs->RaiseTPL(TPL_NOTIFY);
  EXPECT_EQ(Bs->SignalEvent(First), EFI_SUCCESS);
  EXPECT_EQ(Bs->SignalEvent(Second), EFI_SUCCESS);
  EXPECT_EQ(Bs->CloseEvent(First), EFI_SUCCESS);
  Bs->RestoreTPL(TPL_APPLICATION);
  EXPECT_EQ(Log, (std::vector<std::string>{"B"}));
  EXPECT_EQ(Bs->CloseEvent(First), EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->SignalEvent(First), EFI_INVALID_PARAMETER);
}

// A notify function may close its own event; the notifications queued after
// it still run.
TEST_F(EventTest, NotifyFunctionMayCloseItsOwnEvent) {
  Probe Self = MakeProbe("self"), Next = MakeProbe("next");
  Self.Then = [](Probe &, EFI_EVENT Event) {
    EXPECT_EQ(Firmware::Instance().BootServices()->CloseEvent(Event), EFI_SUCCESS);
  };
  EFI_EVENT Closing = MakeEvent(Self, TPL_CALLBACK);
  EFI_EVENT Later = MakeEvent(Next, TPL_CALLBACK);
  Bs->RaiseTPL(TPL_NOTIFY);
  EXPECT_EQ(Bs->SignalEvent(Closing), EFI_SUCCESS);
  EXPECT_EQ(Bs->SignalEvent(Later), EFI_SUCCESS);
  Bs->RestoreTPL(TPL_APPLICATION);
  EXPECT_EQ(Log, (std::vector<std::string>{"self", "next"}));
  EXPECT_EQ(Bs->SignalEvent(Closing), EFI_INVALID_PARAMETER);
}

// CreateEvent refuses what the standard refuses.
TEST_F(EventTest, CreateEventChecksArguments) {
  Probe A = MakeProbe("A");
  EFI_EVENT Event = nullptr;
  EXPECT_EQ(Bs->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, ProbeNotify, &A, nullptr),
            EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->CreateEvent(0x1, TPL_CALLBACK, ProbeNotify, &A, &Event), EFI_INVALID_PARAMETER);
  EXPECT_EQ(
      Bs->CreateEvent(EVT_NOTIFY_SIGNAL | EVT_NOTIFY_WAIT, TPL_CALLBACK, ProbeNotify, &A, &Event),
      EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_APPLICATION, ProbeNotify, &A, &Event),
            EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_HIGH_LEVEL, ProbeNotify, &A, &Event),
            EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, nullptr, &A, &Event),
            EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->CreateEventEx(EVT_SIGNAL_EXIT_BOOT_SERVICES, TPL_CALLBACK, ProbeNotify, &A, &mGroup,
                              &Event),
            EFI_INVALID_PARAMETER);
  EXPECT_EQ(Event, nullptr);
  // Without a notify type, TPL and function are ignored.
  EXPECT_EQ(Bs->CreateEvent(0, TPL_APPLICATION, nullptr, nullptr, &Event), EFI_SUCCESS);
  EXPECT_EQ(Bs->CheckEvent(Event), EFI_NOT_READY);
  EXPECT_EQ(Bs->SignalEvent(Event), EFI_SUCCESS);
  EXPECT_EQ(Bs->CheckEvent(Event), EFI_SUCCESS);
  EXPECT_EQ(Bs->CheckEvent(Event), EFI_NOT_READY);
  EXPECT_EQ(Bs->CheckEvent(MakeEvent(A, TPL_CALLBACK)), EFI_INVALID_PARAMETER);
}

// A notify function runs as the side that created its event, and the side
// that signalled it is back afterwards.
TEST_F(EventTest, NotifyRunsAsTheCreatorsSide) {
  Probe A = MakeProbe("A");
  EFI_EVENT Event;
  {
    SideScope AsDriver(Side::Driver);
    Event = MakeEvent(A, TPL_CALLBACK);
  }
  EXPECT_EQ(Machine.CurrentSide(), Side::Platform);
  EXPECT_EQ(Bs->SignalEvent(Event), EFI_SUCCESS);
  EXPECT_EQ(A.RanAs, Side::Driver);
  EXPECT_EQ(Machine.CurrentSide(), Side::Platform);
}

// Moving the TPL the wrong way is reported.
TEST_F(EventTest, TplMisuseIsReported) {
  Bs->RaiseTPL(TPL_CALLBACK);
  Bs->RestoreTPL(TPL_NOTIFY);
  EXPECT_EQ(Bs->RaiseTPL(TPL_CALLBACK), TPL_NOTIFY);
  EXPECT_EQ(Machine.TakeProblems(),
            (std::vector<std::string>{"TPL: RestoreTPL(16) at TPL 8 would raise the TPL",
                                      "TPL: RaiseTPL(8) at TPL 16 would lower the TPL"}));
}

}  // namespace
