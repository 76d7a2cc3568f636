#include "qemu/image/CarriedState.h"

#include "sim/common/ExactJson.h"
#include "sim/common/SimTextWriter.h"

namespace {

constexpr UINT64 MAX_BOOT_NUMBER = 0xFFFFFFFF;

bool Refuse(CHAR8 *Error, UINTN ErrorSize, const CHAR8 *Reason) {
  SimTextWriter Writer(Error, ErrorSize);
  Writer.Add(Reason);
  return false;
}

}  // namespace

SimBlock SaveCarriedState(PlatformRunner &Runner, UINT32 NextBoot, const CHAR8 *ResetBy) {
  SimBlock Redfish = Runner.Service().SaveState();
  SimBlock Nvdimm(Runner.Nvdimm().SaveState());
  SimJson State(cJSON_CreateObject());
  if (!Redfish || !Nvdimm || !State) {
    return SimBlock();
  }
  // The printer writes bytes of 0x80 and above as they are, which the JSON
  // reader of the next boot takes back unchanged; the trace writer's \u00xx
  // escapes would not come back as the same bytes.
  bool Built = TraceAddUint(State.Get(), "boot", NextBoot) &&
               TraceAddString(State.Get(), "resetBy", ResetBy) &&
               TraceAddItem(State.Get(), "redfish", cJSON_CreateString(Redfish.Get())) &&
               TraceAddItem(State.Get(), "nvdimm", cJSON_CreateString(Nvdimm.Get()));
  return SimBlock(Built ? cJSON_PrintUnformatted(State.Get()) : nullptr);
}

bool LoadCarriedState(const CHAR8 *Text, UINTN Length, PlatformRunner &Runner, UINT32 *Boot,
                      CHAR8 *Error, UINTN ErrorSize) {
  SimJson State(ExactJsonParse(Text, Length, Error, ErrorSize));
  if (!State) {
    return false;
  }
  const cJSON *BootItem = cJSON_GetObjectItemCaseSensitive(State.Get(), "boot");
  const cJSON *Redfish = cJSON_GetObjectItemCaseSensitive(State.Get(), "redfish");
  const cJSON *Nvdimm = cJSON_GetObjectItemCaseSensitive(State.Get(), "nvdimm");
  UINT64 Number = 0;
  if (!ExactJsonNumberToUint(BootItem, &Number) || Number < 2 || Number > MAX_BOOT_NUMBER) {
    return Refuse(Error, ErrorSize, "boot: not a boot number from 2 up");
  }
  if (!cJSON_IsString(Redfish) ||
      !Runner.Service().LoadState(Redfish->valuestring, SimStringLength(Redfish->valuestring))) {
    return Refuse(Error, ErrorSize, "redfish: not a state of this scenario's Redfish service");
  }
  if (!cJSON_IsString(Nvdimm) || !Runner.Nvdimm().LoadState(Nvdimm->valuestring)) {
    return Refuse(Error, ErrorSize, "nvdimm: not a state of the NVDIMM component");
  }
  *Boot = static_cast<UINT32>(Number);
  return true;
}
