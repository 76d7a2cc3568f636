// The handler frame where no scenario takes it: a component that fills all
// 80 bytes of ErrorMessage and leaves no NUL, and a parse that runs out of
// memory at any of its allocations.
#include <cstring>
#include <string>

#include "actions/Handlers.h"
#include "tests/redfish/RedfishFixture.h"

namespace {

void FillErrorMessage(CHAR8 *ErrorMessage) {
  std::memset(ErrorMessage, 'E', NVDIMM_ERROR_MESSAGE_SIZE);
}

EFI_STATUS EFIAPI UnterminatedGoal(CHAR8 *, UINT32, UINT32, CHAR8 *, CHAR8 *ErrorMessage) {
  FillErrorMessage(ErrorMessage);
  return EFI_DEVICE_ERROR;
}

EFI_STATUS EFIAPI UnterminatedCreate(UINT32, CHAR8 *, UINT64, CHAR8 *, CHAR8 *ErrorMessage) {
  FillErrorMessage(ErrorMessage);
  return EFI_DEVICE_ERROR;
}

EFI_STATUS EFIAPI UnterminatedDelete(UINT16, CHAR8 *ErrorMessage) {
  FillErrorMessage(ErrorMessage);
  return EFI_DEVICE_ERROR;
}

EFI_STATUS EFIAPI UnterminatedErase(BOOLEAN, UINT16 *, CHAR8 *ErrorMessage, DIMM_RESULT_LIST *) {
  FillErrorMessage(ErrorMessage);
  return EFI_DEVICE_ERROR;
}

struct FailurePath {
  const char *Name;
  ACTION_HANDLER Handler;
  const char *Body;
  const char *Prefix;  ///< the handler's failure text before the component's
};

class ActionFrameTest : public RedfishTest {
 protected:
  void SetUp() override {
    RedfishTest::SetUp();
    Nvdimm.Enabled = 1;
    Nvdimm.CreateGoal = UnterminatedGoal;
    Nvdimm.CreateNamespace = UnterminatedCreate;
    Nvdimm.DeleteNamespace = UnterminatedDelete;
    Nvdimm.DeletePlatformConfigurationData = UnterminatedErase;
  }

  NVDIMM_ACTION_PROTOCOL Nvdimm = {};
};

// Each handler that reports the component's ErrorMessage reads it within its
// 80 bytes: 79 of them, the last taken for the NUL.
TEST_F(ActionFrameTest, UnterminatedErrorMessageIsCutTo79Bytes) {
  const FailurePath Paths[] = {
      {"CreateGoal", CreateGoalAction,
       R"({"ConfigurationLevel":"Platform","MemoryMode":0,"Reserved":0,"PersistentMemoryType":"AppDirect"})",
       "(UEFI UPDATE-CG):"},
      {"CreateNamespace", CreateNamespaceAction,
       R"({"RegionId":"1","Name":"ns","Mode":"fsdax","CapacityMiB":1024})", "(UEFI UPDATE - CN):"},
      {"DeleteNamespace", DeleteNamespaceAction, R"({"Id":"1"})", "(UEFI UPDATE - DN): "},
      {"DeletePlatformConfigurationData", DeletePlatformConfigurationDataAction,
       R"({"DimmPhysicalId":"0x1"})", "(UEFI UPDATE - DPCD): "},
  };
  Install(Rest);
  for (const FailurePath &Path : Paths) {
    Rest.Requests.clear();
    Rest.Body = Path.Body;
    Path.Handler(u"/redfish/v1/Systems/Self/Memory/1/Actions/Oem/Velk/VIZ.Action", &Rest.Protocol,
                 &Nvdimm, nullptr);
    ASSERT_EQ(Rest.Requests.size(), 2u) << Path.Name;
    std::string Expected = "{\n\t\"Status\":\t\"Failed\",\n\t\"StatusMessage\":\t\"" +
                           std::string(Path.Prefix) + std::string(79, 'E') + "\"\n}";
    EXPECT_EQ(Rest.Requests[1].Body, Expected) << Path.Name;
  }
}

EFI_STATUS EFIAPI AcceptDelete(UINT16, CHAR8 *) { return EFI_SUCCESS; }

// A parse that runs out of memory, at whichever of its allocations, has no
// error position: the parse-failure report prints it as "<null string>".
TEST_F(ActionFrameTest, ParseOutOfMemoryHasNoPosition) {
  Nvdimm.DeleteNamespace = AcceptDelete;
  Install(Rest);
  Rest.Body = R"({"Id": "1", "Note": ["a", "b"]})";
  const std::string Expected =
      "{\n\t\"Status\":\t\"Failed\",\n\t\"StatusMessage\":\t\"(UEFI UPDATE - DN): Error to parse "
      "Json file - <null string>\\r\\n\"\n}";
  int ParseFailures = 0;
  // Each allocation of the handler in turn fails; a well-formed body fails
  // to parse only for lack of memory.
  for (UINT64 Failing = 1; Failing <= 64; Failing++) {
    Rest.Requests.clear();
    Machine.SetFailAllocation(Machine.DriverAllocationCount() + Failing);
    DeleteNamespaceAction(u"/ns", &Rest.Protocol, &Nvdimm);
    Machine.SetFailAllocation(0);
    for (const RecordedRequest &Request : Rest.Requests) {
      if (Request.Body.find("Error to parse") != std::string::npos) {
        ParseFailures++;
        EXPECT_EQ(Request.Body, Expected) << "allocation " << Failing;
      }
    }
  }
  EXPECT_GT(ParseFailures, 0);
}

}  // namespace
