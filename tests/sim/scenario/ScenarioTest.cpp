#include <string>
#include <utility>
#include <vector>

#include "tests/sim/SimTestSupport.h"

namespace {

std::string Body(const REDFISH_RESOURCE_SETTING &Resource) {
  return std::string(Resource.Body, Resource.BodyLength);
}

// Without members: no resources, no overrides, EFI_SUCCESS, one default boot.
TEST(ScenarioRead, EmptyObjectGivesTheDefaults) {
  ReadScenario Scenario("{}");
  ASSERT_TRUE(Scenario.Read) << Scenario.Error;
  const ScenarioParts &Parts = Scenario.Parts;
  EXPECT_STREQ(Parts.Description(), "");
  EXPECT_EQ(Parts.Redfish().ResourceCount, 0U);
  EXPECT_EQ(Parts.Redfish().OverrideCount, 0U);
  EXPECT_EQ(Parts.Redfish().ServiceStatus, EFI_SUCCESS);
  EXPECT_EQ(Parts.Expect(), nullptr);
  ASSERT_EQ(Parts.BootCount(), 1U);
  const BOOT_PLAN &Boot = Parts.Boot(0);
  ASSERT_EQ(Boot.StepCount, 3U);
  EXPECT_EQ(Boot.Steps[0], BootStep::Nvdimm);
  EXPECT_EQ(Boot.Steps[1], BootStep::Redfish);
  EXPECT_EQ(Boot.Steps[2], BootStep::Driver);
}

// Every member of the format is read into its record.
TEST(ScenarioRead, ReadsEveryMember) {
  ReadScenario Scenario(R"({
    "description": "caf\u00e9",
    "redfish": {
      "resources": {
        "/a": {"Status": "Issued", "Big": 18446744073709551615, "F": 1.50},
        "/b": {"raw": "{broken"},
        "/c": [1, "x"]
      },
      "responses": [
        {"method": "PATCH", "uri": "/a", "code": 503, "body": "busy", "times": 2},
        {"transport": "EFI_TIMEOUT"},
        {"uri": "/c", "body": null}
      ],
      "serviceStatus": "EFI_NOT_READY"
    },
    "boots": [["nvdimm", "rest", "redfishReady", "localRequestTrigger", "localRequest"],
              ["redfish", "driver", "resetWarm", "resetCold"]],
    "expect": {"events": [{"event": "rest"}], "final": {"/a": {}}, "none": ["reset"]}
  })");
  ASSERT_TRUE(Scenario.Read) << Scenario.Error;
  const ScenarioParts &Parts = Scenario.Parts;
  EXPECT_STREQ(Parts.Description(), "caf\xc3\xa9");

  const REDFISH_CONFIG &Redfish = Parts.Redfish();
  ASSERT_EQ(Redfish.ResourceCount, 3U);
  EXPECT_STREQ(Redfish.Resources[0].Uri, "/a");
  // A JSON value is served as its compact text, numbers as they were written.
  EXPECT_EQ(Body(Redfish.Resources[0]),
            "{\"Status\":\"Issued\",\"Big\":18446744073709551615,\"F\":1.50}");
  EXPECT_EQ(Body(Redfish.Resources[1]), "{broken");
  EXPECT_EQ(Body(Redfish.Resources[2]), "[1,\"x\"]");
  EXPECT_EQ(Redfish.ServiceStatus, EFI_NOT_READY);

  ASSERT_EQ(Redfish.OverrideCount, 3U);
  const REDFISH_OVERRIDE_SETTING &First = Redfish.Overrides[0];
  EXPECT_FALSE(First.AnyMethod);
  EXPECT_EQ(First.Method, HttpMethodPatch);
  EXPECT_STREQ(First.Uri, "/a");
  EXPECT_TRUE(First.HasCode);
  EXPECT_EQ(First.Code, 503U);
  EXPECT_STREQ(First.Body, "busy");
  EXPECT_TRUE(First.Limited);
  EXPECT_EQ(First.Times, 2U);
  const REDFISH_OVERRIDE_SETTING &Second = Redfish.Overrides[1];
  EXPECT_TRUE(Second.AnyMethod);
  EXPECT_EQ(Second.Uri, nullptr);
  EXPECT_TRUE(Second.HasTransport);
  EXPECT_EQ(Second.Transport, EFI_TIMEOUT);
  EXPECT_FALSE(Second.Limited);
  const REDFISH_OVERRIDE_SETTING &Third = Redfish.Overrides[2];
  EXPECT_TRUE(Third.HasBody);
  EXPECT_EQ(Third.Body, nullptr);
  EXPECT_FALSE(Third.HasCode);

  ASSERT_EQ(Parts.BootCount(), 2U);
  const BootStep FirstBoot[] = {BootStep::Nvdimm, BootStep::Rest, BootStep::RedfishReady,
                                BootStep::LocalRequestTrigger, BootStep::LocalRequest};
  const BootStep SecondBoot[] = {BootStep::Redfish, BootStep::Driver, BootStep::ResetWarm,
                                 BootStep::ResetCold};
  ASSERT_EQ(Parts.Boot(0).StepCount, 5U);
  ASSERT_EQ(Parts.Boot(1).StepCount, 4U);
  for (UINTN Index = 0; Index < 5; Index++) {
    EXPECT_EQ(Parts.Boot(0).Steps[Index], FirstBoot[Index]) << Index;
  }
  for (UINTN Index = 0; Index < 4; Index++) {
    EXPECT_EQ(Parts.Boot(1).Steps[Index], SecondBoot[Index]) << Index;
  }
  EXPECT_STREQ(BootStepName(BootStep::LocalRequestTrigger), "localRequestTrigger");
  ASSERT_NE(Parts.Expect(), nullptr);
  EXPECT_NE(cJSON_GetObjectItem(Parts.Expect(), "final"), nullptr);
}

// Each kind of problem names the member it is in.
TEST(ScenarioRead, ReportsTheMemberPathOfEachProblem) {
  const std::vector<std::pair<std::string, std::string>> Cases = {
      {"[]", "top level: must be an object"},
      {R"({"redfsh": {}})",
       "redfsh: unknown member (known: description, redfish, nvdimm, boots, expect, failAlloc, "
       "resetSystem, accounts)"},
      {R"({"boots": [], "boots": []})", "boots: given twice"},
      {R"({"description": 5})", "description: must be a string"},
      {R"({"boots": [["driver"], ["nvdimm", "redfish", "drivr"]]})",
       "boots[1][2]: unknown step \"drivr\""},
      {R"({"boots": [["driver"], 7]})",
       "boots[1]: must be a list of one step or more, such as [\"nvdimm\", \"driver\"]"},
      {R"({"boots": [[true]]})", "boots[0][0]: must be a string"},
      {R"({"boots": []})", "boots: must be a list of boots, each a list of steps"},
      {R"({"redfish": []})", "redfish: must be an object"},
      {R"({"redfish": {"resources": {"/a": {"raw": 5}}}})",
       "redfish.resources[\"/a\"].raw: must be a string"},
      {R"({"redfish": {"resources": {"/a": 1, "/a": 2}}})",
       "redfish.resources[\"/a\"]: given twice"},
      {R"({"redfish": {"resources": {"": 1}}})", "redfish.resources[\"\"]: a URI cannot be empty"},
      {R"({"redfish": {"responses": {}}})", "redfish.responses: must be a list of answers"},
      {R"({"redfish": {"responses": [{"code": 1000}]}})",
       "redfish.responses[0].code: must be an integer from 100 to 999"},
      {R"({"redfish": {"responses": [{"code": 200}, {"code": 404.5}]}})",
       "redfish.responses[1].code: must be an integer from 100 to 999"},
      {R"({"redfish": {"responses": [{"code": 1e400}]}})",
       "redfish.responses[0].code: must be an integer from 100 to 999"},
      {R"({"redfish": {"responses": [{"code": "404"}]}})",
       "redfish.responses[0].code: must be an integer from 100 to 999"},
      {R"({"redfish": {"responses": [{"code": 404, "times": -1}]}})",
       "redfish.responses[0].times: must be a whole number (0 or more)"},
      {R"({"redfish": {"responses": [{"code": 404, "times": 18446744073709551616}]}})",
       "redfish.responses[0].times: must be a whole number (0 or more)"},
      {R"({"redfish": {"responses": [{"method": "get", "code": 404}]}})",
       "redfish.responses[0].method: unknown method (GET, PATCH, POST, PUT, DELETE, ...) "
       "\"get\""},
      {R"({"redfish": {"responses": [{"transport": "EFI_NOPE"}]}})",
       "redfish.responses[0].transport: unknown status \"EFI_NOPE\""},
      {R"({"redfish": {"responses": [{"uri": "/a"}]}})",
       "redfish.responses[0]: must give \"code\", \"statusCode\", \"body\" or \"transport\""},
      {R"({"redfish": {"responses": [{"code": 200, "delay": 1}]}})",
       "redfish.responses[0].delay: unknown member (known: method, uri, code, statusCode, "
       "ownRecord, body, bodyFill, transport, times)"},
      {R"({"redfish": {"responses": [{"ownRecord": 1}]}})",
       "redfish.responses[0].ownRecord: must be true or false"},
      {R"({"redfish": {"responses": [{"code": 200, "statusCode": 3}]}})",
       "redfish.responses[0].statusCode: cannot be combined with \"code\": both set the status "
       "code"},
      {R"({"redfish": {"responses": [{"statusCode": 4294967296}]}})",
       "redfish.responses[0].statusCode: must be an integer from 0 to 4294967295"},
      {R"({"redfish": {"responses": [{"code": 200, "bodyFill": {"text": "x", "count": 1}}]}})",
       "redfish.responses[0].bodyFill: needs a \"body\" text to fill"},
      {R"({"redfish": {"responses": [{"body": "ab", "bodyFill": {"text": "", "count": 1}}]}})",
       "redfish.responses[0].bodyFill.text: cannot be empty"},
      {R"({"redfish": {"responses": [{"body": "ab", "bodyFill": {"text": "x", "count": 0}}]}})",
       "redfish.responses[0].bodyFill.count: must be an integer from 1 to 67108864"},
      {R"({"redfish": {"responses": [{"body": "ab", "bodyFill": {"text": "x", "count": 1,
          "at": 3}}]}})",
       "redfish.responses[0].bodyFill.at: must be an integer from 0 to 2"},
      {R"({"redfish": {"responses": [{"body": "ab", "bodyFill": {"text": "x"}}]}})",
       "redfish.responses[0].bodyFill.count: must be an integer from 1 to 67108864"},
      {R"({"redfish": {"responses": [{"body": "ab", "bodyFill": {"text": "x", "size": 1}}]}})",
       "redfish.responses[0].bodyFill.size: unknown member (known: text, count, at)"},
      {R"({"boots": [["redfishSameHandle", "nvdimmTwice", "nvdimTwice"]]})",
       "boots[0][2]: unknown step \"nvdimTwice\""},
      {R"({"redfish": {"responses": [{"body": 5}]}})",
       "redfish.responses[0].body: must be a string, or null for no body"},
      {R"({"redfish": {"serviceStatus": 0}})",
       "redfish.serviceStatus: must be a UEFI status name such as \"EFI_SUCCESS\""},
      {R"({"expect": {"events": [{"event": "rest"}, {"code": 200}]}})",
       "expect.events[1].event: must be a string"},
      {R"({"expect": {"events": [5]}})",
       "expect.events[0]: must be an object such as {\"event\": \"rest\", ...}"},
      {R"({"expect": {"final": []}})",
       "expect.final: must be an object of URI: expected JSON value"},
      {R"({"expect": {"none": [1]}})", "expect.none[0]: must be a string"},
      {R"({"expect": {"only": ["rest"]}})",
       "expect.only: must be an object such as {\"rest\": {\"method\": \"PATCH\"}}"},
      {R"({"expect": {"only": {"rest": {}}}})",
       "expect.only.rest: must name one member or more, such as {\"method\": \"PATCH\"}"},
      {R"({"resetSystem": "edk2"})",
       "resetSystem: must be \"group\", \"notifications\" or \"both\""},
      {R"({"expect": {"event": []}})",
       "expect.event: unknown member (known: events, only, final, none)"},
      {"{\"a\":", "line 1, column 5: not valid JSON"},
      {"{}\n  x", "line 2, column 3: unexpected text after the JSON value"},
      {"", "line 1, column 1: no JSON value"},
      {std::string(65, '[') + std::string(65, ']'),
       "line 1, column 65: nested deeper than 64 levels"},
  };
  for (const auto &[Text, Expected] : Cases) {
    EXPECT_EQ(ScenarioError(Text), Expected) << Text;
  }
}

// Any prefix of a valid file, and any file with one byte changed, is refused
// or read cleanly: never a crash, always a message when refused.
TEST(ScenarioRead, SurvivesDamagedText) {
  const std::string Valid =
      R"({"description":"d","redfish":{"resources":{"/a":{"X":[1,{"y":null}]},)"
      R"("/b":{"raw":"r"}},"responses":[{"method":"GET","code":500,"times":1}],)"
      R"("serviceStatus":"EFI_SUCCESS"},"boots":[["nvdimm","driver"]],)"
      R"("expect":{"events":[{"event":"rest","code":200}],"final":{"/a":{}}}})";
  ASSERT_EQ(ScenarioError(Valid), "");
  const char Replacements[] = {'\0', '"', '[', '{', '}', ',', '-', '9', 'x', '\\'};
  for (size_t Length = 0; Length < Valid.size(); Length++) {
    std::string Error = ScenarioError(Valid.substr(0, Length));
    EXPECT_NE(Error, "") << "prefix of " << Length << " bytes was read";
    for (char Replacement : Replacements) {
      std::string Damaged = Valid;
      Damaged[Length] = Replacement;
      ReadScenario Scenario(Damaged);
      EXPECT_TRUE(Scenario.Read || Scenario.Error[0] != '\0') << Damaged;
    }
  }
}

// Numbers keep their text through parsing and compare by exact value.
TEST(ExactJson, NumbersKeepTheirTextAndCompareExactly) {
  const std::string Text =
      R"([18446744073709551615, 10, 1e1, 10.0, 1.5, -0, 0, 18446744073709551614])";
  SimJson List(ExactJsonParse(Text.data(), Text.size(), nullptr, 0));
  ASSERT_TRUE(List);
  auto Item = [&](int Index) { return cJSON_GetArrayItem(List.Get(), Index); };
  UINT64 Value = 0;
  ASSERT_TRUE(ExactJsonNumberToUint(Item(0), &Value));
  EXPECT_EQ(Value, 18446744073709551615ULL);
  ASSERT_TRUE(ExactJsonNumberToUint(Item(2), &Value));
  EXPECT_EQ(Value, 10U);
  EXPECT_FALSE(ExactJsonNumberToUint(Item(4), &Value));
  EXPECT_TRUE(ExactJsonNumbersEqual(Item(1), Item(2)));
  EXPECT_TRUE(ExactJsonNumbersEqual(Item(1), Item(3)));
  EXPECT_TRUE(ExactJsonNumbersEqual(Item(5), Item(6)));
  EXPECT_FALSE(ExactJsonNumbersEqual(Item(1), Item(4)));
  // Two values a double cannot tell apart.
  EXPECT_FALSE(ExactJsonNumbersEqual(Item(0), Item(7)));

  ExactJsonNumbersToRaw(List.Get());
  SimBlock Printed(cJSON_PrintUnformatted(List.Get()));
  EXPECT_STREQ(Printed.Get(), "[18446744073709551615,10,1e1,10.0,1.5,-0,0,18446744073709551614]");
}

}  // namespace
