// ResetSystem: the reset-system group runs at its members' TPLs, then the
// runner's handler ends the boot and never returns.
#include <setjmp.h>

#include "tests/emulator/EmulatorFixture.h"

namespace {

jmp_buf mResetJump;

struct ResetSeen {
  int Calls = 0;
  EFI_RESET_TYPE Type = EfiResetCold;
  Side By = Side::Platform;
};

void LeaveBoot(void *Context, EFI_RESET_TYPE Type, Side By) {
  auto &Seen = *static_cast<ResetSeen *>(Context);
  Seen.Calls++;
  Seen.Type = Type;
  Seen.By = By;
  longjmp(mResetJump, 1);
}

VOID EFIAPI ResetFromNotify(EFI_EVENT, VOID *Context) {
  static_cast<std::vector<std::string> *>(Context)->push_back("resetting");
  Firmware::Instance().RuntimeServices()->ResetSystem(EfiResetWarm, EFI_SUCCESS, 0, nullptr);
}

// Probes live in the fixture, not in the frame that calls setjmp.
class ResetTest : public EmulatorTest {
 protected:
  void SetUp() override {
    EmulatorTest::SetUp();
    SideScope AsDriver(Side::Driver);
    MakeEvent(Guard, TPL_NOTIFY, EVT_NOTIFY_SIGNAL, &gEfiEventGroupResetSystemGuid);
    MakeEvent(Callback, TPL_CALLBACK, EVT_NOTIFY_SIGNAL, &gEfiEventGroupResetSystemGuid);
    Machine.SetResetHandler(LeaveBoot, &Seen);
  }

  Probe Guard = MakeProbe("guard");
  Probe Callback = MakeProbe("callback");
  ResetSeen Seen;
};

// Called at TPL_CALLBACK from a notify function, ResetSystem still runs the
// TPL_NOTIFY member (as the driver, which created it), but not the
// TPL_CALLBACK one, and the handler learns that the driver reset.
TEST_F(ResetTest, NotifyMemberRunsInsideResetAtCallback) {
  EFI_EVENT Resetter = nullptr;
  {
    SideScope AsDriver(Side::Driver);
    ASSERT_EQ(Bs->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, ResetFromNotify, &Log, &Resetter),
              EFI_SUCCESS);
  }
  if (setjmp(mResetJump) == 0) {
    (void)Bs->SignalEvent(Resetter);
    FAIL() << "ResetSystem returned";
  }
  EXPECT_EQ(Seen.Calls, 1);
  EXPECT_EQ(Seen.Type, EfiResetWarm);
  EXPECT_EQ(Seen.By, Side::Driver);
  EXPECT_EQ(Log, (std::vector<std::string>{"resetting", "guard"}));
  EXPECT_EQ(Guard.Tpl, TPL_NOTIFY);
  EXPECT_EQ(Guard.RanAs, Side::Driver);

  Machine.EndBoot();
  EXPECT_EQ(Machine.CurrentSide(), Side::Platform);
  EXPECT_EQ(Machine.CurrentTpl(), TPL_APPLICATION);
}

// The platform's reset at TPL_APPLICATION runs every member, highest first.
TEST_F(ResetTest, PlatformResetRunsAllMembers) {
  if (setjmp(mResetJump) == 0) {
    Rt->ResetSystem(EfiResetCold, EFI_SUCCESS, 0, nullptr);
  }
  EXPECT_EQ(Seen.Calls, 1);
  EXPECT_EQ(Seen.Type, EfiResetCold);
  EXPECT_EQ(Seen.By, Side::Platform);
  EXPECT_EQ(Log, (std::vector<std::string>{"guard", "callback"}));
}

void ReturningHandler(void *, EFI_RESET_TYPE, Side) {}

// A reset has nowhere to return to.
TEST_F(ResetTest, MissingOrReturningHandlerAborts) {
  Machine.SetResetHandler(nullptr, nullptr);
  EXPECT_DEATH(Rt->ResetSystem(EfiResetWarm, EFI_SUCCESS, 0, nullptr), "no reset handler");
  Machine.SetResetHandler(ReturningHandler, nullptr);
  EXPECT_DEATH(Rt->ResetSystem(EfiResetWarm, EFI_SUCCESS, 0, nullptr), "reset handler returned");
}

}  // namespace
