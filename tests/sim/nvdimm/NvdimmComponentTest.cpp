// The component's protocol: forced outcomes, result lists, diagnostics
// messages, trace events, hostile arguments and the state across reboots.
#include "NvdimmFixture.h"

using NvdimmComponentTest = NvdimmFixture;

// Forced outcomes win over the model, which they leave alone; the message is
// cut to 79 bytes and its bytes are copied as they stand.
TEST_F(NvdimmComponentTest, ForcedResultsWin) {
  const std::string Long(100, 'm');
  Start((R"({"results": {
      "CreateGoal": {"status": "EFI_DEVICE_ERROR", "message": "goal \u00e9"},
      "CreateNamespace": {"status": "EFI_SUCCESS", "message": "ignored"},
      "DeleteNamespace": {"status": "EFI_WARN_STALE_DATA", "message": ")" +
         Long + R"("},
      "DeletePlatformConfigurationData": {"status": "EFI_NOT_READY", "message": "busy"}}})")
            .c_str());
  EXPECT_EQ(CreateGoal("Platform", 0, 0, "AppDirect"), EFI_DEVICE_ERROR);
  EXPECT_STREQ(mError, "goal \xC3\xA9");
  EXPECT_EQ(CreateNamespace(1, "a", 1), EFI_SUCCESS);
  EXPECT_EQ(mError[0], '\0');
  EXPECT_EQ(DeleteNamespace(1), EFI_WARN_STALE_DATA);
  EXPECT_EQ(std::string(mError), Long.substr(0, 79));
  UINT16 Id = 0x0001;
  EXPECT_EQ(ErasePcd(&Id), EFI_NOT_READY);
  EXPECT_STREQ(mError, "busy");
  EXPECT_EQ(ErasePcd(nullptr), EFI_NOT_READY);
  using Entries = std::vector<std::pair<UINT64, std::string>>;
  EXPECT_EQ(ResultList(), (Entries{{0x0001, "Failed"}, {0x0011, "Failed"}}));

  const NvdimmModel &Model = mComponent->Model();
  EXPECT_FALSE(Model.GoalPending());
  EXPECT_EQ(Model.NamespaceCount, 1u);
  EXPECT_EQ(Model.RegionCount, 1u);
  EXPECT_TRUE(Model.Modules[0].HasPcd);
}

// "pcdResults" is the list of an all-modules erase, forced or not; the
// model still erases when its outcome is not forced.
TEST_F(NvdimmComponentTest, PcdResultsReplaceTheList) {
  Start(R"({"pcdResults": [{"id": 74565, "status": "Success"}, {"id": 2, "status": "Timeout"},
                           {"id": 3, "status": ""}]})");
  ASSERT_EQ(ErasePcd(nullptr), EFI_SUCCESS);
  using Entries = std::vector<std::pair<UINT64, std::string>>;
  const Entries Expected = {{0x12345, "Success"}, {2, "Timeout"}, {3, ""}};
  EXPECT_EQ(ResultList(), Expected);
  EXPECT_EQ(mComponent->Model().RegionCount, 0u);
}

TEST_F(NvdimmComponentTest, PcdResultsWithForcedStatus) {
  Start(R"({"results": {"DeletePlatformConfigurationData": {"status": "EFI_DEVICE_ERROR"}},
            "pcdResults": []})");
  EXPECT_EQ(ErasePcd(nullptr), EFI_DEVICE_ERROR);
  EXPECT_EQ(mList.Count, 0u);
  EXPECT_EQ(mComponent->Model().RegionCount, 1u);
}

// Diagnostics results come from the host's pool, handed over to the driver,
// which frees them; the fixture checks both.
TEST_F(NvdimmComponentTest, DiagnosticsFromTheModel) {
  Start(R"({"model": {"modules": [{"id": 1}, {"id": 17, "failingTests": ["Security", "Fw"]}]}})");
  EXPECT_EQ(Diagnose(TRUE, 0x00FF, "quick,Config"), EFI_SUCCESS);
  EXPECT_EQ(mResult, "Diagnostics Quick,Config: DIMM 0x0001 passed; DIMM 0x0011 passed");
  EXPECT_EQ(Diagnose(TRUE, 0x00FF, "All"), EFI_DEVICE_ERROR);
  EXPECT_EQ(mResult,
            "Diagnostics Quick,Config,Security,Fw: DIMM 0x0001 passed; "
            "DIMM 0x0011 failed Security,Fw");
  EXPECT_EQ(Diagnose(FALSE, 0x0011, "Fw"), EFI_DEVICE_ERROR);
  EXPECT_EQ(mResult, "Diagnostics Fw: DIMM 0x0011 failed Fw");
  EXPECT_EQ(Diagnose(FALSE, 0x0101, "Fw"), EFI_NOT_FOUND);
  EXPECT_EQ(mResult, "DIMM 0x0101 not found");
  EXPECT_EQ(Diagnose(TRUE, 0x00FF, ""), EFI_INVALID_PARAMETER);
  EXPECT_EQ(mResult, "No diagnostics test selected");
  EXPECT_EQ(Diagnose(TRUE, 0x00FF, "Quick,Slow"), EFI_INVALID_PARAMETER);
  EXPECT_EQ(mResult, "Unknown diagnostics test 'Slow'");
  EXPECT_EQ(Diagnose(TRUE, 0x00FF, "Quick,"), EFI_INVALID_PARAMETER);
  EXPECT_EQ(mResult, "Empty name in diagnostics test list");
}

TEST_F(NvdimmComponentTest, DiagnosticsForced) {
  Start(R"({"diagnostics": {"status": "EFI_SUCCESS", "message": "All good"}})");
  EXPECT_EQ(Diagnose(TRUE, 0x00FF, ""), EFI_SUCCESS);
  EXPECT_EQ(mResult, "All good");
  mBoot.FailNext();
  EXPECT_EQ(Diagnose(TRUE, 0x00FF, "Quick"), EFI_OUT_OF_RESOURCES);
  EXPECT_FALSE(mHasResult);
}

TEST_F(NvdimmComponentTest, DiagnosticsForcedWithoutMessage) {
  Start(R"({"diagnostics": {"status": "EFI_DEVICE_ERROR", "message": null}})");
  EXPECT_EQ(Diagnose(TRUE, 0x00FF, "Quick"), EFI_DEVICE_ERROR);
  EXPECT_FALSE(mHasResult);
}

// Each operation writes one event with its arguments in order; null
// pointers are written as null.
TEST_F(NvdimmComponentTest, TraceEvents) {
  Start();
  CreateNamespace(1, "db", 1024);
  EXPECT_EQ(LastLine(),
            R"({"boot":1,"event":"nvdimm","op":"CreateNamespace","args":{"RegionId":1,)"
            R"("Name":"db","CapacityMiB":1024,"Mode":"fsdax"},"status":"EFI_SUCCESS","tpl":4})");
  CreateGoal(nullptr, 4294967295u, 0, "AppDirect");
  EXPECT_EQ(LastLine(),
            R"({"boot":1,"event":"nvdimm","op":"CreateGoal","args":{)"
            R"("ConfigurationLevel":null,"MemoryMode":4294967295,"Reserved":0,)"
            R"("PersistentMemoryType":"AppDirect"},"status":"EFI_INVALID_PARAMETER","tpl":4})");
  DeleteNamespace(9);
  EXPECT_EQ(LastLine(), R"({"boot":1,"event":"nvdimm","op":"DeleteNamespace","args":)"
                        R"({"NamespaceId":9},"status":"EFI_NOT_FOUND","tpl":4})");
  Reboot();
  ErasePcd(nullptr);
  EXPECT_EQ(LastLine(),
            R"({"boot":2,"event":"nvdimm","op":"DeletePlatformConfigurationData",)"
            R"("args":{"AllDimms":true,"DimmId":null},"status":"EFI_SUCCESS","tpl":4})");
  Diagnose(FALSE, 0x0011, "Fw");
  EXPECT_EQ(LastLine(),
            R"({"boot":2,"event":"nvdimm","op":"RunDiagnostics","args":)"
            R"({"AllDimms":false,"DimmId":17,"Tests":"Fw"},"status":"EFI_SUCCESS","tpl":4})");
  BOOLEAN Pending = FALSE;
  mProtocol->GetLocalRequestPending(&Pending);
  EXPECT_EQ(LastLine(), R"({"boot":2,"event":"nvdimm","op":"GetLocalRequestPending","args":{},)"
                        R"("status":"EFI_SUCCESS","pending":false,"tpl":4})");
  EXPECT_EQ(Lines().size(), 6u);
  EXPECT_EQ(mEnters, 6);
}

// The local request: the configured answer and status, then pending for the
// rest of the run once a local user made one.
TEST_F(NvdimmComponentTest, LocalRequest) {
  Start(R"({"localRequestStatus": "EFI_NOT_READY"})");
  BOOLEAN Pending = TRUE;
  EXPECT_EQ(mProtocol->GetLocalRequestPending(&Pending), EFI_NOT_READY);
  EXPECT_EQ(Pending, FALSE);
  mComponent->SetLocalRequest();
  Reboot();
  EXPECT_EQ(mProtocol->GetLocalRequestPending(&Pending), EFI_NOT_READY);
  EXPECT_EQ(Pending, TRUE);
}

// Each boot refills the record: Enabled from the configuration, and the
// driver's ResetPending back to 0.
TEST_F(NvdimmComponentTest, BootRefillsTheRecord) {
  Start(R"({"enabled": false})");
  EXPECT_EQ(mProtocol->Enabled, 0);
  mProtocol->ResetPending = 1;
  mProtocol->CreateGoal = nullptr;
  Reboot();
  EXPECT_EQ(mProtocol->ResetPending, 0);
  EXPECT_NE(mProtocol->CreateGoal, nullptr);
}

// Null pointers are refused with EFI_INVALID_PARAMETER, never followed.
TEST_F(NvdimmComponentTest, NullArgumentsAreRefused) {
  Start();
  CHAR8 Text[] = "x";
  DIMM_RESULT_LIST List = {};
  CHAR8 *Message = nullptr;
  UINT16 Id = 1;
  EXPECT_EQ(mProtocol->CreateGoal(Text, 0, 0, Text, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ(mProtocol->CreateNamespace(1, Text, 1, Text, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ(mProtocol->DeleteNamespace(1, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ(mProtocol->DeletePlatformConfigurationData(TRUE, nullptr, nullptr, &List),
            EFI_INVALID_PARAMETER);
  EXPECT_EQ(mProtocol->DeletePlatformConfigurationData(TRUE, nullptr, mError, nullptr),
            EFI_INVALID_PARAMETER);
  EXPECT_STREQ(mError, "Result list missing");
  EXPECT_EQ(mProtocol->DeletePlatformConfigurationData(FALSE, nullptr, mError, &List),
            EFI_INVALID_PARAMETER);
  EXPECT_STREQ(mError, "DIMM id missing");
  EXPECT_EQ(mProtocol->RunDiagnostics(TRUE, &Id, Text, nullptr), EFI_INVALID_PARAMETER);
  // The reason still reaches the driver as the result message.
  EXPECT_EQ(mProtocol->RunDiagnostics(FALSE, nullptr, Text, &Message), EFI_INVALID_PARAMETER);
  ASSERT_NE(Message, nullptr);
  EXPECT_STREQ(Message, "DIMM id missing");
  mBoot.Table()->FreePool(Message);
  Message = nullptr;
  EXPECT_EQ(mProtocol->RunDiagnostics(TRUE, &Id, nullptr, &Message), EFI_INVALID_PARAMETER);
  ASSERT_NE(Message, nullptr);
  EXPECT_STREQ(Message, "Diagnostics test list missing");
  mBoot.Table()->FreePool(Message);
  mHandedOver.clear();
  EXPECT_EQ(mProtocol->GetLocalRequestPending(nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ(mComponent->Model().ModuleCount, 2u);
  EXPECT_EQ(mComponent->Model().RegionCount, 1u);
}

// Without a component the operations answer but do nothing.
TEST_F(NvdimmComponentTest, NoComponentNoOperation) {
  Start();
  NVDIMM_DELETE_NAMESPACE Delete = mProtocol->DeleteNamespace;
  mComponent.reset();
  EXPECT_EQ(Delete(1, mError), EFI_NOT_READY);
}

// The saved state carries the model, a pending goal and the local request
// into a new component; text that is no state changes nothing.
TEST_F(NvdimmComponentTest, StateRoundTrip) {
  Start(R"({"model": {"modules": [{"id": 1, "capacityMiB": 8192, "failingTests": ["Fw"]},
                                   {"id": 2, "locked": true}],
                      "regions": [{"id": 5, "modules": [1], "capacityMiB": 8192}]}})");
  ASSERT_EQ(CreateNamespace(5, "keep", 4096, "sector"), EFI_SUCCESS);
  mComponent->SetLocalRequest();
  std::unique_ptr<char, void (*)(void *)> Saved(mComponent->SaveState(), cJSON_free);
  ASSERT_NE(Saved, nullptr);

  NvdimmConfig Defaults;
  NvdimmComponent Restored(Defaults, mHost, mTrace);
  EXPECT_FALSE(Restored.LoadState("{"));
  EXPECT_FALSE(Restored.LoadState(R"({"model": {"modules": [{"id": -1}]}})"));
  EXPECT_FALSE(Restored.LoadState(nullptr));
  EXPECT_EQ(Restored.Model().ModuleCount, 2u);
  EXPECT_EQ(Restored.Model().Modules[0].Id, 0x0001);
  ASSERT_TRUE(Restored.LoadState(Saved.get()));
  std::unique_ptr<char, void (*)(void *)> Again(Restored.SaveState(), cJSON_free);
  EXPECT_STREQ(Again.get(), Saved.get());
  const NvdimmNamespace *Kept = Restored.Model().FindNamespace(1);
  ASSERT_NE(Kept, nullptr);
  EXPECT_STREQ(Kept->Name, "keep");
  EXPECT_EQ(Kept->Mode, NvdimmMode::Sector);
  EXPECT_TRUE(Restored.Model().Modules[1].Locked);
  EXPECT_EQ(Restored.Model().Modules[0].FailingTests, NVDIMM_TEST_FW);

  NVDIMM_ACTION_PROTOCOL *Protocol = Restored.BeginBoot();
  BOOLEAN Pending = FALSE;
  EXPECT_EQ(Protocol->GetLocalRequestPending(&Pending), EFI_SUCCESS);
  EXPECT_EQ(Pending, TRUE);
}

// A goal pending when the state is saved is applied at the next boot of
// the component that loads it.
TEST_F(NvdimmComponentTest, StateCarriesPendingGoal) {
  Start();
  ASSERT_EQ(CreateGoal("Platform", 0, 0, "AppDirectNotInterleaved"), EFI_SUCCESS);
  std::unique_ptr<char, void (*)(void *)> Saved(mComponent->SaveState(), cJSON_free);
  NvdimmConfig Defaults;
  NvdimmComponent Restored(Defaults, mHost, mTrace);
  ASSERT_TRUE(Restored.LoadState(Saved.get()));
  EXPECT_TRUE(Restored.Model().GoalPending());
  (void)Restored.BeginBoot();
  EXPECT_EQ(Restored.Model().RegionCount, 2u);
  EXPECT_EQ(Restored.Model().NamespaceCount, 0u);
}
