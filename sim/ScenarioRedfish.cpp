// The scenario's "redfish" member: resources, overridden answers and the
// service status.
#include "sim/ExactJson.h"
#include "sim/HttpNames.h"
#include "sim/Scenario.h"

namespace {

constexpr const CHAR8 *mRedfishMembers[] = {"resources", "responses", "serviceStatus"};
constexpr const CHAR8 *mOverrideMembers[] = {"method", "uri", "code", "body", "transport", "times"};

/// {"raw": ...} alone: a body served byte for byte.
bool IsRawForm(const cJSON *Value) {
  return cJSON_IsObject(Value) && Value->child != nullptr && Value->child->next == nullptr &&
         SimStringEqual(Value->child->string, "raw");
}

}  // namespace

RedfishSettings::RedfishSettings() : mConfig{nullptr, 0, nullptr, 0, EFI_SUCCESS} {}

RedfishSettings::~RedfishSettings() { ReleaseBodies(); }

void RedfishSettings::ReleaseBodies() {
  for (UINTN Index = 0; Index < mResources.Count(); Index++) {
    if (mResources[Index].Body != nullptr) {
      cJSON_free(const_cast<CHAR8 *>(mResources[Index].Body));
      mResources[Index].Body = nullptr;
    }
  }
}

bool RedfishSettings::Read(cJSON *Member, ScenarioReader &Reader) {
  if (Member == nullptr) {
    return true;
  }
  ScenarioReader::Scope Path(Reader, "redfish");
  if (!Reader.CheckObject(Member, mRedfishMembers, sizeof(mRedfishMembers) / sizeof(CHAR8 *))) {
    return false;
  }
  cJSON *Resources = cJSON_GetObjectItemCaseSensitive(Member, "resources");
  if (Resources != nullptr && !ReadResources(Resources, Reader)) {
    return false;
  }
  const cJSON *Responses = ScenarioMember(Member, "responses");
  if (Responses != nullptr && !ReadOverrides(Responses, Reader)) {
    return false;
  }
  const cJSON *Status = ScenarioMember(Member, "serviceStatus");
  if (Status != nullptr) {
    ScenarioReader::Scope StatusPath(Reader, "serviceStatus");
    if (!Reader.ReadStatus(Status, &mConfig.ServiceStatus)) {
      return false;
    }
  }
  return true;
}

bool RedfishSettings::ReadResources(cJSON *Member, ScenarioReader &Reader) {
  ScenarioReader::Scope Path(Reader, "resources");
  if (!cJSON_IsObject(Member)) {
    return Reader.Fail("must be an object of URI: body");
  }
  if (!Reader.CheckNoRepeats(Member, true)) {
    return false;
  }
  if (!mResources.Allocate(static_cast<UINTN>(cJSON_GetArraySize(Member)))) {
    return Reader.Fail("out of memory");
  }
  UINTN Index = 0;
  for (cJSON *Value = Member->child; Value != nullptr; Value = Value->next, Index++) {
    ScenarioReader::Scope Key(Reader, Value->string, true);
    REDFISH_RESOURCE_SPEC &Resource = mResources[Index];
    Resource.Uri = Value->string;
    if (Value->string[0] == '\0') {
      return Reader.Fail("a URI cannot be empty");
    }
    if (IsRawForm(Value)) {
      ScenarioReader::Scope Raw(Reader, "raw");
      const CHAR8 *Text = nullptr;
      if (!Reader.ReadString(Value->child, &Text)) {
        return false;
      }
      Resource.BodyLength = SimStringLength(Text);
      Resource.Body = SimDuplicateBytes(Text, Resource.BodyLength);
    } else {
      // Numbers keep the spelling the scenario gave them.
      ExactJsonNumbersToRaw(Value);
      Resource.Body = cJSON_PrintUnformatted(Value);
      Resource.BodyLength = Resource.Body != nullptr ? SimStringLength(Resource.Body) : 0;
    }
    if (Resource.Body == nullptr) {
      return Reader.Fail("out of memory");
    }
  }
  mConfig.Resources = mResources.Get();
  mConfig.ResourceCount = mResources.Count();
  return true;
}

bool RedfishSettings::ReadOverrides(const cJSON *Member, ScenarioReader &Reader) {
  ScenarioReader::Scope Path(Reader, "responses");
  if (!cJSON_IsArray(Member)) {
    return Reader.Fail("must be a list of answers");
  }
  UINTN Count = static_cast<UINTN>(cJSON_GetArraySize(Member));
  if (Count > SCENARIO_MAX_MEMBERS) {
    return Reader.Fail("has more than 4096 entries");
  }
  if (!mOverrides.Allocate(Count)) {
    return Reader.Fail("out of memory");
  }
  UINTN Index = 0;
  for (const cJSON *Entry = Member->child; Entry != nullptr; Entry = Entry->next, Index++) {
    ScenarioReader::Scope EntryPath(Reader, Index);
    REDFISH_OVERRIDE_SPEC &Override = mOverrides[Index];
    if (!Reader.CheckObject(Entry, mOverrideMembers, sizeof(mOverrideMembers) / sizeof(CHAR8 *))) {
      return false;
    }
    Override.AnyMethod = true;
    for (const cJSON *Item = Entry->child; Item != nullptr; Item = Item->next) {
      ScenarioReader::Scope ItemPath(Reader, Item->string);
      const CHAR8 *Name = Item->string;
      UINT64 Number = 0;
      if (SimStringEqual(Name, "method")) {
        const CHAR8 *Method = nullptr;
        if (!Reader.ReadString(Item, &Method)) {
          return false;
        }
        if (!HttpMethodFromName(Method, &Override.Method)) {
          return Reader.FailQuoting("unknown method (GET, PATCH, POST, PUT, DELETE, ...)", Method);
        }
        Override.AnyMethod = false;
      } else if (SimStringEqual(Name, "uri")) {
        if (!Reader.ReadString(Item, &Override.Uri)) {
          return false;
        }
      } else if (SimStringEqual(Name, "code")) {
        if (!Reader.ReadUint(Item, 100, 999, &Number)) {
          return false;
        }
        Override.HasCode = true;
        Override.Code = static_cast<UINT32>(Number);
      } else if (SimStringEqual(Name, "body")) {
        if (!cJSON_IsString(Item) && !cJSON_IsNull(Item)) {
          return Reader.Fail("must be a string, or null for no body");
        }
        Override.HasBody = true;
        Override.Body = cJSON_IsString(Item) ? Item->valuestring : nullptr;
      } else if (SimStringEqual(Name, "transport")) {
        if (!Reader.ReadStatus(Item, &Override.Transport)) {
          return false;
        }
        Override.HasTransport = true;
      } else {
        if (!Reader.ReadUint(Item, 0, static_cast<UINT64>(-1), &Override.Times)) {
          return false;
        }
        Override.Limited = true;
      }
    }
    if (!Override.HasCode && !Override.HasBody && !Override.HasTransport) {
      return Reader.Fail("must give \"code\", \"body\" or \"transport\"");
    }
    if (Override.HasTransport && (Override.HasCode || Override.HasBody)) {
      ScenarioReader::Scope ItemPath(Reader, "transport");
      return Reader.Fail("cannot be combined with \"code\" or \"body\": no answer comes");
    }
  }
  mConfig.Overrides = mOverrides.Get();
  mConfig.OverrideCount = mOverrides.Count();
  return true;
}
