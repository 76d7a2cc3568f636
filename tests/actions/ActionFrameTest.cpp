// The handler frame with a component that misbehaves in a way no scenario
// component does: it fills all 80 bytes of ErrorMessage and leaves no NUL.
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
                 &Nvdimm);
    ASSERT_EQ(Rest.Requests.size(), 2u) << Path.Name;
    std::string Expected = "{\n\t\"Status\":\t\"Failed\",\n\t\"StatusMessage\":\t\"" +
                           std::string(Path.Prefix) + std::string(79, 'E') + "\"\n}";
    EXPECT_EQ(Rest.Requests[1].Body, Expected) << Path.Name;
  }
}

}  // namespace
