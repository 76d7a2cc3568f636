// Paths of the driver that no scenario can reach, because the platform
// would have to misbehave in ways real firmware does not: a reset that
// returns, an event that cannot be created, a component that leaves its
// texts unterminated.
#include <cstring>

#include "actions/DimmResults.h"
#include "actions/Handlers.h"
#include "actions/Poll.h"
#include "driver/Driver.h"
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

EFI_STATUS EFIAPI FailingCreateEventEx(UINT32, EFI_TPL, EFI_EVENT_NOTIFY, const VOID *,
                                       const EFI_GUID *, EFI_EVENT *) {
  return EFI_OUT_OF_RESOURCES;
}

int mPendingQueries = 0;
EFI_STATUS EFIAPI LocalRequestPending(BOOLEAN *Pending) {
  mPendingQueries++;
  *Pending = TRUE;
  return EFI_SUCCESS;
}

class DriverPathsTest : public RedfishTest {
 protected:
  void SetUp() override {
    RedfishTest::SetUp();
    mGoals = mResets = mPendingQueries = 0;
    Nvdimm.Enabled = 1;
    Nvdimm.CreateGoal = AcceptGoal;
    Nvdimm.GetLocalRequestPending = LocalRequestPending;
  }

  NVDIMM_ACTION_PROTOCOL Nvdimm = {};
};

// A reset that returns leaves the goal reported "Failed" with the empty
// message, after "Inprogress", and ResetPending stays set.
TEST_F(DriverPathsTest, GoalWhoseResetReturnsIsReportedFailed) {
  Install(Rest);
  Rest.Body = R"({"ConfigurationLevel":"Platform","MemoryMode":0,"Reserved":0,"PersistentMemoryType":"AppDirect"})";
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
  EXPECT_EQ(Rest.Requests[2].Body,
            "{\n\t\"Status\":\t\"Failed\",\n\t\"StatusMessage\":\t\"\"\n}");
}

// Bytes above 0x7F of ActionUri become 0xFF80..0xFFFF, one unit per byte.
TEST_F(DriverPathsTest, DispatchWidensBySignExtension) {
  Install(Rest);
  Rest.Code = HTTP_STATUS_404_NOT_FOUND;
  UINT64 Before = HeldBlocks();
  EXPECT_EQ(DispatchAction("DeleteNamespace", "/a\xE9\x7F", &Rest.Protocol, &Nvdimm), EFI_SUCCESS);
  ASSERT_EQ(Rest.Requests.size(), 1u);
  EXPECT_EQ(Rest.Requests[0].UrlText, (std::u16string{u'/', u'a', 0xFFE9, 0x007F}));
  EXPECT_EQ(HeldBlocks(), Before);
}

// An unknown name runs nothing; a URI that cannot be widened is reported
// to the caller.
TEST_F(DriverPathsTest, DispatchOfUnknownNamesAndWithoutMemory) {
  Install(Rest);
  EXPECT_EQ(DispatchAction("createGoal", "/x", &Rest.Protocol, &Nvdimm), EFI_SUCCESS);
  EXPECT_TRUE(Rest.Requests.empty());
  Machine.SetFailAllocation(Machine.DriverAllocationCount() + 1);
  EXPECT_EQ(DispatchAction("CreateGoal", "/x", &Rest.Protocol, &Nvdimm), EFI_OUT_OF_RESOURCES);
  Machine.SetFailAllocation(0);
  EXPECT_TRUE(Rest.Requests.empty());
}

// The entry fails when the reset-group event cannot be created: its notify
// events are closed, so nothing of the unloaded image runs afterwards.
TEST_F(DriverPathsTest, FailedEntryLeavesNothingRegistered) {
  EFI_BOOT_SERVICES Boot = *Machine.BootServices();
  Boot.CreateEventEx = FailingCreateEventEx;
  EFI_SYSTEM_TABLE System = *Machine.SystemTable();
  System.BootServices = &Boot;
  EXPECT_EQ(DriverEntry(nullptr, &System), EFI_OUT_OF_RESOURCES);
  gBS = Machine.BootServices();
  {
    SideScope Platform(Side::Platform);
    EFI_HANDLE Handle = nullptr;
    ASSERT_EQ(gBS->InstallProtocolInterface(&Handle, &gNvdimmActionProtocolGuid,
                                            EFI_NATIVE_INTERFACE, &Nvdimm),
              EFI_SUCCESS);
    Install(Rest);
    Handle = nullptr;
    ASSERT_EQ(gBS->InstallProtocolInterface(&Handle, &gLocalRequestTriggerGuid,
                                            EFI_NATIVE_INTERFACE, nullptr),
              EFI_SUCCESS);
  }
  EXPECT_TRUE(Rest.Requests.empty());
  EXPECT_EQ(mPendingQueries, 0);
}

// Null contexts are refused without touching anything.
TEST_F(DriverPathsTest, NullContexts) {
  EXPECT_EQ(PollActionStatus(nullptr), EFI_INVALID_PARAMETER);
  ActionContext Empty = {};
  EXPECT_EQ(PollActionStatus(&Empty), EFI_INVALID_PARAMETER);
  OnLocalRequestCheck(nullptr, nullptr);
  OnServiceNotify(nullptr, nullptr);
  OnLocalRequestCheck(nullptr, &Empty);
  EXPECT_EQ(mPendingQueries, 0);
}

// The result text reads each status within its 80 bytes and skips a list
// without entries.
TEST(DimmResultsTest, ReadsStatusesWithinTheirRecords) {
  DIMM_RESULT Results[2] = {};
  Results[0].DimmId = 0x100000001ULL;
  std::memset(Results[0].Status, 'A', sizeof(Results[0].Status));
  Results[1].DimmId = 0x11;
  std::strcpy(Results[1].Status, "Success");
  CHAR8 Text[DIMM_RESULT_TEXT_SIZE] = {};
  FormatDimmResults(DIMM_RESULT_LIST{2, Results}, Text);
  // 22 characters of frame and 80 of status make 104: the line is cut at 99.
  std::string Expected = "DimmId:0x0001; Status:" + std::string(77, 'A') +
                         "DimmId:0x0011; Status:Success; ";
  EXPECT_EQ(std::string(Text), Expected);
  CHAR8 Empty[DIMM_RESULT_TEXT_SIZE] = {};
  FormatDimmResults(DIMM_RESULT_LIST{5, nullptr}, Empty);
  EXPECT_STREQ(Empty, "");
}

}  // namespace
