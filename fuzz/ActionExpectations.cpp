#include "fuzz/ActionExpectations.h"

#include <cJSON.h>

#include "actions/JsonNumber.h"
#include "fuzz/FuzzReports.h"
#include "fuzz/Reference.h"

namespace {

constexpr const char *ACTIONS = "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.";
constexpr uint64_t ALL_ONES = ~0ULL;

/// A string member by the reading rules: found without regard to case, the
/// first match, present only as a JSON string.
bool StringOf(const cJSON *Document, const char *Name, std::string *Value) {
  const cJSON *Item = cJSON_GetObjectItem(Document, Name);
  if (!cJSON_IsString(Item)) {
    return false;
  }
  *Value = Item->valuestring;
  return true;
}

/// A number member's integer value, or Absent. The number rule itself has
/// its own target (JsonNumberFuzzer); here it is taken as given.
uint64_t IntegerOf(const std::string &Body, const cJSON *Document, const char *Name,
                   uint64_t Absent) {
  UINT64 Value = 0;
  return JsonIntegerValue(Body.c_str(), Document, cJSON_GetObjectItem(Document, Name), &Value)
             ? Value
             : Absent;
}

std::string ParseFailureText(FuzzAction Action, const std::string &Position) {
  switch (Action) {
    case FuzzAction::CreateGoal:
      return FuzzCut("(UEFI UPDATE - CG): Error to parse Json file - " + Position + "\r\n", 150);
    case FuzzAction::CreateNamespace:
      return FuzzCut("(UEFI UPDATE - CN): Error to parse Json file - " + Position + "\r\n", 150);
    case FuzzAction::DeleteNamespace:
      return FuzzCut("(UEFI UPDATE - DN): Error to parse Json file - " + Position + "\r\n", 150);
    case FuzzAction::DeletePlatformConfigurationData:
      return FuzzCut("(UEFI UPDATE - DPCD): Error to parse Json file : " + Position, 150);
    default:
      return FuzzCut("(UEFI UPDATE - RD)Error to parse Json file : " + Position, 80);
  }
}

void ExpectCreateGoal(const std::string &Body, const cJSON *Document, FuzzExpectation &Expect) {
  std::string Level;
  std::string Type;
  bool HasLevel = StringOf(Document, "ConfigurationLevel", &Level);
  auto Reserved = static_cast<uint32_t>(IntegerOf(Body, Document, "Reserved", 0xFFFFFFFF));
  auto MemoryMode = static_cast<uint32_t>(IntegerOf(Body, Document, "MemoryMode", 0xFFFFFFFF));
  bool HasType = StringOf(Document, "PersistentMemoryType", &Type);
  if (!HasLevel || Reserved == 0xFFFFFFFF || MemoryMode == 0xFFFFFFFF || !HasType) {
    Expect.FixedReport = "(UEFI UPDATE - CG): Invalid Parameters for CreateGoal";
    return;
  }
  Expect.Op = "CreateGoal";
  Expect.Args = {{"ConfigurationLevel", Level},
                 {"MemoryMode", std::to_string(MemoryMode)},
                 {"Reserved", std::to_string(Reserved)},
                 {"PersistentMemoryType", Type}};
  Expect.SuccessState = "Inprogress";
  Expect.SuccessText = "(UEFI UPDATE): CreateGoal Configuration applied and Reset";
  Expect.FailurePrefix = "(UEFI UPDATE-CG):";
}

void ExpectCreateNamespace(const std::string &Body, const cJSON *Document,
                           FuzzExpectation &Expect) {
  std::string RegionText;
  std::string Name;
  std::string Mode;
  RefNumber Region;
  bool HasRegion = StringOf(Document, "RegionId", &RegionText);
  if (HasRegion) {
    Region = RefHex(RegionText);
    // A region is named only by digits, and never by a value cut to 32 bits.
    HasRegion = Region.HasDigits && Region.Value < 0xFFFFFFFF;
  }
  bool HasName = StringOf(Document, "Name", &Name);
  bool HasMode = StringOf(Document, "Mode", &Mode);
  uint64_t Capacity = IntegerOf(Body, Document, "CapacityMiB", ALL_ONES);
  if (!HasRegion || !HasName || !HasMode || Capacity == ALL_ONES) {
    Expect.FixedReport = "(UEFI UPDATE - CN): Invalid Parameters for CreateNamespace";
    return;
  }
  Expect.Op = "CreateNamespace";
  Expect.Args = {{"RegionId", std::to_string(Region.Value)},
                 {"Name", Name},
                 {"CapacityMiB", std::to_string(Capacity)},
                 {"Mode", Mode}};
  Expect.SuccessText = "(UEFI UPDATE): CreateNamespace performed Successfully";
  Expect.FailurePrefix = "(UEFI UPDATE - CN):";
}

void ExpectDeleteNamespace(const cJSON *Document, FuzzExpectation &Expect) {
  std::string Id;
  RefNumber Value;
  bool Valid = StringOf(Document, "Id", &Id);
  if (Valid) {
    Value = RefDecimal(Id);
    // A namespace is named only by digits, and never by a value cut to 16 bits.
    Valid = Value.HasDigits && Value.Value <= 0xFFFF;
  }
  if (!Valid) {
    Expect.FixedReport = "(UEFI UPDATE - DN): Invalid Parameters for DeleteNameSpace";
    return;
  }
  Expect.Op = "DeleteNamespace";
  Expect.Args = {{"NamespaceId", std::to_string(Value.Value)}};
  Expect.SuccessText = "(UEFI UPDATE): DeleteNamespace performed Successfully";
  Expect.FailurePrefix = "(UEFI UPDATE - DN): ";
}

void ExpectDeleteOneModule(const cJSON *Document, FuzzExpectation &Expect) {
  std::string Id;
  RefNumber Value;
  bool Valid = StringOf(Document, "DimmPhysicalId", &Id);
  if (Valid) {
    Value = RefHex(Id);
    Valid = Value.HasDigits && Value.Value <= 0xFFFF;
  }
  if (!Valid) {
    Expect.FixedReport = "(UEFI UPDATE - DPCD): Invalid Parameters for DeletePlatformConfiguration";
    return;
  }
  Expect.Op = "DeletePlatformConfigurationData";
  Expect.Args = {{"AllDimms", "false"}, {"DimmId", std::to_string(Value.Value)}};
  Expect.SuccessText = "(UEFI UPDATE): DeletePlatformConfigurationData performed Successfully";
  Expect.FailurePrefix = "(UEFI UPDATE - DPCD): ";
}

void ExpectRunDiagnostics(const cJSON *Document, const FuzzOutcome &Outcome,
                          FuzzExpectation &Expect) {
  std::string Tests;
  if (cJSON_IsTrue(cJSON_GetObjectItem(Document, "ExecuteAll"))) {
    Tests = "All";
  } else {
    const char *const Switches[][2] = {{"QuickTest", "Quick"},
                                       {"ConfigTest", "Config"},
                                       {"SecurityTest", "Security"},
                                       {"FwTest", "Fw"}};
    for (const auto &Switch : Switches) {
      if (cJSON_IsTrue(cJSON_GetObjectItem(Document, Switch[0]))) {
        Tests += (Tests.empty() ? "" : ",") + std::string(Switch[1]);
      }
    }
  }
  uint64_t DimmId = 0x00FF;
  std::string Id;
  if (!Outcome.SystemUri && StringOf(Document, "DimmPhysicalId", &Id)) {
    DimmId = RefHex(Id).Value & 0xFFFF;
  }
  Expect.Op = "RunDiagnostics";
  Expect.Args = {{"AllDimms", DimmId == 0x00FF ? "true" : "false"},
                 {"DimmId", std::to_string(DimmId)},
                 {"Tests", Tests}};
  // Both outcomes carry the component's own result message.
  Expect.FixedOutcomeText = true;
  Expect.AnyText = !Outcome.Forced;
  Expect.SuccessText = Outcome.HasMessage
                           ? FuzzCString(Outcome.Message)
                           : "(UEFI UPDATE - RD): RunDiagnostics returned no result message";
}

}  // namespace

std::string FuzzActionUri(FuzzAction Action, const FuzzOutcome &Outcome) {
  switch (Action) {
    case FuzzAction::CreateGoal:
      return std::string(ACTIONS) + "CreateGoal";
    case FuzzAction::CreateNamespace:
      return std::string(ACTIONS) + "CreateNamespace";
    case FuzzAction::DeleteNamespace:
      return std::string(ACTIONS) + "DeleteNamespace";
    case FuzzAction::DeletePlatformConfigurationData:
      return std::string(ACTIONS) + "DeletePlatformConfigurationData" +
             (Outcome.SystemUri ? "" : "/Dimm");
    default:
      return std::string(ACTIONS) + "RunDiagnostics" + (Outcome.SystemUri ? "" : "/Dimm");
  }
}

std::string FuzzForcedErrorText(const FuzzOutcome &Outcome) {
  return Outcome.HasMessage ? FuzzCString(Outcome.Message).substr(0, 79) : std::string();
}

FuzzExpectation FuzzExpect(FuzzAction Action, const std::string &Body, const FuzzOutcome &Outcome) {
  FuzzExpectation Expect;
  if (Action == FuzzAction::DeletePlatformConfigurationData && Outcome.SystemUri) {
    std::vector<RefDimmResult> Results;
    for (const auto &Entry : Outcome.PcdResults) {
      Results.push_back({Entry.first, FuzzCString(Entry.second).substr(0, 79)});
    }
    Expect.Fetches = false;
    Expect.Op = "DeletePlatformConfigurationData";
    Expect.Args = {{"AllDimms", "true"}, {"DimmId", "null"}};
    Expect.FixedOutcomeText = true;
    Expect.SuccessText = FuzzCut("(UEFI UPDATE - DPCD): " + RefDimmResults(Results), 500);
    return Expect;
  }
  if (Body.empty()) {
    Expect.Silent = true;
    return Expect;
  }
  bool Parses = false;
  std::string Position = FuzzParseErrorText(Body, &Parses);
  if (!Parses) {
    Expect.FixedReport = ParseFailureText(Action, Position);
    return Expect;
  }
  cJSON *Document = cJSON_Parse(Body.c_str());
  switch (Action) {
    case FuzzAction::CreateGoal:
      ExpectCreateGoal(Body, Document, Expect);
      break;
    case FuzzAction::CreateNamespace:
      ExpectCreateNamespace(Body, Document, Expect);
      break;
    case FuzzAction::DeleteNamespace:
      ExpectDeleteNamespace(Document, Expect);
      break;
    case FuzzAction::DeletePlatformConfigurationData:
      ExpectDeleteOneModule(Document, Expect);
      break;
    default:
      ExpectRunDiagnostics(Document, Outcome, Expect);
      break;
  }
  cJSON_Delete(Document);
  return Expect;
}
