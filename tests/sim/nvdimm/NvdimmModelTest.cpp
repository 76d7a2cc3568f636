// The component's own model, driven through the protocol as the driver does.
#include "NvdimmFixture.h"

namespace {

bool Untouched(const CHAR8 *ErrorMessage) {
  for (UINTN Index = 0; Index < NVDIMM_ERROR_MESSAGE_SIZE; Index++) {
    if (ErrorMessage[Index] != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

using NvdimmModelTest = NvdimmFixture;

// A created namespace exists until it is deleted; deleting it again fails.
TEST_F(NvdimmModelTest, CreateThenDeleteNamespace) {
  Start();
  ASSERT_EQ(CreateNamespace(1, "db", 1024, "DevDax"), EFI_SUCCESS);
  EXPECT_TRUE(Untouched(mError));
  const NvdimmNamespace *Created = mComponent->Model().FindNamespace(2);
  ASSERT_NE(Created, nullptr);
  EXPECT_STREQ(Created->Name, "db");
  EXPECT_EQ(Created->Mode, NvdimmMode::Devdax);
  EXPECT_EQ(Created->CapacityMiB, 1024u);
  EXPECT_EQ(DeleteNamespace(2), EFI_SUCCESS);
  EXPECT_TRUE(Untouched(mError));
  EXPECT_EQ(DeleteNamespace(2), EFI_NOT_FOUND);
  EXPECT_STREQ(mError, "Namespace 2 does not exist");
}

// Namespaces use up their region; a deleted one gives its capacity and its
// id back.
TEST_F(NvdimmModelTest, CapacityAccounting) {
  Start();
  ASSERT_EQ(CreateNamespace(1, "rest", 245760), EFI_SUCCESS);
  EXPECT_EQ(CreateNamespace(1, "more", 1), EFI_OUT_OF_RESOURCES);
  EXPECT_STREQ(mError, "Region 0x0001 has 0 MiB free; 1 MiB asked");
  ASSERT_EQ(DeleteNamespace(1), EFI_SUCCESS);
  EXPECT_EQ(CreateNamespace(1, "more", 16385), EFI_OUT_OF_RESOURCES);
  EXPECT_STREQ(mError, "Region 0x0001 has 16384 MiB free; 16385 MiB asked");
  ASSERT_EQ(CreateNamespace(1, "more", 16384), EFI_SUCCESS);
  EXPECT_NE(mComponent->Model().FindNamespace(1), nullptr);
}

// Invalid arguments fail with a reason that fits ErrorMessage.
TEST_F(NvdimmModelTest, InvalidNamespaceArguments) {
  Start();
  const std::string Long(64, 'n');
  struct {
    UINT32 Region;
    const char *Name;
    UINT64 MiB;
    const char *Mode;
    EFI_STATUS Status;
    const char *Text;
  } const Cases[] = {
      {7, "a", 1, "fsdax", EFI_NOT_FOUND, "Region 0x0007 not found"},
      {1, "a", 0, "fsdax", EFI_INVALID_PARAMETER, "Namespace capacity is 0 MiB"},
      {1, "a", 1, "btt", EFI_INVALID_PARAMETER, "Unknown namespace mode 'btt'"},
      {1, Long.c_str(), 1, "fsdax", EFI_INVALID_PARAMETER, "Namespace name over 63 bytes"},
      {1, nullptr, 1, "fsdax", EFI_INVALID_PARAMETER, "Namespace name missing"},
      {1, "a", 1, nullptr, EFI_INVALID_PARAMETER, "Namespace mode missing"},
      {1, "a", ~0ull, "fsdax", EFI_OUT_OF_RESOURCES,
       "Region 0x0001 has 245760 MiB free; 18446744073709551615 MiB asked"},
  };
  for (const auto &Case : Cases) {
    EXPECT_EQ(CreateNamespace(Case.Region, Case.Name, Case.MiB, Case.Mode), Case.Status);
    EXPECT_STREQ(mError, Case.Text);
  }
  EXPECT_EQ(mComponent->Model().NamespaceCount, 1u);
}

// Erasing a module's configuration data takes its regions and their
// namespaces with it.
TEST_F(NvdimmModelTest, EraseClearsModuleConfiguration) {
  Start();
  UINT16 Id = 0x0011;
  ASSERT_EQ(ErasePcd(&Id), EFI_SUCCESS);
  EXPECT_TRUE(Untouched(mError));
  EXPECT_EQ(mList.Count, 0u);
  const NvdimmModel &Model = mComponent->Model();
  EXPECT_FALSE(Model.Modules[1].HasPcd);
  EXPECT_TRUE(Model.Modules[0].HasPcd);
  EXPECT_EQ(Model.RegionCount, 0u);
  EXPECT_EQ(Model.NamespaceCount, 0u);
  EXPECT_EQ(CreateNamespace(1, "a", 1), EFI_NOT_FOUND);
  EXPECT_STREQ(mError, "Region 0x0001 not found");
  Id = 0x0101;
  EXPECT_EQ(ErasePcd(&Id), EFI_NOT_FOUND);
  EXPECT_STREQ(mError, "DIMM 0x0101 not found");
}

// An all-modules erase lists every module.
TEST_F(NvdimmModelTest, EraseAllListsEveryModule) {
  Start();
  ASSERT_EQ(ErasePcd(nullptr), EFI_SUCCESS);
  using Entries = std::vector<std::pair<UINT64, std::string>>;
  EXPECT_EQ(ResultList(), (Entries{{0x0001, "Success"}, {0x0011, "Success"}}));
  EXPECT_EQ(mComponent->Model().RegionCount, 0u);
}

// A goal changes nothing until the next boot, which rebuilds the regions
// and drops the namespaces on them.
TEST_F(NvdimmModelTest, GoalTakesEffectAtNextBoot) {
  Start();
  ASSERT_EQ(CreateGoal("platform", 25, 0, "AppDirect"), EFI_SUCCESS);
  EXPECT_TRUE(Untouched(mError));
  EXPECT_EQ(mComponent->Model().NamespaceCount, 1u);
  Reboot();
  const NvdimmModel &Model = mComponent->Model();
  EXPECT_FALSE(Model.GoalPending());
  EXPECT_EQ(Model.NamespaceCount, 0u);
  ASSERT_EQ(Model.RegionCount, 1u);
  EXPECT_EQ(Model.Regions[0].Modules, 0x3u);
  EXPECT_EQ(Model.Regions[0].CapacityMiB, 2u * 98304);

  ASSERT_EQ(CreateGoal("Socket", 0, 10, "AppDirectNotInterleaved"), EFI_SUCCESS);
  Reboot();
  ASSERT_EQ(Model.RegionCount, 2u);
  EXPECT_EQ(Model.Regions[0].Id, 1u);
  EXPECT_EQ(Model.Regions[0].Modules, 0x1u);
  EXPECT_EQ(Model.Regions[1].Id, 2u);
  EXPECT_EQ(Model.Regions[1].CapacityMiB, 117760u);  // 90% of 128 GiB, whole GiB
}

// A socket-level goal interleaves the modules of each socket; an erase
// before the reboot withdraws that module from the goal.
TEST_F(NvdimmModelTest, SocketGoalAndErasedModule) {
  Start(R"({"model": {"modules": [{"id": 1}, {"id": 2}, {"id": 4096, "socket": 1}]}})");
  ASSERT_EQ(CreateGoal("Socket", 0, 0, "AppDirect"), EFI_SUCCESS);
  UINT16 Id = 2;
  ASSERT_EQ(ErasePcd(&Id), EFI_SUCCESS);
  Reboot();
  const NvdimmModel &Model = mComponent->Model();
  ASSERT_EQ(Model.RegionCount, 2u);
  EXPECT_EQ(Model.Regions[0].Modules, 0x1u);
  EXPECT_EQ(Model.Regions[1].Modules, 0x4u);
  EXPECT_FALSE(Model.Modules[1].HasPcd);
}

// Goal arguments are checked when the goal is made.
TEST_F(NvdimmModelTest, InvalidGoalArguments) {
  Start();
  EXPECT_EQ(CreateGoal("Rack", 0, 0, "AppDirect"), EFI_INVALID_PARAMETER);
  EXPECT_STREQ(mError, "Unknown configuration level 'Rack'");
  EXPECT_EQ(CreateGoal("Platform", 0, 0, "Memory"), EFI_INVALID_PARAMETER);
  EXPECT_STREQ(mError, "Unknown persistent memory type 'Memory'");
  EXPECT_EQ(CreateGoal("Platform", 101, 0, "AppDirect"), EFI_INVALID_PARAMETER);
  EXPECT_STREQ(mError, "MemoryMode 101% is over 100%");
  EXPECT_EQ(CreateGoal("Platform", 60, 50, "AppDirect"), EFI_INVALID_PARAMETER);
  EXPECT_STREQ(mError, "MemoryMode 60% and Reserved 50% exceed 100%");
  EXPECT_EQ(CreateGoal("Platform", 0, 0, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_STREQ(mError, "Persistent memory type missing");
  EXPECT_FALSE(mComponent->Model().GoalPending());
}

// A locked module refuses goals and erases; an all-modules erase still
// erases the others and reports each.
TEST_F(NvdimmModelTest, LockedModuleRefuses) {
  Start(R"({"model": {"modules": [{"id": 1}, {"id": 17, "locked": true}],
            "regions": [{"id": 3, "modules": [1], "capacityMiB": 4096}]}})");
  EXPECT_EQ(CreateGoal("Platform", 0, 0, "AppDirect"), EFI_ACCESS_DENIED);
  EXPECT_STREQ(mError, "DIMM 0x0011 is locked; goal refused");
  EXPECT_EQ(ErasePcd(nullptr), EFI_ACCESS_DENIED);
  EXPECT_STREQ(mError, "DIMM 0x0011 is locked; erase refused");
  using Entries = std::vector<std::pair<UINT64, std::string>>;
  EXPECT_EQ(ResultList(), (Entries{{1, "Success"}, {17, "Failed"}}));
  EXPECT_EQ(mComponent->Model().RegionCount, 0u);
}
