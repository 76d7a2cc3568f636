// Reading of the scenario's "nvdimm" member.
#include "NvdimmFixture.h"

namespace {

struct ConfigReader {
  cJSON *Document = nullptr;
  NvdimmConfig Config;
  char Error[120];

  ~ConfigReader() {
    NvdimmFreeConfig(&Config);
    cJSON_Delete(Document);
  }
  bool Read(const char *Json) {
    char ParseError[120] = "";
    Document = ExactJsonParse(Json, std::strlen(Json), ParseError, sizeof(ParseError));
    EXPECT_NE(Document, nullptr) << ParseError;
    std::memset(Error, 0, sizeof(Error));
    return NvdimmReadConfig(Document, &Config, Error, sizeof(Error));
  }
};

}  // namespace

// An absent or null member gives the defaults.
TEST(NvdimmConfigTest, AbsentMemberGivesDefaults) {
  ConfigReader Reader;
  ASSERT_TRUE(Reader.Read("null"));
  EXPECT_TRUE(Reader.Config.Enabled);
  EXPECT_FALSE(Reader.Config.LocalRequestPending);
  EXPECT_EQ(Reader.Config.LocalRequestStatus, EFI_SUCCESS);
  EXPECT_FALSE(Reader.Config.CreateGoal.Forced);
  EXPECT_FALSE(Reader.Config.DiagnosticsForced);
  EXPECT_FALSE(Reader.Config.HasPcdResults);
  EXPECT_EQ(Reader.Config.Model, nullptr);
}

// Every member is read, member names without regard to case, ids exactly.
TEST(NvdimmConfigTest, ReadsEveryMember) {
  ConfigReader Reader;
  ASSERT_TRUE(Reader.Read(R"({
    "Enabled": false, "localRequestPending": true, "localRequestStatus": "EFI_WARN_STALE_DATA",
    "results": {"CreateNamespace": {"status": "EFI_DEVICE_ERROR", "message": "no room"},
                "DeletePlatformConfigurationData": {"status": "EFI_SUCCESS"}},
    "diagnostics": {"status": "EFI_TIMEOUT", "message": null},
    "pcdResults": [{"id": 18446744073709551615, "status": "Success"}, {"id": 17, "status": "Busy"}],
    "model": {"modules": [{"id": 5}]}})"))
      << Reader.Error;
  const NvdimmConfig &Config = Reader.Config;
  EXPECT_FALSE(Config.Enabled);
  EXPECT_TRUE(Config.LocalRequestPending);
  EXPECT_EQ(Config.LocalRequestStatus, EFI_WARN_STALE_DATA);
  EXPECT_FALSE(Config.CreateGoal.Forced);
  EXPECT_TRUE(Config.CreateNamespace.Forced);
  EXPECT_EQ(Config.CreateNamespace.Status, EFI_DEVICE_ERROR);
  EXPECT_STREQ(Config.CreateNamespace.Message, "no room");
  EXPECT_TRUE(Config.DeletePlatformConfigurationData.Forced);
  EXPECT_EQ(Config.DeletePlatformConfigurationData.Message, nullptr);
  EXPECT_TRUE(Config.DiagnosticsForced);
  EXPECT_EQ(Config.DiagnosticsStatus, EFI_TIMEOUT);
  EXPECT_EQ(Config.DiagnosticsMessage, nullptr);
  ASSERT_TRUE(Config.HasPcdResults);
  ASSERT_EQ(Config.PcdResultCount, 2u);
  EXPECT_EQ(Config.PcdResults[0].Id, 0xFFFFFFFFFFFFFFFFull);
  EXPECT_STREQ(Config.PcdResults[1].Status, "Busy");
  EXPECT_NE(Config.Model, nullptr);
}

// A rejected member is named by its full path; the record is left at its
// defaults with nothing allocated.
TEST(NvdimmConfigTest, ErrorsNameTheMember) {
  const std::string Long(80, 'x');
  const std::string Module1024 = R"({"id": 1, "capacityMiB": 1024})";
  const std::pair<std::string, std::string> Cases[] = {
      {"[]", "nvdimm: not an object"},
      {R"({"enabeld": true})", "nvdimm.enabeld: unknown member"},
      {R"({"enabled": 1})", "nvdimm.enabled: not true or false"},
      {R"({"localRequestStatus": "EFI_BOGUS"})",
       "nvdimm.localRequestStatus: unknown status 'EFI_BOGUS'"},
      {R"({"results": {"CreateGoal": {"message": "x"}}})",
       "nvdimm.results.CreateGoal.status: missing"},
      {R"({"results": {"CreateGoals": {}}})", "nvdimm.results.CreateGoals: unknown member"},
      {R"({"results": {"DeleteNamespace": {"status": "EFI_DEVICE_ERROR", "message": 5}}})",
       "nvdimm.results.DeleteNamespace.message: not a string"},
      {R"({"diagnostics": {"status": 0}})", "nvdimm.diagnostics.status: not a string"},
      {R"({"pcdResults": [{"id": 1, "status": "a"}, {"id": -1, "status": "b"}]})",
       "nvdimm.pcdResults[1].id: not a whole number from 0 to 18446744073709551615"},
      {R"({"pcdResults": [{"id": 1}]})", "nvdimm.pcdResults[0].status: missing"},
      {R"({"pcdResults": [{"id": 1, "status": ")" + Long + "\"}]}",
       "nvdimm.pcdResults[0].status: longer than 79 bytes"},
      {R"({"pcdResults": [{"id": 1, "status": "a"}], "model": 5})", "nvdimm.model: not an object"},
      {R"({"model": {"modules": [{"id": 1}, {"id": 1}]}})",
       "nvdimm.model.modules[1].id: duplicate id 0x0001"},
      {R"({"model": {"modules": [{"id": 1, "failingTests": ["Slow"]}]}})",
       "nvdimm.model.modules[0].failingTests[0]: not one of All, Quick, Config, Security, Fw"},
      {R"({"model": {"modules": [{"id": 1}], "regions": [{"id": 1, "modules": [2], "capacityMiB": 1}]}})",
       "nvdimm.model.regions[0].modules[0]: no module 0x0002"},
      {R"({"model": {"modules": [{"id": 1, "pcd": false}], "regions": [{"id": 1, "modules": [1], "capacityMiB": 1}]}})",
       "nvdimm.model.regions[0].modules: module 0x0001 has no pcd"},
      {R"({"model": {"modules": [)" + Module1024 +
           R"(], "regions": [{"id": 1, "modules": [1], "capacityMiB": 2048}]}})",
       "nvdimm.model.regions[0].capacityMiB: not a whole number from 1 to 1024"},
      {R"({"model": {"modules": [)" + Module1024 +
           R"(], "regions": [{"id": 1, "modules": [1], "capacityMiB": 1024}], "namespaces": [
           {"id": 1, "region": 1, "capacityMiB": 1000}, {"id": 2, "region": 1, "capacityMiB": 100}]}})",
       "nvdimm.model.namespaces[1].capacityMiB: not a whole number from 1 to 24"},
      {R"({"model": {"modules": [)" + Module1024 +
           R"(], "regions": [{"id": 1, "modules": [1], "capacityMiB": 1024}], "namespaces": [
           {"id": 1, "region": 1, "capacityMiB": 1, "mode": "dax"}]}})",
       "nvdimm.model.namespaces[0].mode: not raw, sector, fsdax or devdax"},
      {R"({"model": {"modules": [{"id": 1}], "goal": {"configurationLevel": "Rack",
           "persistentMemoryType": "AppDirect"}}})",
       "nvdimm.model.goal: Unknown configuration level 'Rack'"},
  };
  for (const auto &[Json, Expected] : Cases) {
    ConfigReader Reader;
    EXPECT_FALSE(Reader.Read(Json.c_str())) << Json;
    EXPECT_EQ(std::string(Reader.Error), Expected) << Json;
    EXPECT_FALSE(Reader.Config.HasPcdResults);
    EXPECT_EQ(Reader.Config.PcdResults, nullptr);
  }
}
