// The computer system: its document, the writable boot override, and the
// reset that boots the host.
#include "server/BaseRegistry.h"
#include "server/RedfishStore.h"
#include "server/StoreTypes.h"
#include "server/StoreUris.h"

namespace {

constexpr const char *RESET_TYPES[] = {"On",           "ForceOff",        "GracefulShutdown",
                                       "ForceRestart", "GracefulRestart", "PowerCycle"};

/// The writable boot settings and the values each allows.
struct BOOT_SETTING {
  const char *Name;
  std::vector<const char *> Allowed;
};
const BOOT_SETTING BOOT_SETTINGS[] = {
    {"BootSourceOverrideEnabled", {"Disabled", "Once", "Continuous"}},
    {"BootSourceOverrideTarget", {"None", "Pxe", "Hdd", "BiosSetup", "UefiShell"}},
    {"BootSourceOverrideMode", {"Legacy", "UEFI"}},
};

}  // namespace

std::string RedfishStore::SystemBody() const {
  Json ResetAction = {{"target", URI_RESET}, {"ResetType@Redfish.AllowableValues", Json::array()}};
  for (const char *Type : RESET_TYPES) {
    ResetAction["ResetType@Redfish.AllowableValues"].push_back(Type);
  }
  // The driver carries every action out at the next boot: OnReset is the
  // apply time each one supports.
  Json Oem = Json::object();
  for (const char *Name : ACTION_NAMES) {
    Oem[std::string("#VIZ.") + Name] = {
        {"target", std::string(URI_ACTION_PREFIX) + Name},
        {"@Redfish.OperationApplyTimeSupport", {{"SupportedValues", Json::array({"OnReset"})}}}};
  }
  Json Body = {{"@odata.id", URI_SYSTEM},
               {"@odata.type", TYPE_SYSTEM},
               {"Id", "Self"},
               {"Name", "Emulated host"},
               {"SystemType", "Physical"},
               {"UUID", mUuid},
               {"PowerState", mPoweredOn ? "On" : "Off"},
               {"Status", {{"State", "Enabled"}, {"Health", "OK"}}},
               {"Boot", ParseStored(mBootJson)},
               {"MemorySummary", MemorySummary()},
               {"Memory", Link(URI_MEMORY)},
               {"MemoryDomains", Link(URI_MEMORY_DOMAINS)},
               {"Actions", {{"#ComputerSystem.Reset", ResetAction}, {"Oem", Oem}}},
               {"Oem",
                {{"Velk",
                  {{"@odata.type", "#VelkComputerSystem.v1_0_0.VelkComputerSystem"},
                   {"ActionStatus", Link(URI_ACTION_STATUS)}}}}}};
  return Dump(Body);
}

StoreResponse RedfishStore::ServeSystems(CALL &Call) {
  Json Body = {{"@odata.id", URI_SYSTEMS},
               {"@odata.type", TYPE_SYSTEM_COLLECTION},
               {"Name", "Computer System Collection"},
               {"Members@odata.count", 1},
               {"Members", Json::array({Link(URI_SYSTEM)})}};
  return Generated(Call, Dump(Body));
}

StoreResponse RedfishStore::ServeSystem(CALL &Call) { return Generated(Call, SystemBody()); }

StoreResponse RedfishStore::PatchSystem(CALL &Call) {
  std::string Body = SystemBody();
  if (!Call.Request.IfMatch.empty() && !IfMatchHolds(Call.Request.IfMatch, EntityTag(Body))) {
    return Failure(412, "PreconditionFailed");
  }
  Json Patch;
  StoreResponse Refusal;
  if (!ReadPatch(Call.Request.Body, &Patch, &Refusal)) {
    return Refusal;
  }
  // Only Boot's settings change; everything is checked before anything does.
  Json Boot = ParseStored(mBootJson);
  Json Current = ParseStored(Body);
  for (auto Member = Patch.begin(); Member != Patch.end(); ++Member) {
    if (!Current.contains(Member.key())) {
      return Failure(400, "PropertyUnknown", {Member.key()});
    }
    if (Member.key() != "Boot" || !Member->is_object()) {
      return Failure(400, "PropertyNotWritable", {Member.key()});
    }
    for (auto Setting = Member->begin(); Setting != Member->end(); ++Setting) {
      const BOOT_SETTING *Known = nullptr;
      for (const BOOT_SETTING &Candidate : BOOT_SETTINGS) {
        Known = Setting.key() == Candidate.Name ? &Candidate : Known;
      }
      std::string Name = "Boot/" + Setting.key();
      if (Known == nullptr) {
        return Failure(
            400, Boot.contains(Setting.key()) ? "PropertyNotWritable" : "PropertyUnknown", {Name});
      }
      if (!Setting->is_string()) {
        return Failure(400, "PropertyValueTypeError", {Dump(*Setting), Name});
      }
      bool Allowed = false;
      for (const char *Value : Known->Allowed) {
        Allowed = Allowed || *Setting == Value;
      }
      if (!Allowed) {
        return Failure(400, "PropertyValueNotInList", {Setting->get<std::string>(), Name});
      }
      Boot[Setting.key()] = *Setting;
    }
  }
  mBootJson = Dump(Boot);
  StoreResponse Response = Applied();
  Response.Headers.emplace_back("ETag", EntityTag(SystemBody()));
  return Response;
}

StoreResponse RedfishStore::Reset(CALL &Call) {
  Json Body;
  BODY_READ Read = ReadObjectBody(Call.Request.Body, &Body);
  if (Read != BODY_READ::Object && Read != BODY_READ::Empty) {
    return Failure(400, "MalformedJSON");
  }
  auto Type = Body.find("ResetType");
  if (Type == Body.end()) {
    return Failure(400, "ActionParameterMissing", {"ComputerSystem.Reset", "ResetType"});
  }
  std::string Name = Type->is_string() ? Type->get<std::string>() : Dump(*Type);
  bool Allowed = false;
  for (const char *Known : RESET_TYPES) {
    Allowed = Allowed || Name == Known;
  }
  if (!Allowed) {
    return Failure(400, "ActionParameterValueNotInList",
                   {Name, "ResetType", "ComputerSystem.Reset"});
  }
  if (Name == "ForceOff" || Name == "GracefulShutdown") {
    mPoweredOn = false;
  } else if (Name != "On" || !mPoweredOn) {
    mPoweredOn = true;
    mBootRequests++;
  }
  return Applied();
}
