// The scenario's "redfish" member: resources, overridden answers and the
// service status.
#include "sim/common/ExactJson.h"
#include "sim/common/HttpNames.h"
#include "sim/scenario/Scenario.h"

namespace {

constexpr const CHAR8 *mRedfishMembers[] = {"resources", "responses", "serviceStatus",
                                            "highestTpl"};
constexpr const CHAR8 *mOverrideMembers[] = {
    "method", "uri", "code", "statusCode", "ownRecord", "body", "bodyFill", "transport", "times"};
constexpr const CHAR8 *mFillMembers[] = {"text", "count", "at"};

/// The most bytes a "bodyFill" may add: enough for bodies of several
/// megabytes, little enough for any host running the emulator.
constexpr UINT64 MAX_FILL_BYTES = 64ULL << 20;

/// {"raw": ...} alone: a body served byte for byte.
bool IsRawForm(const cJSON *Value) {
  return cJSON_IsObject(Value) && Value->child != nullptr && Value->child->next == nullptr &&
         SimStringEqual(Value->child->string, "raw");
}

}  // namespace

RedfishSettings::RedfishSettings() : mConfig{nullptr, 0, nullptr, 0, EFI_SUCCESS, TPL_HIGH_LEVEL} {}

RedfishSettings::~RedfishSettings() { ReleaseBodies(); }

void RedfishSettings::ReleaseBodies() {
  for (UINTN Index = 0; Index < mResources.Count(); Index++) {
    if (mResources[Index].Body != nullptr) {
      cJSON_free(const_cast<CHAR8 *>(mResources[Index].Body));
      mResources[Index].Body = nullptr;
    }
  }
  for (UINTN Index = 0; Index < mFilledBodies.Count(); Index++) {
    if (mFilledBodies[Index] != nullptr) {
      cJSON_free(mFilledBodies[Index]);
      mFilledBodies[Index] = nullptr;
    }
  }
}

bool RedfishSettings::ReadFill(const cJSON *Member, REDFISH_OVERRIDE_SETTING &Override, UINTN Index,
                               ScenarioReader &Reader) {
  ScenarioReader::Scope Path(Reader, "bodyFill");
  if (!Override.HasBody || Override.Body == nullptr) {
    return Reader.Fail("needs a \"body\" text to fill");
  }
  if (!Reader.CheckObject(Member, mFillMembers, sizeof(mFillMembers) / sizeof(CHAR8 *))) {
    return false;
  }
  const CHAR8 *Text = nullptr;
  UINT64 Count = 0;
  UINT64 At = Override.BodyLength;
  {
    ScenarioReader::Scope TextPath(Reader, "text");
    if (!Reader.ReadString(ScenarioMember(Member, "text"), &Text)) {
      return false;
    }
    if (Text[0] == '\0') {
      return Reader.Fail("cannot be empty");
    }
  }
  const UINTN TextLength = SimStringLength(Text);
  {
    ScenarioReader::Scope CountPath(Reader, "count");
    if (!Reader.ReadUint(ScenarioMember(Member, "count"), 1, MAX_FILL_BYTES / TextLength, &Count)) {
      return false;
    }
  }
  const cJSON *AtMember = ScenarioMember(Member, "at");
  if (AtMember != nullptr) {
    ScenarioReader::Scope AtPath(Reader, "at");
    if (!Reader.ReadUint(AtMember, 0, Override.BodyLength, &At)) {
      return false;
    }
  }
  // The body's text up to At, Count copies of Text, the rest of the body.
  const UINTN Length = Override.BodyLength + static_cast<UINTN>(Count) * TextLength;
  auto *Filled = static_cast<CHAR8 *>(cJSON_malloc(Length + 1));
  if (Filled == nullptr) {
    return Reader.Fail("out of memory");
  }
  mFilledBodies[Index] = Filled;
  SimCopyBytes(Filled, Override.Body, static_cast<UINTN>(At));
  CHAR8 *Cursor = Filled + At;
  for (UINT64 Copy = 0; Copy < Count; Copy++, Cursor += TextLength) {
    SimCopyBytes(Cursor, Text, TextLength);
  }
  SimCopyBytes(Cursor, Override.Body + At, Override.BodyLength - static_cast<UINTN>(At));
  Filled[Length] = '\0';
  Override.Body = Filled;
  Override.BodyLength = Length;
  return true;
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
  const cJSON *Highest = ScenarioMember(Member, "highestTpl");
  if (Highest != nullptr) {
    ScenarioReader::Scope TplPath(Reader, "highestTpl");
    UINT64 Tpl = 0;
    if (!Reader.ReadUint(Highest, TPL_APPLICATION, TPL_HIGH_LEVEL, &Tpl)) {
      return false;
    }
    mConfig.HighestTpl = Tpl;
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
    REDFISH_RESOURCE_SETTING &Resource = mResources[Index];
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
  if (!mOverrides.Allocate(Count) || !mFilledBodies.Allocate(Count)) {
    return Reader.Fail("out of memory");
  }
  UINTN Index = 0;
  for (const cJSON *Entry = Member->child; Entry != nullptr; Entry = Entry->next, Index++) {
    ScenarioReader::Scope EntryPath(Reader, Index);
    REDFISH_OVERRIDE_SETTING &Override = mOverrides[Index];
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
      } else if (SimStringEqual(Name, "statusCode")) {
        if (!Reader.ReadUint(Item, 0, 0xFFFFFFFF, &Number)) {
          return false;
        }
        Override.HasStatusCode = true;
        Override.StatusCode = static_cast<UINT32>(Number);
      } else if (SimStringEqual(Name, "ownRecord")) {
        if (!cJSON_IsBool(Item)) {
          return Reader.Fail("must be true or false");
        }
        Override.OwnRecord = cJSON_IsTrue(Item) != 0;
      } else if (SimStringEqual(Name, "body")) {
        if (!cJSON_IsString(Item) && !cJSON_IsNull(Item)) {
          return Reader.Fail("must be a string, or null for no body");
        }
        Override.HasBody = true;
        Override.Body = cJSON_IsString(Item) ? Item->valuestring : nullptr;
        Override.BodyLength = Override.Body != nullptr ? SimStringLength(Override.Body) : 0;
      } else if (SimStringEqual(Name, "bodyFill")) {
        // Read once every other member is known: it fills the body.
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
    if (!Override.HasCode && !Override.HasStatusCode && !Override.HasBody &&
        !Override.HasTransport && !Override.OwnRecord) {
      return Reader.Fail("must give \"code\", \"statusCode\", \"body\" or \"transport\"");
    }
    if (Override.HasCode && Override.HasStatusCode) {
      ScenarioReader::Scope ItemPath(Reader, "statusCode");
      return Reader.Fail("cannot be combined with \"code\": both set the status code");
    }
    const cJSON *Fill = ScenarioMember(Entry, "bodyFill");
    if (Fill != nullptr && !ReadFill(Fill, Override, Index, Reader)) {
      return false;
    }
  }
  mConfig.Overrides = mOverrides.Get();
  mConfig.OverrideCount = mOverrides.Count();
  return true;
}
