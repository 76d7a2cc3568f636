#include <string>

#include "sim/scenario/Expect.h"
#include "tests/sim/SimTestSupport.h"

namespace {

/// A small trace of two boots: GET, PATCH, one NVDIMM call, a reset and the
/// final event.
class ExpectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddRest("GET", nullptr, 200);
    AddRest("PATCH", "{\"Status\":\"caf\xc3\xa9\"}", 204);
    cJSON *Nvdimm = Log.NewEvent("nvdimm");
    TraceAddString(Nvdimm, "op", "DeleteNamespace");
    cJSON *Args = cJSON_CreateObject();
    TraceAddItem(Nvdimm, "args", Args);
    TraceAddUint(Args, "NamespaceId", 18446744073709551615ULL);
    TraceAddStatus(Nvdimm, "status", EFI_SUCCESS);
    Log.Emit(Nvdimm);
    Log.SetBoot(2);
    cJSON *Final = Log.NewEvent("final");
    TraceAddUint(Final, "boots", 2);
    cJSON *Resources = cJSON_CreateObject();
    TraceAddItem(Final, "resources", Resources);
    TraceAddString(Resources, "/s", "{\"Status\":\"Failed\",\"N\":[1,{\"x\":true}]}");
    TraceAddString(Resources, "/broken", "{oops");
    Log.Emit(Final);
  }

  void AddRest(const char *Method, const char *Body, UINT64 Code) {
    cJSON *Event = Log.NewEvent("rest");
    TraceAddString(Event, "method", Method);
    TraceAddString(Event, "uri", "/s");
    cJSON *Headers = cJSON_CreateArray();
    TraceAddItem(Event, "headers", Headers);
    cJSON *Pair = cJSON_CreateArray();
    TraceAddItem(Headers, nullptr, Pair);
    TraceAddString(Pair, nullptr, "OData-Version");
    TraceAddString(Pair, nullptr, "4.0");
    TraceAddString(Event, "body", Body);
    TraceAddUint(Event, "code", Code);
    TraceAddStatus(Event, "status", EFI_SUCCESS);
    Log.Emit(Event);
  }

  /// "" when the trace matches the scenario's expectations, else the line.
  std::string Check(const std::string &ExpectText) {
    ReadScenario Scenario("{\"expect\": " + ExpectText + "}");
    EXPECT_TRUE(Scenario.Read) << Scenario.Error;
    CHAR8 Error[300];
    bool Matched = CheckExpectations(Scenario.Parts.Expect(), Log.Events(), Error, sizeof(Error));
    EXPECT_EQ(Matched, Error[0] == '\0');
    return Error;
  }

  Trace Log{NoSink(), NoSink()};
};

// Expected events give only the members they check; numbers compare by exact
// value, strings by their bytes; kinds not named are not checked.
TEST_F(ExpectTest, MatchingExpectationsPass) {
  EXPECT_EQ(Check(R"({"events": [
    {"event": "rest", "method": "GET", "code": 2e2, "headers": [["OData-Version", "4.0"]]},
    {"event": "rest", "body": "{\"Status\":\"café\"}", "boot": 1},
    {"event": "nvdimm", "args": {"NamespaceId": 18446744073709551615}}],
    "none": ["reset"],
    "final": {"/s": {"N": [1, {"x": true}], "Status": "Failed"}}})"),
            "");
  EXPECT_EQ(CheckExpectations(nullptr, Log.Events(), nullptr, 0), true);
}

// The first difference is reported by its path, with both values.
TEST_F(ExpectTest, MismatchesNameTheFirstDifference) {
  EXPECT_EQ(Check(R"({"events": [{"event": "rest"}, {"event": "rest", "body": "{}"}]})"),
            "expect.events[rest][1].body: expected \"{}\" but the trace has "
            "\"{\\\"Status\\\":\\\"caf\\u00c3\\u00a9\\\"}\"");
  EXPECT_EQ(Check(R"({"events": [{"event": "nvdimm"}, {"event": "nvdimm"}]})"),
            "expect.events[nvdimm]: expected 2 events, the trace has 1");
  EXPECT_EQ(Check(R"({"events": [{"event": "reset"}]})"),
            "expect.events[reset]: expected 1 event, the trace has 0");
  EXPECT_EQ(
      Check(R"({"events": [{"event": "nvdimm", "args": {"NamespaceId": 18446744073709551614}}]})"),
      "expect.events[nvdimm][0].args.NamespaceId: expected 18446744073709551614 but the "
      "trace has 18446744073709551615");
  EXPECT_EQ(Check(R"({"events": [{"event": "rest", "code": "200"}]})"),
            "expect.events[rest][0].code: expected \"200\" but the trace has 200");
  EXPECT_EQ(Check(R"({"events": [{"event": "rest", "pending": false}]})"),
            "expect.events[rest][0].pending: expected false but the trace has no such member");
  EXPECT_EQ(Check(R"({"events": [{"event": "rest", "headers": []}]})"),
            "expect.events[rest][0].headers: expected a list of 0 but the trace has one of 1");
  EXPECT_EQ(Check(R"({"events": [{"event": "rest", "headers": [["OData-Version", "4"]]}]})"),
            "expect.events[rest][0].headers[0][1]: expected \"4\" but the trace has \"4.0\"");
  EXPECT_EQ(Check(R"({"none": ["nvdimm", "rest"]})"),
            "expect.none[0]: expected no \"nvdimm\" events, the trace has 1");
}

// "only" narrows a kind to the events with the given members, compared as
// listed members are; the rest are not matched. A kind named there but not
// listed must have no such event.
TEST_F(ExpectTest, OnlyMatchesTheSelectedEventsOfAKind) {
  EXPECT_EQ(Check(R"({"events": [{"event": "rest", "uri": "/s"}],
    "only": {"rest": {"code": 204.0, "headers": [["OData-Version", "4.0"]]}, "reset": {"x": 1}}})"),
            "");
  EXPECT_EQ(Check(R"({"events": [{"event": "rest", "method": "GET"}],
    "only": {"rest": {"method": "PATCH"}}})"),
            "expect.events[rest only {\"method\":\"PATCH\"}][0].method: expected \"GET\" but "
            "the trace has \"PATCH\"");
  EXPECT_EQ(Check(R"({"only": {"nvdimm": {"args": {}}}})"),
            "expect.events[nvdimm only {\"args\":{}}]: expected 0 events, the trace has 1");
  EXPECT_EQ(Check(R"({"events": [{"event": "rest"}, {"event": "rest"}],
    "only": {"rest": {"body": null}}})"),
            "expect.events[rest only {\"body\":null}]: expected 2 events, the trace has 1");
}

// Final resources must equal the expected values, in any member order.
TEST_F(ExpectTest, FinalResourcesCompareAsWholeValues) {
  EXPECT_EQ(Check(R"({"final": {"/s": {"Status": "Success", "N": [1, {"x": true}]}}})"),
            "expect.final[\"/s\"].Status: expected \"Success\" but the service holds \"Failed\"");
  EXPECT_EQ(Check(R"({"final": {"/s": {"Status": "Failed"}}})"),
            "expect.final[\"/s\"]: the service holds a member \"N\" that is not expected");
  EXPECT_EQ(Check(R"({"final": {"/s": {"Status": "Failed", "N": [1, {"x": 1}]}}})"),
            "expect.final[\"/s\"].N[1].x: expected 1 but the service holds true");
  EXPECT_EQ(Check(R"({"final": {"/t": {}}})"),
            "expect.final[\"/t\"]: the service holds no such resource");
  EXPECT_EQ(Check(R"({"final": {"/broken": {}}})"),
            "expect.final[\"/broken\"]: the service's body is not JSON: \"{oops\"");

  Trace Empty(NoSink(), NoSink());
  ReadScenario Scenario(R"({"expect": {"final": {"/s": {}}}})");
  CHAR8 Error[200];
  EXPECT_FALSE(CheckExpectations(Scenario.Parts.Expect(), Empty.Events(), Error, sizeof(Error)));
  EXPECT_STREQ(Error, "expect.final: the trace has no final event with resources");
}

}  // namespace
