// SendRestRequest: the request it builds, the instance check, and that every
// response part is released or handed over on every path.
#include "core/Pool.h"
#include "redfish/RestExchange.h"
#include "tests/redfish/RedfishFixture.h"

namespace {

using RestExchangeTest = RedfishTest;

const CHAR16 URI[] = u"/redfish/v1/Oem/Velk/Viz/ActionStatus";

// Refused arguments leave the status code at 0.
TEST_F(RestExchangeTest, RefusesMissingArguments) {
  EFI_HTTP_STATUS_CODE Code = HTTP_STATUS_404_NOT_FOUND;
  EXPECT_EQ(
      SendRestRequest(nullptr, HttpMethodGet, URI, nullptr, nullptr, 0, nullptr, nullptr, &Code),
      EFI_INVALID_PARAMETER);
  EXPECT_EQ(Code, HTTP_STATUS_UNSUPPORTED_STATUS);
  EXPECT_EQ(SendRestRequest(&Rest.Protocol, HttpMethodGet, nullptr, nullptr, nullptr, 0, nullptr,
                            nullptr, &Code),
            EFI_INVALID_PARAMETER);
  EXPECT_EQ(SendRestRequest(&Rest.Protocol, HttpMethodGet, u"", nullptr, nullptr, 0, nullptr,
                            nullptr, &Code),
            EFI_INVALID_PARAMETER);
  EXPECT_TRUE(Rest.Requests.empty());
}

// The request carries the method, the caller's URI, headers and body.
TEST_F(RestExchangeTest, SendsTheRequestAndHandsOverTheBody) {
  Install(Rest);
  Rest.Body = "{\"Status\":\"Issued\"}";
  HeaderList Headers(1);
  ASSERT_EQ(HeaderListInit(&Headers), EFI_SUCCESS);
  ASSERT_EQ(HeaderListSet(&Headers, "Accept", "application/json"), EFI_SUCCESS);
  UINT64 Before = HeldBlocks();
  PoolPtr<CHAR8> Body;
  UINTN Length = 0;
  EFI_HTTP_STATUS_CODE Code = HTTP_STATUS_UNSUPPORTED_STATUS;
  ASSERT_EQ(SendRestRequest(&Rest.Protocol, HttpMethodPatch, URI, &Headers, "xyz", 3,
                            Body.Receive(), &Length, &Code),
            EFI_SUCCESS);
  EXPECT_EQ(Code, HTTP_STATUS_200_OK);
  ASSERT_TRUE(Body);
  EXPECT_STREQ(Body.Get(), Rest.Body.c_str());
  EXPECT_EQ(Length, Rest.Body.size());
  ASSERT_EQ(Rest.Requests.size(), 1u);
  const RecordedRequest &Sent = Rest.Requests[0];
  EXPECT_EQ(Sent.Method, HttpMethodPatch);
  EXPECT_EQ(Sent.Url, URI);
  EXPECT_EQ(Sent.Body, "xyz");
  ASSERT_EQ(Sent.Headers.size(), 1u);
  EXPECT_EQ(Sent.Headers[0].first, "Accept");
  // Only the handed-over body is still held: response data and headers went.
  EXPECT_EQ(HeldBlocks(), Before + 1);
  Body.Reset();
  EXPECT_EQ(HeldBlocks(), Before);
}

// A body the caller did not ask for is released here.
TEST_F(RestExchangeTest, ReleasesABodyNotAskedFor) {
  Install(Rest);
  Rest.Body = "unwanted";
  UINT64 Before = HeldBlocks();
  EFI_HTTP_STATUS_CODE Code = HTTP_STATUS_UNSUPPORTED_STATUS;
  EXPECT_EQ(SendRestRequest(&Rest.Protocol, HttpMethodGet, URI, nullptr, nullptr, 0, nullptr,
                            nullptr, &Code),
            EFI_SUCCESS);
  EXPECT_EQ(Code, HTTP_STATUS_200_OK);
  EXPECT_FALSE(Rest.Requests[0].HasBody);
  EXPECT_EQ(HeldBlocks(), Before);
}

// An exchange that fails after the producer allocated its answer hands
// nothing over and leaks nothing; the status code stays 0.
TEST_F(RestExchangeTest, FailedExchangeReleasesTheAnswer) {
  Install(Rest);
  Rest.Status = EFI_TIMEOUT;
  Rest.Body = "partial";
  UINT64 Before = HeldBlocks();
  CHAR8 *Body = nullptr;
  UINTN Length = 77;
  EFI_HTTP_STATUS_CODE Code = HTTP_STATUS_200_OK;
  EXPECT_EQ(SendRestRequest(&Rest.Protocol, HttpMethodGet, URI, nullptr, nullptr, 0, &Body, &Length,
                            &Code),
            EFI_TIMEOUT);
  EXPECT_EQ(Body, nullptr);
  EXPECT_EQ(Length, 77u);
  EXPECT_EQ(Code, HTTP_STATUS_UNSUPPORTED_STATUS);
  EXPECT_EQ(HeldBlocks(), Before);
}

// Only the REST instance on the one Redfish service handle may be used.
TEST_F(RestExchangeTest, RefusesInstancesOtherThanTheServices) {
  FakeRest Other;
  Other.Protocol.SendReceive = FakeSendReceive;
  Install(Other, false);
  EFI_HTTP_STATUS_CODE Code = HTTP_STATUS_200_OK;
  // No service handle at all.
  EXPECT_EQ(SendRestRequest(&Other.Protocol, HttpMethodGet, URI, nullptr, nullptr, 0, nullptr,
                            nullptr, &Code),
            EFI_NOT_STARTED);
  Install(Rest);
  // A service handle, but with another instance.
  EXPECT_EQ(SendRestRequest(&Other.Protocol, HttpMethodGet, URI, nullptr, nullptr, 0, nullptr,
                            nullptr, &Code),
            EFI_NOT_STARTED);
  EXPECT_EQ(SendRestRequest(&Rest.Protocol, HttpMethodGet, URI, nullptr, nullptr, 0, nullptr,
                            nullptr, &Code),
            EFI_SUCCESS);
  // A second service handle: the check cannot tell which one, so none.
  FakeRest Second;
  Second.Protocol.SendReceive = FakeSendReceive;
  Install(Second);
  EXPECT_EQ(SendRestRequest(&Rest.Protocol, HttpMethodGet, URI, nullptr, nullptr, 0, nullptr,
                            nullptr, &Code),
            EFI_NOT_STARTED);
  EXPECT_EQ(Code, HTTP_STATUS_UNSUPPORTED_STATUS);
  EXPECT_EQ(Rest.Requests.size(), 1u);
}

// Each of the exchange's own allocations may fail; nothing leaks and the
// request is not sent.
TEST_F(RestExchangeTest, AllocationFailuresAreReturned) {
  Install(Rest);
  UINT64 Before = HeldBlocks();
  for (UINT64 Failing = 1; Failing <= 2; Failing++) {
    Machine.SetFailAllocation(Machine.DriverAllocationCount() + Failing);
    EFI_HTTP_STATUS_CODE Code = HTTP_STATUS_200_OK;
    EXPECT_EQ(SendRestRequest(&Rest.Protocol, HttpMethodGet, URI, nullptr, nullptr, 0, nullptr,
                              nullptr, &Code),
              EFI_OUT_OF_RESOURCES);
    EXPECT_EQ(Code, HTTP_STATUS_UNSUPPORTED_STATUS);
  }
  Machine.SetFailAllocation(0);
  EXPECT_TRUE(Rest.Requests.empty());
  EXPECT_EQ(HeldBlocks(), Before);
}

}  // namespace

namespace {

// A header list with a slot whose copy failed: the producer gets only the
// whole headers before it.
TEST_F(RestExchangeTest, SendsOnlyTheHeadersInUse) {
  Install(Rest);
  HeaderList Headers(3);
  ASSERT_EQ(HeaderListInit(&Headers), EFI_SUCCESS);
  ASSERT_EQ(HeaderListSet(&Headers, "Content-Type", "application/json"), EFI_SUCCESS);
  EFI_HTTP_STATUS_CODE Code = HTTP_STATUS_UNSUPPORTED_STATUS;
  ASSERT_EQ(SendRestRequest(&Rest.Protocol, HttpMethodGet, URI, &Headers, nullptr, 0, nullptr,
                            nullptr, &Code),
            EFI_SUCCESS);
  ASSERT_EQ(Rest.Requests[0].Headers.size(), 1u);
  EXPECT_EQ(Rest.Requests[0].Headers[0].first, "Content-Type");
}

}  // namespace
