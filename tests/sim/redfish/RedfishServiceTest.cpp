#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sim/redfish/RedfishService.h"
#include "tests/sim/SimTestSupport.h"

namespace {

constexpr char ACTION_STATUS[] = "/redfish/v1/Oem/Velk/Viz/ActionStatus";

/// What one SendReceive call gave back.
struct Exchange {
  EFI_STATUS Status = EFI_SUCCESS;
  EFI_HTTP_STATUS_CODE Code = HTTP_STATUS_UNSUPPORTED_STATUS;
  bool OwnRecord = false;  ///< the answer came in a response record of the service's own
  bool HasBody = false;
  std::string Body;
  std::vector<std::pair<std::string, std::string>> Headers;
};

class RedfishServiceTest : public ::testing::Test {
 protected:
  /// Loads the service from a scenario text's "redfish" member.
  void Load(const std::string &ScenarioText) {
    Scenario = std::make_unique<ReadScenario>(ScenarioText);
    ASSERT_TRUE(Scenario->Read) << Scenario->Error;
    ASSERT_TRUE(Service.Load(Scenario->Parts.Redfish()));
  }

  /// Sends one request and frees what the service handed over, as the
  /// driver does.
  Exchange Send(EFI_HTTP_METHOD Method, const std::u16string &Url, const char *Body = nullptr,
                EFI_REST_PROTOCOL *Rest = nullptr) {
    std::u16string UrlCopy = Url;
    EFI_HTTP_REQUEST_DATA Data = {Method, UrlCopy.data()};
    EFI_HTTP_HEADER Headers[] = {
        {const_cast<CHAR8 *>("OData-Version"), const_cast<CHAR8 *>("4.0")}};
    EFI_HTTP_MESSAGE Request = {};
    Request.Data.Request = &Data;
    Request.HeaderCount = 1;
    Request.Headers = Headers;
    if (Body != nullptr) {
      Request.Body = const_cast<char *>(Body);
      Request.BodyLength = std::strlen(Body);
    }
    EFI_HTTP_RESPONSE_DATA ResponseData = {HTTP_STATUS_UNSUPPORTED_STATUS};
    EFI_HTTP_MESSAGE Response = {};
    Response.Data.Response = &ResponseData;
    Rest = Rest != nullptr ? Rest : Service.RedfishRest();
    Exchange Result;
    Result.Status = Rest->SendReceive(Rest, &Request, &Response);
    EXPECT_EQ(Host.Depth, 0);
    Result.Code = Response.Data.Response->StatusCode;
    if (Response.Data.Response != &ResponseData) {
      Result.OwnRecord = true;
      EXPECT_EQ(ResponseData.StatusCode, HTTP_STATUS_UNSUPPORTED_STATUS);
      Pool.Services.FreePool(Response.Data.Response);
    }
    for (UINTN Index = 0; Index < Response.HeaderCount; Index++) {
      Result.Headers.emplace_back(Response.Headers[Index].FieldName,
                                  Response.Headers[Index].FieldValue);
      Pool.Services.FreePool(Response.Headers[Index].FieldName);
      Pool.Services.FreePool(Response.Headers[Index].FieldValue);
    }
    if (Response.Headers != nullptr) {
      Pool.Services.FreePool(Response.Headers);
    }
    if (Response.Body != nullptr) {
      auto *Text = static_cast<const char *>(Response.Body);
      EXPECT_EQ(Text[Response.BodyLength], '\0');
      Result.HasBody = true;
      Result.Body.assign(Text, Response.BodyLength);
      Pool.Services.FreePool(Response.Body);
    } else {
      EXPECT_EQ(Response.BodyLength, 0U);
    }
    return Result;
  }

  std::string Held(const char *Uri) {
    const REDFISH_RESOURCE *Resource = Service.Find(Uri);
    return Resource != nullptr ? std::string(Resource->Body, Resource->BodyLength) : "<none>";
  }

  /// The n-th JSON line of the trace.
  std::string Line(size_t Index) {
    size_t Start = 0;
    for (size_t Skip = 0; Skip < Index; Skip++) {
      Start = Lines.find('\n', Start) + 1;
    }
    return Lines.substr(Start, Lines.find('\n', Start) - Start);
  }

  void TearDown() override { EXPECT_EQ(Pool.LiveBlocks(), 0U) << "blocks left in the pool"; }

  FakePool Pool;
  CountingHost Host{Pool};
  std::string Lines;
  Trace Log{StringSink(Lines), NoSink()};
  std::unique_ptr<ReadScenario> Scenario;
  RedfishService Service{Host.Host, Log};
};

const std::string ACTION_SCENARIO = R"({"redfish": {"resources": {
  "/redfish/v1/Oem/Velk/Viz/ActionStatus": {"Status": "Issued", "ActionName": "X", "Id": 18446744073709551615},
  "/raw": {"raw": "{not json"},
  "/nested": {"A": {"x": 1, "y": 2}, "B": [1]}}}})";

// A GET of a held resource answers 200 with its body and two headers, and
// leaves one exact "rest" event.
TEST_F(RedfishServiceTest, GetOfAHeldResourceAnswers200WithItsBody) {
  Load(ACTION_SCENARIO);
  Exchange Result = Send(HttpMethodGet, u"/redfish/v1/Oem/Velk/Viz/ActionStatus");
  EXPECT_EQ(Result.Status, EFI_SUCCESS);
  EXPECT_EQ(Result.Code, HTTP_STATUS_200_OK);
  EXPECT_EQ(Result.Body,
            "{\"Status\":\"Issued\",\"ActionName\":\"X\",\"Id\":18446744073709551615}");
  ASSERT_EQ(Result.Headers.size(), 2U);
  EXPECT_EQ(Result.Headers[0], std::make_pair(std::string("OData-Version"), std::string("4.0")));
  EXPECT_EQ(Result.Headers[1],
            std::make_pair(std::string("Content-Type"), std::string("application/json")));
  // Header array, four strings and the body, each marked as the driver's.
  EXPECT_EQ(Host.HandedOver, 6);
  EXPECT_GT(Host.Entries, 0);
  EXPECT_EQ(Line(0),
            "{\"boot\":1,\"event\":\"rest\",\"method\":\"GET\","
            "\"uri\":\"/redfish/v1/Oem/Velk/Viz/ActionStatus\",\"headers\":[[\"OData-Version\","
            "\"4.0\"]],\"body\":null,\"code\":200,\"status\":\"EFI_SUCCESS\",\"tpl\":4}");
}

// The URL is matched on the low byte of each UCS-2 code unit.
TEST_F(RedfishServiceTest, UrlIsNarrowedToLowBytes) {
  Load(R"({"redfish": {"resources": {"/R": 1}}})");
  Exchange Result = Send(HttpMethodGet, u"/\u0152");
  EXPECT_EQ(Result.Code, HTTP_STATUS_200_OK);
  EXPECT_EQ(Result.Body, "1");
}

// Unknown resources answer 404, other methods 405, bad PATCH bodies 400;
// none of them changes anything.
TEST_F(RedfishServiceTest, RefusedRequestsChangeNothing) {
  Load(ACTION_SCENARIO);
  const std::string Before = Held(ACTION_STATUS);
  EXPECT_EQ(Send(HttpMethodGet, u"/missing").Code, HTTP_STATUS_404_NOT_FOUND);
  EXPECT_EQ(Send(HttpMethodPatch, u"/missing", "{\"a\":1}").Code, HTTP_STATUS_404_NOT_FOUND);
  EXPECT_EQ(Send(HttpMethodDelete, u"/raw").Code, HTTP_STATUS_405_METHOD_NOT_ALLOWED);
  EXPECT_EQ(Send(HttpMethodPost, u"/raw", "{}").Code, HTTP_STATUS_405_METHOD_NOT_ALLOWED);
  Exchange NotObject =
      Send(HttpMethodPatch, u"/redfish/v1/Oem/Velk/Viz/ActionStatus", "[\"Status\"]");
  EXPECT_EQ(NotObject.Status, EFI_SUCCESS);
  EXPECT_EQ(NotObject.Code, HTTP_STATUS_400_BAD_REQUEST);
  EXPECT_TRUE(NotObject.HasBody);
  EXPECT_EQ(Send(HttpMethodPatch, u"/redfish/v1/Oem/Velk/Viz/ActionStatus", "{\"a\":").Code,
            HTTP_STATUS_400_BAD_REQUEST);
  EXPECT_EQ(Send(HttpMethodPatch, u"/redfish/v1/Oem/Velk/Viz/ActionStatus").Code,
            HTTP_STATUS_400_BAD_REQUEST);
  EXPECT_EQ(Held(ACTION_STATUS), Before);
  EXPECT_EQ(Held("/raw"), "{not json");
}

// PATCH answers 204 without a body and merges: members keep their place, new
// ones are appended, nested objects merge, numbers keep their spelling.
TEST_F(RedfishServiceTest, PatchMergesIntoTheResource) {
  Load(ACTION_SCENARIO);
  const char *Report = "{\n\t\"Status\":\t\"Success\",\n\t\"StatusMessage\":\t\"done\"\n}";
  Exchange Result = Send(HttpMethodPatch, u"/redfish/v1/Oem/Velk/Viz/ActionStatus", Report);
  EXPECT_EQ(Result.Status, EFI_SUCCESS);
  EXPECT_EQ(Result.Code, HTTP_STATUS_204_NO_CONTENT);
  EXPECT_FALSE(Result.HasBody);
  ASSERT_EQ(Result.Headers.size(), 1U);
  EXPECT_EQ(Held(ACTION_STATUS),
            "{\"Status\":\"Success\",\"ActionName\":\"X\",\"Id\":18446744073709551615,"
            "\"StatusMessage\":\"done\"}");
  EXPECT_EQ(Line(0),
            "{\"boot\":1,\"event\":\"rest\",\"method\":\"PATCH\","
            "\"uri\":\"/redfish/v1/Oem/Velk/Viz/ActionStatus\",\"headers\":[[\"OData-Version\","
            "\"4.0\"]],\"body\":\"{\\n\\t\\\"Status\\\":\\t\\\"Success\\\",\\n\\t"
            "\\\"StatusMessage\\\":\\t\\\"done\\\"\\n}\",\"code\":204,\"status\":\"EFI_SUCCESS\","
            "\"tpl\":4}");

  EXPECT_EQ(Send(HttpMethodPatch, u"/nested", "{\"A\":{\"y\":3e0,\"z\":4},\"B\":{\"n\":1}}").Code,
            HTTP_STATUS_204_NO_CONTENT);
  EXPECT_EQ(Held("/nested"), "{\"A\":{\"x\":1,\"y\":3e0,\"z\":4},\"B\":{\"n\":1}}");
  // Member names match exactly: "status" is a new member.
  Send(HttpMethodPatch, u"/nested", "{\"b\":0}");
  EXPECT_EQ(Held("/nested"), "{\"A\":{\"x\":1,\"y\":3e0,\"z\":4},\"B\":{\"n\":1},\"b\":0}");
  // A raw body that is no object becomes the merged object.
  Send(HttpMethodPatch, u"/raw", "{\"Status\":\"Failed\"}");
  EXPECT_EQ(Held("/raw"), "{\"Status\":\"Failed\"}");
}

// Overrides: first match wins, method and uri select, times limits, code and
// body replace the answer, transport fails the call, and nothing changes.
TEST_F(RedfishServiceTest, OverridesReplaceAnswers) {
  Load(R"({"redfish": {"resources": {"/a": {"S": 1}}, "responses": [
    {"method": "GET", "uri": "/a", "code": 299, "body": "odd", "times": 1},
    {"method": "GET", "uri": "/a", "code": 500},
    {"method": "PATCH", "uri": "/a", "body": null, "times": 1},
    {"method": "PATCH", "transport": "EFI_TIMEOUT", "times": 1}
  ]}})");
  Exchange First = Send(HttpMethodGet, u"/a");
  EXPECT_EQ(First.Code, HTTP_STATUS_UNSUPPORTED_STATUS);
  EXPECT_EQ(First.Body, "odd");
  Exchange Second = Send(HttpMethodGet, u"/a");
  EXPECT_EQ(Second.Code, HTTP_STATUS_500_INTERNAL_SERVER_ERROR);
  EXPECT_EQ(Second.Body, "{\"S\":1}");
  EXPECT_EQ(Send(HttpMethodGet, u"/b").Code, HTTP_STATUS_404_NOT_FOUND);

  // The service's own code (204) with the body override; the merge is not
  // applied.
  Exchange Patched = Send(HttpMethodPatch, u"/a", "{\"S\":2}");
  EXPECT_EQ(Patched.Code, HTTP_STATUS_204_NO_CONTENT);
  EXPECT_EQ(Held("/a"), "{\"S\":1}");

  Exchange Lost = Send(HttpMethodPatch, u"/a", "{\"S\":3}");
  EXPECT_EQ(Lost.Status, EFI_TIMEOUT);
  EXPECT_EQ(Lost.Code, HTTP_STATUS_UNSUPPORTED_STATUS);
  EXPECT_TRUE(Lost.Headers.empty());
  EXPECT_FALSE(Lost.HasBody);
  EXPECT_EQ(Held("/a"), "{\"S\":1}");

  // Every override used up: the service answers, and merges.
  EXPECT_EQ(Send(HttpMethodPatch, u"/a", "{\"S\":4}").Code, HTTP_STATUS_204_NO_CONTENT);
  EXPECT_EQ(Held("/a"), "{\"S\":4}");

  // The trace shows the number answered, and null with no response.
  EXPECT_NE(Line(0).find("\"code\":299,\"status\":\"EFI_SUCCESS\""), std::string::npos);
  EXPECT_NE(Line(4).find("\"code\":null,\"status\":\"EFI_TIMEOUT\""), std::string::npos);
}

// The misbehaving producer: a failed call that still hands over an answer
// (headers and body), a status code placed as it stands whether
// EFI_HTTP_STATUS_CODE names it or not, and a body filled to megabytes.
TEST_F(RedfishServiceTest, MisbehavingAnswers) {
  Load(R"({"redfish": {"resources": {"/a": {"S": 1}}, "responses": [
    {"method": "GET", "uri": "/a", "transport": "EFI_DEVICE_ERROR", "code": 200, "body": "{}",
     "times": 1},
    {"method": "GET", "uri": "/a", "statusCode": 4294967295, "times": 1},
    {"method": "GET", "uri": "/a", "statusCode": 7, "times": 1},
    {"method": "GET", "uri": "/a", "body": "[\"\"]", "times": 1,
     "bodyFill": {"at": 2, "text": "ab", "count": 2097152}},
    {"method": "PATCH", "transport": "EFI_TIMEOUT", "statusCode": 7, "times": 1},
    {"method": "GET", "uri": "/a", "ownRecord": true, "times": 1}
  ]}})");
  Exchange Failed = Send(HttpMethodGet, u"/a");
  EXPECT_EQ(Failed.Status, EFI_DEVICE_ERROR);
  EXPECT_EQ(Failed.Code, HTTP_STATUS_200_OK);
  EXPECT_EQ(Failed.Body, "{}");
  EXPECT_EQ(Failed.Headers.size(), 2U);

  EXPECT_EQ(static_cast<UINT32>(Send(HttpMethodGet, u"/a").Code), 0xFFFFFFFFU);
  Exchange Named = Send(HttpMethodGet, u"/a");
  EXPECT_EQ(Named.Code, HTTP_STATUS_204_NO_CONTENT);
  EXPECT_EQ(Named.Body, "{\"S\":1}");

  Exchange Filled = Send(HttpMethodGet, u"/a");
  ASSERT_EQ(Filled.Body.size(), 4U + 4194304U);
  EXPECT_EQ(Filled.Body.substr(0, 6), "[\"abab");
  EXPECT_EQ(Filled.Body.substr(Filled.Body.size() - 4), "ab\"]");

  // A failed PATCH with an answer merges nothing.
  Exchange Patched = Send(HttpMethodPatch, u"/a", "{\"S\":2}");
  EXPECT_EQ(Patched.Status, EFI_TIMEOUT);
  EXPECT_EQ(Patched.Code, HTTP_STATUS_204_NO_CONTENT);
  EXPECT_EQ(Held("/a"), "{\"S\":1}");

  // The answer in a record of the service's own, handed over like the body.
  Exchange Own = Send(HttpMethodGet, u"/a");
  EXPECT_TRUE(Own.OwnRecord);
  EXPECT_EQ(Own.Code, HTTP_STATUS_200_OK);
  EXPECT_EQ(Own.Body, "{\"S\":1}");
  EXPECT_FALSE(Send(HttpMethodGet, u"/a").OwnRecord);

  // The trace has the answer's number with the call's status; 0 for a
  // status code no number stands for.
  EXPECT_NE(Line(0).find("\"code\":200,\"status\":\"EFI_DEVICE_ERROR\""), std::string::npos);
  EXPECT_NE(Line(1).find("\"code\":0,\"status\":\"EFI_SUCCESS\""), std::string::npos);
  EXPECT_NE(Line(2).find("\"code\":204,"), std::string::npos);
  EXPECT_NE(Line(4).find("\"code\":204,\"status\":\"EFI_TIMEOUT\""), std::string::npos);
}

// Requests the service cannot read are refused with EFI_INVALID_PARAMETER and
// still recorded.
TEST_F(RedfishServiceTest, MalformedRequestsAreRefusedAndRecorded) {
  Load(ACTION_SCENARIO);
  EFI_REST_PROTOCOL *Rest = Service.RedfishRest();
  EFI_HTTP_RESPONSE_DATA ResponseData = {};
  EFI_HTTP_MESSAGE Response = {};
  Response.Data.Response = &ResponseData;
  EXPECT_EQ(Rest->SendReceive(Rest, nullptr, &Response), EFI_INVALID_PARAMETER);

  char16_t Url[] = u"/raw";
  EFI_HTTP_REQUEST_DATA Data = {HttpMethodGet, nullptr};
  EFI_HTTP_MESSAGE Request = {};
  Request.Data.Request = &Data;
  EXPECT_EQ(Rest->SendReceive(Rest, &Request, &Response), EFI_INVALID_PARAMETER);
  Data.Url = Url;
  EXPECT_EQ(Rest->SendReceive(Rest, &Request, nullptr), EFI_INVALID_PARAMETER);
  Request.BodyLength = 4;
  EXPECT_EQ(Rest->SendReceive(Rest, &Request, &Response), EFI_INVALID_PARAMETER);
  EXPECT_EQ(Response.Body, nullptr);
  EXPECT_EQ(Host.HandedOver, 0);

  EXPECT_EQ(Line(0),
            "{\"boot\":1,\"event\":\"rest\",\"method\":null,\"uri\":null,\"headers\":[],"
            "\"body\":null,\"code\":null,\"status\":\"EFI_INVALID_PARAMETER\",\"tpl\":4}");
  EXPECT_EQ(Line(1),
            "{\"boot\":1,\"event\":\"rest\",\"method\":\"GET\",\"uri\":null,\"headers\":[],"
            "\"body\":null,\"code\":null,\"status\":\"EFI_INVALID_PARAMETER\",\"tpl\":4}");
  EXPECT_NE(Line(2).find("\"uri\":\"/raw\""), std::string::npos);
  EXPECT_EQ(Host.Depth, 0);
}

// A failed allocation for the response hands nothing over and keeps the
// resource as it was.
TEST_F(RedfishServiceTest, OutOfMemoryHandsNothingOver) {
  Load(ACTION_SCENARIO);
  const std::string Before = Held(ACTION_STATUS);
  for (unsigned FailAt = 1; FailAt <= 3; FailAt++) {
    Pool.Allocations = 0;
    Pool.FailAt = FailAt;
    Exchange Result = Send(HttpMethodPatch, u"/redfish/v1/Oem/Velk/Viz/ActionStatus", "{\"S\":1}");
    EXPECT_EQ(Result.Status, EFI_OUT_OF_RESOURCES) << FailAt;
    EXPECT_TRUE(Result.Headers.empty());
    EXPECT_EQ(Pool.LiveBlocks(), 0U) << FailAt;
    EXPECT_EQ(Held(ACTION_STATUS), Before);
  }
  EXPECT_NE(Line(0).find("\"code\":null,\"status\":\"EFI_OUT_OF_RESOURCES\""), std::string::npos);
}

// The REST-only instance answers from the same resources; GetServiceStatus
// returns the scenario's status; the final event lists every body.
TEST_F(RedfishServiceTest, InstancesShareTheResources) {
  Load(R"({"redfish": {"resources": {"/a": {"S": "\u00e9"}, "/b": {"raw": "x"}},
            "serviceStatus": "EFI_NOT_READY"}})");
  EXPECT_EQ(Send(HttpMethodPatch, u"/a", "{\"T\":1}", Service.PlainRest()).Code,
            HTTP_STATUS_204_NO_CONTENT);
  EXPECT_EQ(Send(HttpMethodGet, u"/a").Body, "{\"S\":\"\xc3\xa9\",\"T\":1}");
  REDFISH_SERVICE_PROTOCOL *Status = Service.ServiceProtocol();
  UINT64 Out = 0;
  EXPECT_EQ(Status->GetServiceStatus(Status, 0, &Out), EFI_NOT_READY);
  EXPECT_EQ(Host.Depth, 0);

  Lines.clear();
  Log.SetBoot(2);
  Service.EmitFinal(Log);
  EXPECT_EQ(Lines,
            "{\"boot\":2,\"event\":\"final\",\"boots\":2,\"resources\":{\"/a\":"
            "\"{\\\"S\\\":\\\"\\u00c3\\u00a9\\\",\\\"T\\\":1}\",\"/b\":\"x\"}}\n");
}

// The saved state restores resources and used-up overrides in a new service,
// and text that does not fit changes nothing.
TEST_F(RedfishServiceTest, StateCarriesAcrossAReboot) {
  Load(R"({"redfish": {"resources": {"/a": {"S": 1}},
            "responses": [{"method": "GET", "code": 503, "times": 1}]}})");
  EXPECT_EQ(Send(HttpMethodGet, u"/a").Code, HTTP_STATUS_503_SERVICE_UNAVAILABLE);
  Send(HttpMethodPatch, u"/a", "{\"S\":18446744073709551615}");
  SimBlock State = Service.SaveState();
  ASSERT_TRUE(State);

  RedfishService Rebooted(Host.Host, Log);
  ASSERT_TRUE(Rebooted.Load(Scenario->Parts.Redfish()));
  // One override counter is missing; then a resource without its body.
  const std::string NoCounter = R"({"resources":[],"overrideUses":[]})";
  const std::string NoBody = R"({"resources":[["/a"]],"overrideUses":[0]})";
  EXPECT_FALSE(Rebooted.LoadState(NoCounter.data(), NoCounter.size()));
  EXPECT_FALSE(Rebooted.LoadState(NoBody.data(), NoBody.size()));
  EXPECT_STREQ(Rebooted.Find("/a")->Body, "{\"S\":1}");
  ASSERT_TRUE(Rebooted.LoadState(State.Get(), std::strlen(State.Get())));
  EXPECT_STREQ(Rebooted.Find("/a")->Body, "{\"S\":18446744073709551615}");
  Exchange Result = Send(HttpMethodGet, u"/a", nullptr, Rebooted.RedfishRest());
  EXPECT_EQ(Result.Code, HTTP_STATUS_200_OK);
}

}  // namespace
