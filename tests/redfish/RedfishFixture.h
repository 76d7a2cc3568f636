// The fixture of the Redfish client's tests: the driver's view of an emulated
// machine (gST, gBS, gRT as the entry records them), running as the driver,
// with a REST producer whose answers each test sets and whose requests it
// records.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/BootServices.h"
#include "core/Json.h"
#include "emulator/Firmware.h"
#include "emulator/PlatformHooks.h"
#include "platform/Guids.h"

/// A request as the producer received it.
struct RecordedRequest {
  EFI_HTTP_METHOD Method;
  const CHAR16 *Url;
  std::u16string UrlText;
  std::vector<std::pair<std::string, std::string>> Headers;
  std::string Body;
  bool HasBody;
};

/// A REST producer on the platform side: answers with Code and Body (from
/// pool, handed to the driver like a real producer does) and returns Status.
struct FakeRest {
  EFI_REST_PROTOCOL Protocol;
  EFI_STATUS Status = EFI_SUCCESS;
  EFI_HTTP_STATUS_CODE Code = HTTP_STATUS_200_OK;
  std::string Body;
  bool SendBody = true;
  bool SendHeaders = true;
  std::vector<RecordedRequest> Requests;
};

/// The producer behind every fake REST instance of the running test.
extern FakeRest *gFakeRest;

EFI_STATUS EFIAPI FakeSendReceive(EFI_REST_PROTOCOL *This, EFI_HTTP_MESSAGE *Request,
                                  EFI_HTTP_MESSAGE *Response);

class RedfishTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  /// Installs Rest (and, when WithService, the Redfish service protocol) on
  /// a new handle, as the platform does.
  EFI_HANDLE Install(FakeRest &Rest, bool WithService = true);

  /// Blocks the driver still holds.
  UINT64 HeldBlocks() const { return Machine.DriverHeld().Blocks; }

  Firmware &Machine = Firmware::Instance();
  FakeRest Rest;
  REDFISH_SERVICE_PROTOCOL Service = {};
};
