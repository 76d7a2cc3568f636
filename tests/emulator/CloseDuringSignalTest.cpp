// CloseEvent of an event while it is being signalled: from its own
// notification (after signalling itself again), from a higher-TPL
// notification that runs inside it, from a protocol installation's
// notification while the installation notifies the next registration, and
// from a reset-system group member while ResetSystem notifies the group.
// The driver does each of these: its notify functions close their own
// events, and its guard closes the reset-group member inside ResetSystem.
#include <setjmp.h>

#include "tests/emulator/EmulatorFixture.h"

namespace {

EFI_GUID mWatched = {0x3c6f8f0e, 0x2a47, 0x4d8b, {0x9e, 0x12, 0x55, 0x0b, 0xc4, 0x7a, 0x61, 0x2d}};
int mInterface;
jmp_buf mResetJump;

using CloseDuringSignalTest = EmulatorTest;

void CloseOwnEvent(Probe &, EFI_EVENT Event) {
  EXPECT_EQ(Firmware::Instance().BootServices()->CloseEvent(Event), EFI_SUCCESS);
}

// A notification that signals its own event again and then closes it: the
// signal queued the event once more, and closing drops that notification.
TEST_F(CloseDuringSignalTest, ClosingOwnEventDropsItsRequeuedSignal) {
  Probe Self = MakeProbe("self");
  Self.Then = [](Probe &Probe, EFI_EVENT Event) {
    EFI_BOOT_SERVICES *Services = Firmware::Instance().BootServices();
    EXPECT_EQ(Services->SignalEvent(Event), EFI_SUCCESS);
    CloseOwnEvent(Probe, Event);
  };
  EFI_EVENT Event = MakeEvent(Self, TPL_CALLBACK);
  EXPECT_EQ(Bs->SignalEvent(Event), EFI_SUCCESS);
  EXPECT_EQ(Self.Runs, 1);
  EXPECT_EQ(Bs->SignalEvent(Event), EFI_INVALID_PARAMETER);
}

// A TPL_NOTIFY notification that runs inside a TPL_CALLBACK one closes the
// event whose notification is running: that function still returns
// normally, the TPL comes back down, and the dead event cannot be signalled.
TEST_F(CloseDuringSignalTest, HigherNotificationClosesTheRunningEvent) {
  Probe Closer = MakeProbe("closer"), Running = MakeProbe("running");
  EFI_EVENT CloserEvent = MakeEvent(Closer, TPL_NOTIFY);
  EFI_EVENT RunningEvent = MakeEvent(Running, TPL_CALLBACK);
  Closer.Extra = RunningEvent;
  Closer.Then = [](Probe &Self, EFI_EVENT) {
    EXPECT_EQ(Firmware::Instance().BootServices()->CloseEvent(Self.Extra), EFI_SUCCESS);
  };
  Running.Extra = CloserEvent;
  Running.Then = [](Probe &Self, EFI_EVENT Event) {
    EFI_BOOT_SERVICES *Services = Firmware::Instance().BootServices();
    // Queues itself again too: the close must drop that notification.
    EXPECT_EQ(Services->SignalEvent(Event), EFI_SUCCESS);
    EXPECT_EQ(Services->SignalEvent(Self.Extra), EFI_SUCCESS);
    Self.Log->push_back("running returns");
  };
  EXPECT_EQ(Bs->SignalEvent(RunningEvent), EFI_SUCCESS);
  EXPECT_EQ(Log, (std::vector<std::string>{"running", "closer", "running returns"}));
  EXPECT_EQ(Running.Runs, 1);
  EXPECT_EQ(Machine.CurrentTpl(), TPL_APPLICATION);
  EXPECT_EQ(Bs->SignalEvent(RunningEvent), EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->CloseEvent(RunningEvent), EFI_INVALID_PARAMETER);
}

// Two events registered for one protocol: the first closes itself while the
// installation notifies them both. The second still runs for that
// installation; at the next one only the second runs, and the closed
// event's registration is gone.
TEST_F(CloseDuringSignalTest, ProtocolNotifyClosesItselfDuringInstallation) {
  Probe Closing = MakeProbe("closing"), Staying = MakeProbe("staying");
  Closing.Then = CloseOwnEvent;
  EFI_EVENT ClosingEvent = MakeEvent(Closing, TPL_CALLBACK);
  EFI_EVENT StayingEvent = MakeEvent(Staying, TPL_CALLBACK);
  VOID *ClosingKey = nullptr;
  VOID *StayingKey = nullptr;
  ASSERT_EQ(Bs->RegisterProtocolNotify(&mWatched, ClosingEvent, &ClosingKey), EFI_SUCCESS);
  ASSERT_EQ(Bs->RegisterProtocolNotify(&mWatched, StayingEvent, &StayingKey), EFI_SUCCESS);

  EFI_HANDLE First = nullptr;
  EXPECT_EQ(Bs->InstallProtocolInterface(&First, &mWatched, EFI_NATIVE_INTERFACE, &mInterface),
            EFI_SUCCESS);
  EXPECT_EQ(Log, (std::vector<std::string>{"closing", "staying"}));
  EFI_HANDLE Second = nullptr;
  EXPECT_EQ(Bs->InstallProtocolInterface(&Second, &mWatched, EFI_NATIVE_INTERFACE, &mInterface),
            EFI_SUCCESS);
  EXPECT_EQ(Log, (std::vector<std::string>{"closing", "staying", "staying"}));
  VOID *Found = nullptr;
  EXPECT_EQ(Bs->LocateProtocol(&mWatched, ClosingKey, &Found), EFI_INVALID_PARAMETER);
  EXPECT_EQ(Bs->LocateProtocol(&mWatched, StayingKey, &Found), EFI_SUCCESS);
}

void LeaveBoot(void *, EFI_RESET_TYPE, Side) { longjmp(mResetJump, 1); }

// Probes live in the fixture, not in the frame that calls setjmp.
class ResetGroupCloseTest : public EmulatorTest {
 protected:
  void SetUp() override {
    EmulatorTest::SetUp();
    Closing.Then = CloseOwnEvent;
    ClosingEvent =
        MakeEvent(Closing, TPL_NOTIFY, EVT_NOTIFY_SIGNAL, &gEfiEventGroupResetSystemGuid);
    MakeEvent(Other, TPL_NOTIFY, EVT_NOTIFY_SIGNAL, &gEfiEventGroupResetSystemGuid);
    Machine.SetResetHandler(LeaveBoot, nullptr);
  }

  Probe Closing = MakeProbe("closing");
  Probe Other = MakeProbe("other");
  EFI_EVENT ClosingEvent = nullptr;
};

// A reset-group member that closes itself while ResetSystem notifies the
// group (as the guard does): the other member still runs, once, and the
// reset goes on to the handler.
TEST_F(ResetGroupCloseTest, MemberClosesItselfInsideResetSystem) {
  if (setjmp(mResetJump) == 0) {
    Rt->ResetSystem(EfiResetWarm, EFI_SUCCESS, 0, nullptr);
    FAIL() << "ResetSystem returned";
  }
  EXPECT_EQ(Log, (std::vector<std::string>{"other", "closing"}));
  EXPECT_EQ(Other.Runs, 1);
  EXPECT_EQ(Closing.Runs, 1);
  EXPECT_EQ(Bs->SignalEvent(ClosingEvent), EFI_INVALID_PARAMETER);
  Machine.EndBoot();
}

}  // namespace
