// What one boot of the virtual machine hands the next across a real reset:
// what the Redfish service holds (with its override counters), the NVDIMM
// component's model and local request, the number of the next boot and who
// reset. The image writes it as one JSON object on the trace channel; the
// runner puts that text on the next boot's disk unchanged:
//
//   {"boot": 2, "resetBy": "driver", "redfish": "<service state>",
//    "nvdimm": "<component state>"}
//
// The two states are the texts of RedfishService::SaveState and
// NvdimmComponent::SaveState, carried as JSON strings; "resetBy" is "driver",
// "platform" or null for a boot that ended without a reset.
#pragma once

#include "sim/common/SimMemory.h"
#include "sim/platform/PlatformRunner.h"

/// The carried state as JSON text from cJSON_malloc; empty when out of
/// memory. ResetBy may be null.
[[nodiscard]] SimBlock SaveCarriedState(PlatformRunner &Runner, UINT32 NextBoot,
                                        const CHAR8 *ResetBy);

/// Restores the service and the component from Length bytes of Text that
/// SaveCarriedState wrote, and gives the boot number it names. False, with
/// a reason in Error (ErrorSize bytes), for text that does not fit the
/// runner's scenario; the runner may then be half restored.
[[nodiscard]] bool LoadCarriedState(const CHAR8 *Text, UINTN Length, PlatformRunner &Runner,
                                    UINT32 *Boot, CHAR8 *Error, UINTN ErrorSize);
