// GetResource and PatchActionStatus: headers, accepted codes, the report's
// exact layout, and what happens when parts of it cannot be allocated.
#include "core/Pool.h"
#include "redfish/ActionStatusClient.h"
#include "tests/redfish/RedfishFixture.h"

namespace {

using ActionStatusClientTest = RedfishTest;

using HeaderPairs = std::vector<std::pair<std::string, std::string>>;

// A GET asks for JSON with the OData version, and hands over a 200's body.
TEST_F(ActionStatusClientTest, GetSendsItsHeadersAndReturnsTheBody) {
  Install(Rest);
  Rest.Body = "{}";
  UINT64 Before = HeldBlocks();
  PoolPtr<CHAR8> Body;
  UINTN Length = 0;
  ASSERT_EQ(GetResource(&Rest.Protocol, ACTION_STATUS_URI, Body.Receive(), &Length), EFI_SUCCESS);
  EXPECT_STREQ(Body.Get(), "{}");
  EXPECT_EQ(Length, 2u);
  ASSERT_EQ(Rest.Requests.size(), 1u);
  EXPECT_EQ(Rest.Requests[0].Method, HttpMethodGet);
  EXPECT_EQ(Rest.Requests[0].Headers,
            (HeaderPairs{{"Accept", "application/json;charset=utf-8"}, {"OData-Version", "4.0"}}));
  Body.Reset();
  EXPECT_EQ(HeldBlocks(), Before);
}

// Any answer but 200 is a protocol error, and its body is not handed over.
TEST_F(ActionStatusClientTest, GetRefusesOtherAnswers) {
  Install(Rest);
  UINT64 Before = HeldBlocks();
  for (EFI_HTTP_STATUS_CODE Code : {HTTP_STATUS_204_NO_CONTENT, HTTP_STATUS_201_CREATED,
                                    HTTP_STATUS_404_NOT_FOUND, HTTP_STATUS_UNSUPPORTED_STATUS}) {
    Rest.Code = Code;
    Rest.Body = "{\"error\":1}";
    CHAR8 *Body = nullptr;
    EXPECT_EQ(GetResource(&Rest.Protocol, ACTION_STATUS_URI, &Body, nullptr), EFI_PROTOCOL_ERROR);
    EXPECT_EQ(Body, nullptr);
  }
  Rest.Code = HTTP_STATUS_200_OK;
  Rest.Status = EFI_TIMEOUT;
  CHAR8 *Body = nullptr;
  EXPECT_EQ(GetResource(&Rest.Protocol, ACTION_STATUS_URI, &Body, nullptr), EFI_PROTOCOL_ERROR);
  EXPECT_EQ(HeldBlocks(), Before);
}

// The report: cJSON's formatted layout, its exact length as Content-Length.
TEST_F(ActionStatusClientTest, PatchSendsTheFormattedReport) {
  Install(Rest);
  Rest.Code = HTTP_STATUS_204_NO_CONTENT;
  Rest.SendBody = false;
  ASSERT_EQ(PatchActionStatus(&Rest.Protocol, "Success",
                              "(UEFI UPDATE): DeleteNamespace performed Successfully"),
            EFI_SUCCESS);
  ASSERT_EQ(Rest.Requests.size(), 1u);
  const RecordedRequest &Sent = Rest.Requests[0];
  EXPECT_EQ(Sent.Method, HttpMethodPatch);
  EXPECT_TRUE(StrEqual(Sent.Url, u"/redfish/v1/Oem/Velk/Viz/ActionStatus"));
  EXPECT_EQ(
      Sent.Body,
      "{\n\t\"Status\":\t\"Success\",\n\t\"StatusMessage\":\t\"(UEFI UPDATE): DeleteNamespace "
      "performed Successfully\"\n}");
  EXPECT_EQ(Sent.Headers, (HeaderPairs{{"Content-Type", "application/json;charset=utf-8"},
                                       {"Content-Length", "99"},
                                       {"OData-Version", "4.0"}}));
  // A body of three digits' length: 45 bytes of frame and 400 of message.
  ASSERT_EQ(PatchActionStatus(&Rest.Protocol, "Failed", std::string(400, 'x').c_str()),
            EFI_SUCCESS);
  ASSERT_EQ(Rest.Requests.size(), 2u);
  EXPECT_EQ(Rest.Requests[1].Body.size(), 445u);
  EXPECT_EQ(Rest.Requests[1].Headers[1],
            (std::pair<std::string, std::string>{"Content-Length", "445"}));
}

// Control characters are escaped; bytes above 0x7F go as they are.
TEST_F(ActionStatusClientTest, PatchEscapesTheMessage) {
  Install(Rest);
  ASSERT_EQ(PatchActionStatus(&Rest.Protocol, "Failed", "a\nb\r\"c\\\x01\xE9"), EFI_SUCCESS);
  EXPECT_EQ(
      Rest.Requests[0].Body,
      "{\n\t\"Status\":\t\"Failed\",\n\t\"StatusMessage\":\t\"a\\nb\\r\\\"c\\\\\\u0001\xE9\"\n}");
}

// Only 200 and 204 are accepted; anything else, or no answer, is a
// protocol error.
TEST_F(ActionStatusClientTest, PatchAcceptsOnly200And204) {
  Install(Rest);
  for (EFI_HTTP_STATUS_CODE Code : {HTTP_STATUS_200_OK, HTTP_STATUS_204_NO_CONTENT}) {
    Rest.Code = Code;
    EXPECT_EQ(PatchActionStatus(&Rest.Protocol, "Success", "m"), EFI_SUCCESS);
  }
  for (EFI_HTTP_STATUS_CODE Code :
       {HTTP_STATUS_201_CREATED, HTTP_STATUS_202_ACCEPTED, HTTP_STATUS_400_BAD_REQUEST}) {
    Rest.Code = Code;
    EXPECT_EQ(PatchActionStatus(&Rest.Protocol, "Success", "m"), EFI_PROTOCOL_ERROR);
  }
  Rest.Status = EFI_DEVICE_ERROR;
  EXPECT_EQ(PatchActionStatus(&Rest.Protocol, "Success", "m"), EFI_PROTOCOL_ERROR);
}

// Whichever allocation fails, nothing leaks, and a report that is sent at
// all is well formed: a member whose copy failed is left out, never garbled.
TEST_F(ActionStatusClientTest, PatchSurvivesEveryAllocationFailure) {
  Install(Rest);
  UINT64 Before = HeldBlocks();
  UINT64 Start = Machine.DriverAllocationCount();
  ASSERT_EQ(PatchActionStatus(&Rest.Protocol, "Failed", "message"), EFI_SUCCESS);
  UINT64 Allocations = Machine.DriverAllocationCount() - Start;
  const std::string Full = Rest.Requests.back().Body;
  bool SawStatusOnly = false;
  for (UINT64 Failing = 1; Failing <= Allocations; Failing++) {
    Rest.Requests.clear();
    Machine.SetFailAllocation(Machine.DriverAllocationCount() + Failing);
    EFI_STATUS Status = PatchActionStatus(&Rest.Protocol, "Failed", "message");
    Machine.SetFailAllocation(0);
    EXPECT_EQ(HeldBlocks(), Before) << "allocation " << Failing;
    if (Rest.Requests.empty()) {
      EXPECT_TRUE(Status == EFI_OUT_OF_RESOURCES || Status == EFI_PROTOCOL_ERROR);
      continue;
    }
    // Every header handed to the producer is whole.
    for (const auto &[Name, Value] : Rest.Requests[0].Headers) {
      EXPECT_FALSE(Name.empty());
      EXPECT_FALSE(Value.empty());
    }
    const std::string &Body = Rest.Requests[0].Body;
    EXPECT_TRUE(Body == Full || Body == "{\n\t\"Status\":\t\"Failed\"\n}" ||
                Body == "{\n\t\"StatusMessage\":\t\"message\"\n}" || Body == "{\n}")
        << Body;
    SawStatusOnly |= Body == "{\n\t\"Status\":\t\"Failed\"\n}";
  }
  EXPECT_TRUE(SawStatusOnly);
}

}  // namespace
