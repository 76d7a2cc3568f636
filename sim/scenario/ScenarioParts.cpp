// The scenario's members other than "nvdimm": description, redfish, boots and
// expect.
#include "sim/scenario/Scenario.h"

namespace {

// "accounts" is nvdimm-emu serve's; it reads and checks the member itself.
constexpr const CHAR8 *mTopMembers[] = {"description", "redfish",   "nvdimm",      "boots",
                                        "expect",      "failAlloc", "resetSystem", "accounts"};

constexpr const CHAR8 *mResetSystemNames[] = {"group", "notifications", "both"};
constexpr const CHAR8 *mExpectMembers[] = {"events", "only", "final", "none"};

constexpr const CHAR8 *mStepNames[] = {
    "nvdimm", "redfish",   "rest",      "redfishReady",      "localRequestTrigger", "localRequest",
    "driver", "resetWarm", "resetCold", "redfishSameHandle", "nvdimmTwice"};
static_assert(sizeof(mStepNames) / sizeof(mStepNames[0]) ==
                  static_cast<UINTN>(BootStep::NvdimmTwice) + 1,
              "one name per boot step");

constexpr BootStep mDefaultSteps[] = {BootStep::Nvdimm, BootStep::Redfish, BootStep::Driver};
constexpr BOOT_PLAN mDefaultBoot = {mDefaultSteps, sizeof(mDefaultSteps) / sizeof(BootStep)};

bool StepFromName(const CHAR8 *Name, BootStep *Step) {
  for (UINTN Index = 0; Index < sizeof(mStepNames) / sizeof(mStepNames[0]); Index++) {
    if (SimStringEqual(mStepNames[Index], Name)) {
      *Step = static_cast<BootStep>(Index);
      return true;
    }
  }
  return false;
}

}  // namespace

const CHAR8 *BootStepName(BootStep Step) { return mStepNames[static_cast<UINTN>(Step)]; }

UINTN ScenarioParts::BootCount() const { return mBoots.Count() > 0 ? mBoots.Count() : 1; }

const BOOT_PLAN &ScenarioParts::Boot(UINTN Index) const {
  return mBoots.Count() > 0 ? mBoots[Index] : mDefaultBoot;
}

bool ScenarioParts::Read(cJSON *Root, CHAR8 *Error, UINTN ErrorSize) {
  ScenarioReader Reader(Error, ErrorSize);
  if (!Reader.CheckObject(Root, mTopMembers, sizeof(mTopMembers) / sizeof(CHAR8 *))) {
    return false;
  }
  const cJSON *Description = ScenarioMember(Root, "description");
  if (Description != nullptr) {
    ScenarioReader::Scope Path(Reader, "description");
    if (!Reader.ReadString(Description, &mDescription)) {
      return false;
    }
  }
  if (!mRedfish.Read(cJSON_GetObjectItemCaseSensitive(Root, "redfish"), Reader)) {
    return false;
  }
  const cJSON *Boots = ScenarioMember(Root, "boots");
  if (Boots != nullptr && !ReadBoots(Boots, Reader)) {
    return false;
  }
  const cJSON *ResetSystem = ScenarioMember(Root, "resetSystem");
  if (ResetSystem != nullptr) {
    ScenarioReader::Scope Path(Reader, "resetSystem");
    const CHAR8 *Name = nullptr;
    if (!Reader.ReadString(ResetSystem, &Name)) {
      return false;
    }
    bool Known = false;
    for (UINTN Index = 0; Index < sizeof(mResetSystemNames) / sizeof(mResetSystemNames[0]);
         Index++) {
      if (SimStringEqual(Name, mResetSystemNames[Index])) {
        mResetSystem = static_cast<ResetSystemMode>(Index);
        mResetSystemNamed = true;
        Known = true;
      }
    }
    if (!Known) {
      return Reader.Fail("must be \"group\", \"notifications\" or \"both\"");
    }
  }
  const cJSON *FailAllocation = ScenarioMember(Root, "failAlloc");
  if (FailAllocation != nullptr) {
    ScenarioReader::Scope Path(Reader, "failAlloc");
    if (!Reader.ReadUint(FailAllocation, 1, ~static_cast<UINT64>(0), &mFailAllocation)) {
      return false;
    }
  }
  const cJSON *Expect = ScenarioMember(Root, "expect");
  return Expect == nullptr || ReadExpect(Expect, Reader);
}

bool ScenarioParts::ReadBoots(const cJSON *Member, ScenarioReader &Reader) {
  ScenarioReader::Scope Path(Reader, "boots");
  if (!cJSON_IsArray(Member) || Member->child == nullptr) {
    return Reader.Fail("must be a list of boots, each a list of steps");
  }
  UINTN BootCount = 0;
  UINTN StepCount = 0;
  for (const cJSON *Boot = Member->child; Boot != nullptr; Boot = Boot->next, BootCount++) {
    ScenarioReader::Scope BootPath(Reader, BootCount);
    if (BootCount >= SCENARIO_MAX_MEMBERS) {
      return Reader.Fail("more than 4096 boots");
    }
    if (!cJSON_IsArray(Boot) || Boot->child == nullptr) {
      return Reader.Fail("must be a list of one step or more, such as [\"nvdimm\", \"driver\"]");
    }
    UINTN Steps = static_cast<UINTN>(cJSON_GetArraySize(Boot));
    if (Steps > SCENARIO_MAX_MEMBERS) {
      return Reader.Fail("has more than 4096 steps");
    }
    StepCount += Steps;
  }
  if (!mBoots.Allocate(BootCount) || !mSteps.Allocate(StepCount)) {
    return Reader.Fail("out of memory");
  }
  UINTN BootIndex = 0;
  UINTN StepIndex = 0;
  for (const cJSON *Boot = Member->child; Boot != nullptr; Boot = Boot->next, BootIndex++) {
    ScenarioReader::Scope BootPath(Reader, BootIndex);
    mBoots[BootIndex].Steps = mSteps.Get() + StepIndex;
    UINTN Index = 0;
    for (const cJSON *Step = Boot->child; Step != nullptr; Step = Step->next, Index++) {
      ScenarioReader::Scope StepPath(Reader, Index);
      const CHAR8 *Name = nullptr;
      if (!Reader.ReadString(Step, &Name)) {
        return false;
      }
      if (!StepFromName(Name, &mSteps[StepIndex++])) {
        return Reader.FailQuoting("unknown step", Name);
      }
    }
    mBoots[BootIndex].StepCount = Index;
  }
  return true;
}

bool ScenarioParts::ReadExpect(const cJSON *Member, ScenarioReader &Reader) {
  ScenarioReader::Scope Path(Reader, "expect");
  if (!Reader.CheckObject(Member, mExpectMembers, sizeof(mExpectMembers) / sizeof(CHAR8 *))) {
    return false;
  }
  const cJSON *Events = ScenarioMember(Member, "events");
  if (Events != nullptr) {
    ScenarioReader::Scope EventsPath(Reader, "events");
    if (!cJSON_IsArray(Events)) {
      return Reader.Fail("must be a list of events");
    }
    if (static_cast<UINTN>(cJSON_GetArraySize(Events)) > SCENARIO_MAX_MEMBERS) {
      return Reader.Fail("has more than 4096 events");
    }
    UINTN Index = 0;
    for (const cJSON *Event = Events->child; Event != nullptr; Event = Event->next, Index++) {
      ScenarioReader::Scope EventPath(Reader, Index);
      if (!cJSON_IsObject(Event)) {
        return Reader.Fail("must be an object such as {\"event\": \"rest\", ...}");
      }
      if (!Reader.CheckNoRepeats(Event, false)) {
        return false;
      }
      ScenarioReader::Scope KindPath(Reader, "event");
      const CHAR8 *Kind = nullptr;
      if (!Reader.ReadString(ScenarioMember(Event, "event"), &Kind)) {
        return false;
      }
    }
  }
  const cJSON *Only = ScenarioMember(Member, "only");
  if (Only != nullptr) {
    ScenarioReader::Scope OnlyPath(Reader, "only");
    if (!cJSON_IsObject(Only)) {
      return Reader.Fail("must be an object such as {\"rest\": {\"method\": \"PATCH\"}}");
    }
    if (!Reader.CheckNoRepeats(Only, false)) {
      return false;
    }
    for (const cJSON *Filter = Only->child; Filter != nullptr; Filter = Filter->next) {
      ScenarioReader::Scope KindPath(Reader, Filter->string);
      if (!cJSON_IsObject(Filter) || Filter->child == nullptr) {
        return Reader.Fail("must name one member or more, such as {\"method\": \"PATCH\"}");
      }
      if (!Reader.CheckNoRepeats(Filter, false)) {
        return false;
      }
    }
  }
  const cJSON *Final = ScenarioMember(Member, "final");
  if (Final != nullptr) {
    ScenarioReader::Scope FinalPath(Reader, "final");
    if (!cJSON_IsObject(Final)) {
      return Reader.Fail("must be an object of URI: expected JSON value");
    }
    if (!Reader.CheckNoRepeats(Final, true)) {
      return false;
    }
  }
  const cJSON *None = ScenarioMember(Member, "none");
  if (None != nullptr) {
    ScenarioReader::Scope NonePath(Reader, "none");
    if (!cJSON_IsArray(None)) {
      return Reader.Fail("must be a list of event kinds");
    }
    UINTN Index = 0;
    for (const cJSON *Kind = None->child; Kind != nullptr; Kind = Kind->next, Index++) {
      ScenarioReader::Scope KindPath(Reader, Index);
      const CHAR8 *Name = nullptr;
      if (!Reader.ReadString(Kind, &Name)) {
        return false;
      }
    }
  }
  mExpect = Member;
  return true;
}
