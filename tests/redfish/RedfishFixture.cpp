#include "tests/redfish/RedfishFixture.h"

#include <cstring>

namespace {

CHAR8 *CopyForDriver(const std::string &Text) {
  PlatformHost Host = EmulatorPlatformHost();
  auto *Copy = static_cast<CHAR8 *>(AllocateForDriver(Host, Text.size() + 1));
  std::memcpy(Copy, Text.c_str(), Text.size() + 1);
  return Copy;
}

}  // namespace

FakeRest *gFakeRest = nullptr;

namespace {

EFI_STATUS EFIAPI ServiceReady(REDFISH_SERVICE_PROTOCOL *, UINT64, UINT64 *) { return EFI_SUCCESS; }

}  // namespace

EFI_STATUS EFIAPI FakeSendReceive(EFI_REST_PROTOCOL *This, EFI_HTTP_MESSAGE *Request,
                                  EFI_HTTP_MESSAGE *Response) {
  (void)This;
  FakeRest *Rest = gFakeRest;
  Firmware::Instance().EnterPlatform();
  RecordedRequest Recorded{
      Request->Data.Request->Method, Request->Data.Request->Url, Request->Data.Request->Url, {}, {},
      Request->Body != nullptr};
  for (UINTN Index = 0; Index < Request->HeaderCount; Index++) {
    // A header without a name or value would crash a real producer.
    const CHAR8 *Name = Request->Headers[Index].FieldName;
    const CHAR8 *Value = Request->Headers[Index].FieldValue;
    Recorded.Headers.emplace_back(Name != nullptr ? Name : "", Value != nullptr ? Value : "");
  }
  if (Request->Body != nullptr) {
    Recorded.Body.assign(static_cast<const char *>(Request->Body), Request->BodyLength);
  }
  Rest->Requests.push_back(Recorded);

  // Like a real producer, it may have allocated the answer before failing.
  Response->Data.Response->StatusCode = Rest->Code;
  if (Rest->SendHeaders) {
    PlatformHost Host = EmulatorPlatformHost();
    auto *Headers =
        static_cast<EFI_HTTP_HEADER *>(AllocateForDriver(Host, sizeof(EFI_HTTP_HEADER)));
    Headers[0].FieldName = CopyForDriver("Content-Type");
    Headers[0].FieldValue = CopyForDriver("application/json");
    Response->Headers = Headers;
    Response->HeaderCount = 1;
  }
  if (Rest->SendBody) {
    Response->Body = CopyForDriver(Rest->Body);
    Response->BodyLength = Rest->Body.size();
  }
  Firmware::Instance().LeavePlatform();
  return Rest->Status;
}

void RedfishTest::SetUp() {
  Machine.PowerOn();
  Machine.BeginBoot();
  gST = Machine.SystemTable();
  gBS = Machine.BootServices();
  gRT = Machine.RuntimeServices();
  Rest.Protocol.SendReceive = FakeSendReceive;
  gFakeRest = &Rest;
  Service.GetServiceStatus = ServiceReady;
  Machine.SetSide(Side::Driver);
  InstallJsonAllocator();
  // The machine counts the driver's first block as its context record.
  VOID *Context = nullptr;
  ASSERT_EQ(gBS->AllocatePool(EfiBootServicesData, 32, &Context), EFI_SUCCESS);
}

void RedfishTest::TearDown() {
  Machine.SetSide(Side::Platform);
  EXPECT_EQ(Machine.TakeProblems(), std::vector<std::string>{});
  cJSON_InitHooks(nullptr);
}

EFI_HANDLE RedfishTest::Install(FakeRest &Target, bool WithService) {
  SideScope Platform(Side::Platform);
  EFI_HANDLE Handle = nullptr;
  if (WithService) {
    // Both at once, as a producer of the service handle does.
    EXPECT_EQ(
        gBS->InstallMultipleProtocolInterfaces(&Handle, &gEfiRestProtocolGuid, &Target.Protocol,
                                               &gRedfishServiceProtocolGuid, &Service, nullptr),
        EFI_SUCCESS);
  } else {
    EXPECT_EQ(gBS->InstallProtocolInterface(&Handle, &gEfiRestProtocolGuid, EFI_NATIVE_INTERFACE,
                                            &Target.Protocol),
              EFI_SUCCESS);
  }
  return Handle;
}
