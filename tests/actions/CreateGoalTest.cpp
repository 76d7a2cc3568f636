// The CreateGoal handler where no scenario can take it: a reset that returns.
#include "actions/Handlers.h"
#include "tests/redfish/RedfishFixture.h"

namespace {

int mGoals = 0;
int mResets = 0;
EFI_RESET_TYPE mResetType = EfiResetCold;

EFI_STATUS EFIAPI AcceptGoal(CHAR8 *, UINT32, UINT32, CHAR8 *, CHAR8 *) {
  mGoals++;
  return EFI_SUCCESS;
}

VOID EFIAPI ReturningReset(EFI_RESET_TYPE Type, EFI_STATUS, UINTN DataSize, VOID *Data) {
  mResets++;
  mResetType = Type;
  EXPECT_EQ(DataSize, 0u);
  EXPECT_EQ(Data, nullptr);
}

class CreateGoalTest : public RedfishTest {
 protected:
  void SetUp() override {
    RedfishTest::SetUp();
    mGoals = mResets = 0;
    Nvdimm.Enabled = 1;
    Nvdimm.CreateGoal = AcceptGoal;
  }

  NVDIMM_ACTION_PROTOCOL Nvdimm = {};
};

// A reset that returns leaves the goal reported "Failed" with the empty
// message, after "Inprogress", and ResetPending stays set.
TEST_F(CreateGoalTest, GoalWhoseResetReturnsIsReportedFailed) {
  Install(Rest);
  Rest.Body =
      R"({"ConfigurationLevel":"Platform","MemoryMode":0,"Reserved":0,"PersistentMemoryType":"AppDirect"})";
  EFI_RUNTIME_SERVICES Runtime = *gRT;
  Runtime.ResetSystem = ReturningReset;
  gRT = &Runtime;
  CreateGoalAction(u"/goal", &Rest.Protocol, &Nvdimm);
  gRT = Machine.RuntimeServices();
  EXPECT_EQ(mGoals, 1);
  EXPECT_EQ(mResets, 1);
  EXPECT_EQ(mResetType, EfiResetWarm);
  EXPECT_EQ(Nvdimm.ResetPending, 1);
  ASSERT_EQ(Rest.Requests.size(), 3u);
  EXPECT_NE(Rest.Requests[1].Body.find("\"Inprogress\""), std::string::npos);
  EXPECT_EQ(Rest.Requests[2].Body, "{\n\t\"Status\":\t\"Failed\",\n\t\"StatusMessage\":\t\"\"\n}");
}

}  // namespace
