// The GUIDs the driver consumes, pinned digit by digit. The simulated
// platform installs the driver's own GUID objects, so no scenario could see a
// wrong digit: a driver built with one would find nothing on real firmware.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/Guids.h"

namespace {

/// Registry format: 8-4-4-4-12 upper-case hexadecimal digits.
std::string RegistryText(const EFI_GUID &Guid) {
  char Text[37];
  std::snprintf(Text, sizeof(Text), "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", Guid.Data1,
                Guid.Data2, Guid.Data3, Guid.Data4[0], Guid.Data4[1], Guid.Data4[2], Guid.Data4[3],
                Guid.Data4[4], Guid.Data4[5], Guid.Data4[6], Guid.Data4[7]);
  return Text;
}

struct PinnedGuid {
  const char *Name;
  const EFI_GUID *Guid;
  const char *Text;
};

// Each GUID object the driver uses has the value its producer defines.
TEST(GuidsTest, EachGuidHasItsValue) {
  const PinnedGuid Pinned[] = {
      {"NVDIMM_ACTION_PROTOCOL", &gNvdimmActionProtocolGuid,
       "869F7A2D-C11B-48EE-BD8C-CDDB4D2FF4C7"},
      {"REDFISH_SERVICE_PROTOCOL", &gRedfishServiceProtocolGuid,
       "7ECA5AF9-A781-414E-AE4D-76B1ED203B83"},
      {"RedfishReadyGuid", &gRedfishReadyGuid, "FC248D6E-D438-4F4A-BFF8-DE6F2454EF6B"},
      {"LocalRequestTriggerGuid", &gLocalRequestTriggerGuid,
       "D84BEFF0-159A-4B60-9AB9-AC5C474BD3B1"},
      {"EFI_REST_PROTOCOL", &gEfiRestProtocolGuid, "0DB48A36-4E54-EA9C-9B09-1EA5BE3A660B"},
      {"reset-system event group", &gEfiEventGroupResetSystemGuid,
       "62DA6A56-13FB-485A-A8DA-A3DD7912CB6B"},
  };
  for (const PinnedGuid &Entry : Pinned) {
    EXPECT_EQ(RegistryText(*Entry.Guid), Entry.Text) << Entry.Name;
  }
}

}  // namespace
