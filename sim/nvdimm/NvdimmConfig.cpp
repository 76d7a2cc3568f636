// Reading of the scenario's "nvdimm" member into an NvdimmConfig.
#include <cJSON.h>

#include "sim/common/StatusNames.h"
#include "sim/nvdimm/NvdimmComponent.h"
#include "sim/nvdimm/NvdimmJson.h"
#include "sim/nvdimm/NvdimmModel.h"

namespace {

const CHAR8 *const mConfigMembers[] = {"enabled", "localRequestPending", "localRequestStatus",
                                       "results", "diagnostics",         "pcdResults",
                                       "model"};
const CHAR8 *const mOperationNames[] = {"CreateGoal", "CreateNamespace", "DeleteNamespace",
                                        "DeletePlatformConfigurationData"};
const CHAR8 *const mForcedMembers[] = {"status", "message"};
const CHAR8 *const mPcdResultMembers[] = {"id", "status"};

bool ReadStatus(const cJSON *Object, const CHAR8 *Name, bool Required, EFI_STATUS *Status,
                const NvdimmJsonPath &Path, NvdimmMessage &Error) {
  const CHAR8 *Text = nullptr;
  if (!NvdimmJsonReadString(Object, Name, 64, Required, &Text, Path, Error)) {
    return false;
  }
  if (Text != nullptr && !StatusFromText(Text, Status)) {
    NvdimmJsonError(Error, NvdimmJsonPath{&Path, Name, 0}).Add("unknown status ").AddQuoted(Text);
    return false;
  }
  return true;
}

/// Reads {status, message}: the status is required, the message may be a
/// string, null or absent (no text).
bool ReadForced(const cJSON *Json, const NvdimmJsonPath &Path, EFI_STATUS *Status,
                const CHAR8 **Message, NvdimmMessage &Error) {
  return NvdimmJsonCheckObject(Json, mForcedMembers, 2, Path, Error) &&
         ReadStatus(Json, "status", true, Status, Path, Error) &&
         NvdimmJsonReadString(Json, "message", static_cast<UINTN>(-2), false, Message, Path, Error);
}

bool ReadResults(const cJSON *Json, NvdimmConfig *Config, const NvdimmJsonPath &Path,
                 NvdimmMessage &Error) {
  NvdimmForcedResult *Results[] = {&Config->CreateGoal, &Config->CreateNamespace,
                                   &Config->DeleteNamespace,
                                   &Config->DeletePlatformConfigurationData};
  if (!NvdimmJsonCheckObject(Json, mOperationNames, 4, Path, Error)) {
    return false;
  }
  for (UINTN Index = 0; Index < 4; Index++) {
    const cJSON *Item = cJSON_GetObjectItem(Json, mOperationNames[Index]);
    if (Item == nullptr || cJSON_IsNull(Item)) {
      continue;
    }
    NvdimmForcedResult &Result = *Results[Index];
    if (!ReadForced(Item, NvdimmJsonPath{&Path, mOperationNames[Index], 0}, &Result.Status,
                    &Result.Message, Error)) {
      return false;
    }
    Result.Forced = true;
  }
  return true;
}

bool ReadPcdResults(const cJSON *Array, NvdimmConfig *Config, const NvdimmJsonPath &Path,
                    NvdimmMessage &Error) {
  UINTN Count = static_cast<UINTN>(cJSON_GetArraySize(Array));
  auto *Results =
      Count == 0 ? nullptr
                 : static_cast<NvdimmPcdResult *>(cJSON_malloc(Count * sizeof(NvdimmPcdResult)));
  if (Count != 0 && Results == nullptr) {
    NvdimmJsonError(Error, Path).Add("out of memory");
    return false;
  }
  // Handed to Config at once, so that NvdimmFreeConfig releases it whatever
  // happens below.
  Config->PcdResults = Results;
  Config->PcdResultCount = 0;
  Config->HasPcdResults = true;
  UINTN Position = 0;
  for (const cJSON *Item = Array->child; Item != nullptr && Position < Count;
       Item = Item->next, Position++) {
    NvdimmJsonPath ItemPath = {&Path, nullptr, Position};
    UINT64 Id = 0;
    const CHAR8 *Status = nullptr;
    if (!NvdimmJsonCheckObject(Item, mPcdResultMembers, 2, ItemPath, Error) ||
        !NvdimmJsonReadUint(Item, "id", 0, static_cast<UINT64>(-1), true, &Id, ItemPath, Error) ||
        !NvdimmJsonReadString(Item, "status", NVDIMM_RESULT_STATUS_SIZE - 1, true, &Status,
                              ItemPath, Error)) {
      return false;
    }
    Results[Position] = {Id, Status};
    Config->PcdResultCount = Position + 1;
  }
  return true;
}

bool ReadConfig(const cJSON *Json, NvdimmConfig *Config, NvdimmMessage &Error) {
  NvdimmJsonPath Path = {nullptr, "nvdimm", 0};
  if (!NvdimmJsonCheckObject(Json, mConfigMembers, 7, Path, Error) ||
      !NvdimmJsonReadBool(Json, "enabled", &Config->Enabled, Path, Error) ||
      !NvdimmJsonReadBool(Json, "localRequestPending", &Config->LocalRequestPending, Path, Error) ||
      !ReadStatus(Json, "localRequestStatus", false, &Config->LocalRequestStatus, Path, Error)) {
    return false;
  }
  const cJSON *Results = cJSON_GetObjectItem(Json, "results");
  if (Results != nullptr && !cJSON_IsNull(Results) &&
      !ReadResults(Results, Config, NvdimmJsonPath{&Path, "results", 0}, Error)) {
    return false;
  }
  const cJSON *Diagnostics = cJSON_GetObjectItem(Json, "diagnostics");
  if (Diagnostics != nullptr && !cJSON_IsNull(Diagnostics)) {
    if (!ReadForced(Diagnostics, NvdimmJsonPath{&Path, "diagnostics", 0},
                    &Config->DiagnosticsStatus, &Config->DiagnosticsMessage, Error)) {
      return false;
    }
    Config->DiagnosticsForced = true;
  }
  const cJSON *PcdResults = nullptr;
  if (!NvdimmJsonReadArray(Json, "pcdResults", NVDIMM_MAX_PCD_RESULTS, &PcdResults, Path, Error) ||
      (PcdResults != nullptr &&
       !ReadPcdResults(PcdResults, Config, NvdimmJsonPath{&Path, "pcdResults", 0}, Error))) {
    return false;
  }
  const cJSON *Model = cJSON_GetObjectItem(Json, "model");
  if (Model != nullptr && !cJSON_IsNull(Model)) {
    // Checked here, where a problem can still be reported; the component
    // reads it again when it is made.
    NvdimmModel Checked;
    if (!Checked.FromJson(Model, NvdimmJsonPath{&Path, "model", 0}, Error)) {
      return false;
    }
    Config->Model = Model;
  }
  return true;
}

}  // namespace

bool NvdimmReadConfig(const cJSON *Member, NvdimmConfig *Config, CHAR8 *Error, UINTN ErrorSize) {
  NvdimmMessage ErrorText(Error, ErrorSize);
  if (Config == nullptr) {
    ErrorText.Add("nvdimm: no configuration record");
    return false;
  }
  *Config = NvdimmConfig();
  if (Member == nullptr || cJSON_IsNull(Member)) {
    return true;
  }
  if (!ReadConfig(Member, Config, ErrorText)) {
    NvdimmFreeConfig(Config);
    return false;
  }
  return true;
}

void NvdimmFreeConfig(NvdimmConfig *Config) {
  if (Config == nullptr) {
    return;
  }
  if (Config->PcdResults != nullptr) {
    cJSON_free(const_cast<NvdimmPcdResult *>(Config->PcdResults));
  }
  *Config = NvdimmConfig();
}
