// The NVDIMM model written as JSON: the scenario's "nvdimm.model" member and
// the state carried across a reboot have this one form.
//
//   { "modules":    [ {"id", "socket", "capacityMiB", "pcd", "locked", "failingTests"} ],
//     "regions":    [ {"id", "modules", "capacityMiB"} ],
//     "namespaces": [ {"id", "region", "name", "capacityMiB", "mode"} ],
//     "goal":       {"configurationLevel", "memoryMode", "reserved",
//                    "persistentMemoryType", "modules"} }
#include "sim/nvdimm/NvdimmModel.h"

namespace {

const CHAR8 *const mModelMembers[] = {"modules", "regions", "namespaces", "goal"};
const CHAR8 *const mModuleMembers[] = {"id",     "socket",       "capacityMiB", "pcd",
                                       "locked", "failingTests", "diagnosed"};
const CHAR8 *const mDiagnosedMembers[] = {"tests", "failed"};
const CHAR8 *const mRegionMembers[] = {"id", "modules", "capacityMiB"};
const CHAR8 *const mNamespaceMembers[] = {"id", "region", "name", "capacityMiB", "mode"};
const CHAR8 *const mGoalMembers[] = {"configurationLevel", "memoryMode", "reserved",
                                     "persistentMemoryType", "modules"};

template <UINTN Count>
bool CheckObject(const cJSON *Value, const CHAR8 *const (&Names)[Count], const NvdimmJsonPath &Path,
                 NvdimmMessage &Error) {
  return NvdimmJsonCheckObject(Value, Names, Count, Path, Error);
}

/// Reads an array of module ids into a set of module bits; every id must be
/// a module of Model, listed once.
bool ReadModuleSet(const cJSON *Object, const NvdimmModel &Model, const NvdimmJsonPath &Path,
                   UINT32 *Set, NvdimmMessage &Error) {
  const cJSON *Array = nullptr;
  if (!NvdimmJsonReadArray(Object, "modules", NVDIMM_MAX_MODULES, &Array, Path, Error)) {
    return false;
  }
  NvdimmJsonPath ArrayPath = {&Path, "modules", 0};
  *Set = 0;
  UINTN Position = 0;
  for (const cJSON *Item = Array != nullptr ? Array->child : nullptr; Item != nullptr;
       Item = Item->next, Position++) {
    NvdimmJsonPath ItemPath = {&ArrayPath, nullptr, Position};
    UINT64 Id = 0;
    if (!NvdimmJsonUintValue(Item, 0, 0xFFFF, &Id, ItemPath, Error)) {
      return false;
    }
    UINTN Index = Model.FindModule(static_cast<UINT16>(Id));
    if (Index == Model.ModuleCount || (*Set & (1U << Index)) != 0) {
      NvdimmJsonError(Error, ItemPath)
          .Add(Index == Model.ModuleCount ? "no module " : "module listed twice: ")
          .AddHex(Id);
      return false;
    }
    *Set |= 1U << Index;
  }
  return true;
}

/// Reads the array Name of test names (absent: none) into a set of test bits.
bool ReadTestList(const cJSON *Object, const CHAR8 *Name, const NvdimmJsonPath &Path, UINT8 *Set,
                  NvdimmMessage &Error) {
  const cJSON *Tests = nullptr;
  if (!NvdimmJsonReadArray(Object, Name, 5, &Tests, Path, Error)) {
    return false;
  }
  *Set = 0;
  NvdimmJsonPath TestsPath = {&Path, Name, 0};
  UINTN Position = 0;
  for (const cJSON *Item = Tests != nullptr ? Tests->child : nullptr; Item != nullptr;
       Item = Item->next, Position++) {
    UINT8 Test = 0;
    const CHAR8 *Text = cJSON_IsString(Item) ? Item->valuestring : nullptr;
    if (!NvdimmParseTestName(Text, NvdimmStrLen(Text, 16), &Test)) {
      NvdimmJsonError(Error, NvdimmJsonPath{&TestsPath, nullptr, Position})
          .Add("not one of All, Quick, Config, Security, Fw");
      return false;
    }
    *Set |= Test;
  }
  return true;
}

/// A module's "diagnosed" member: {"tests": [...], "failed": [...]}, the
/// failed ones among the tests.
bool ReadDiagnosed(const cJSON *Json, const NvdimmJsonPath &Path, NvdimmModule *Module,
                   NvdimmMessage &Error) {
  const cJSON *Diagnosed = cJSON_GetObjectItemCaseSensitive(Json, "diagnosed");
  if (Diagnosed == nullptr) {
    return true;
  }
  NvdimmJsonPath DiagnosedPath = {&Path, "diagnosed", 0};
  if (!CheckObject(Diagnosed, mDiagnosedMembers, DiagnosedPath, Error) ||
      !ReadTestList(Diagnosed, "tests", DiagnosedPath, &Module->Diagnosed, Error) ||
      !ReadTestList(Diagnosed, "failed", DiagnosedPath, &Module->DiagnosedFailed, Error)) {
    return false;
  }
  if (Module->Diagnosed == 0 || (Module->DiagnosedFailed & ~Module->Diagnosed) != 0) {
    NvdimmJsonError(Error, DiagnosedPath).Add("failed tests must be among the tests run");
    return false;
  }
  return true;
}

bool ReadModule(const cJSON *Json, NvdimmModel &Model, const NvdimmJsonPath &Path,
                NvdimmMessage &Error) {
  if (!CheckObject(Json, mModuleMembers, Path, Error)) {
    return false;
  }
  UINT64 Id = 0;
  UINT64 Socket = 0;
  UINT64 CapacityMiB = NVDIMM_DEFAULT_MODULE_MIB;
  bool HasPcd = true;
  bool Locked = false;
  UINT8 Failing = 0;
  if (!NvdimmJsonReadUint(Json, "id", 0, 0xFFFF, true, &Id, Path, Error) ||
      !NvdimmJsonReadUint(Json, "socket", 0, 0xFF, false, &Socket, Path, Error) ||
      !NvdimmJsonReadUint(Json, "capacityMiB", 1, NVDIMM_MAX_MODULE_MIB, false, &CapacityMiB, Path,
                          Error) ||
      !NvdimmJsonReadBool(Json, "pcd", &HasPcd, Path, Error) ||
      !NvdimmJsonReadBool(Json, "locked", &Locked, Path, Error) ||
      !ReadTestList(Json, "failingTests", Path, &Failing, Error)) {
    return false;
  }
  if (Model.FindModule(static_cast<UINT16>(Id)) != Model.ModuleCount) {
    NvdimmJsonError(Error, NvdimmJsonPath{&Path, "id", 0}).Add("duplicate id ").AddHex(Id);
    return false;
  }
  NvdimmModule Module = {static_cast<UINT16>(Id),
                         static_cast<UINT8>(Socket),
                         HasPcd,
                         Locked,
                         false,
                         Failing,
                         CapacityMiB};
  if (!ReadDiagnosed(Json, Path, &Module, Error)) {
    return false;
  }
  Model.Modules[Model.ModuleCount++] = Module;
  return true;
}

bool ReadRegion(const cJSON *Json, NvdimmModel &Model, const NvdimmJsonPath &Path,
                NvdimmMessage &Error) {
  UINT64 Id = 0;
  UINT64 CapacityMiB = 0;
  UINT32 Set = 0;
  if (!CheckObject(Json, mRegionMembers, Path, Error) ||
      !NvdimmJsonReadUint(Json, "id", 0, NVDIMM_MAX_REGION_ID, true, &Id, Path, Error) ||
      !ReadModuleSet(Json, Model, Path, &Set, Error)) {
    return false;
  }
  NvdimmJsonPath ModulesPath = {&Path, "modules", 0};
  if (Model.FindRegion(static_cast<UINT32>(Id)) != nullptr) {
    NvdimmJsonError(Error, NvdimmJsonPath{&Path, "id", 0}).Add("duplicate id ").AddDecimal(Id);
    return false;
  }
  if (Set == 0) {
    NvdimmJsonError(Error, ModulesPath).Add("missing or empty");
    return false;
  }
  UINT64 ModulesMiB = 0;
  for (UINTN Index = 0; Index < Model.ModuleCount; Index++) {
    if ((Set & (1U << Index)) == 0) {
      continue;
    }
    const NvdimmModule &Module = Model.Modules[Index];
    for (UINTN Region = 0; Region < Model.RegionCount; Region++) {
      if ((Model.Regions[Region].Modules & (1U << Index)) != 0) {
        NvdimmJsonError(Error, ModulesPath).Add("module ").AddHex(Module.Id);
        Error.Add(" is already in region ").AddDecimal(Model.Regions[Region].Id);
        return false;
      }
    }
    if (!Module.HasPcd) {
      NvdimmJsonError(Error, ModulesPath).Add("module ").AddHex(Module.Id).Add(" has no pcd");
      return false;
    }
    ModulesMiB += Module.CapacityMiB;
  }
  if (!NvdimmJsonReadUint(Json, "capacityMiB", 1, ModulesMiB, true, &CapacityMiB, Path, Error)) {
    return false;
  }
  Model.Regions[Model.RegionCount++] = {static_cast<UINT32>(Id), Set, CapacityMiB};
  return true;
}

bool ReadNamespace(const cJSON *Json, NvdimmModel &Model, const NvdimmJsonPath &Path,
                   NvdimmMessage &Error) {
  UINT64 Id = 0;
  UINT64 RegionId = 0;
  UINT64 CapacityMiB = 0;
  const CHAR8 *Name = "";
  const CHAR8 *ModeName = "fsdax";
  NvdimmMode Mode;
  if (!CheckObject(Json, mNamespaceMembers, Path, Error) ||
      !NvdimmJsonReadUint(Json, "id", 0, 0xFFFF, true, &Id, Path, Error) ||
      !NvdimmJsonReadUint(Json, "region", 0, NVDIMM_MAX_REGION_ID, true, &RegionId, Path, Error) ||
      !NvdimmJsonReadString(Json, "name", NVDIMM_NAME_SIZE - 1, false, &Name, Path, Error) ||
      !NvdimmJsonReadString(Json, "mode", 16, false, &ModeName, Path, Error)) {
    return false;
  }
  if (Model.FindNamespace(static_cast<UINT16>(Id)) != nullptr) {
    NvdimmJsonError(Error, NvdimmJsonPath{&Path, "id", 0}).Add("duplicate id ").AddDecimal(Id);
    return false;
  }
  const NvdimmRegion *Region = Model.FindRegion(static_cast<UINT32>(RegionId));
  if (Region == nullptr) {
    NvdimmJsonError(Error, NvdimmJsonPath{&Path, "region", 0})
        .Add("no region ")
        .AddDecimal(RegionId);
    return false;
  }
  if (!NvdimmParseMode(ModeName, &Mode)) {
    NvdimmJsonError(Error, NvdimmJsonPath{&Path, "mode", 0})
        .Add("not raw, sector, fsdax or devdax");
    return false;
  }
  UINT64 FreeMiB = Model.RegionFreeMiB(*Region);
  if (!NvdimmJsonReadUint(Json, "capacityMiB", 1, FreeMiB, true, &CapacityMiB, Path, Error)) {
    return false;
  }
  NvdimmNamespace &Created = Model.Namespaces[Model.NamespaceCount++];
  Created.Id = static_cast<UINT16>(Id);
  Created.Mode = Mode;
  Created.RegionId = static_cast<UINT32>(RegionId);
  Created.CapacityMiB = CapacityMiB;
  NvdimmStrCopy(Created.Name, NVDIMM_NAME_SIZE, Name);
  return true;
}

bool ReadGoal(const cJSON *Json, NvdimmModel &Model, const NvdimmJsonPath &Path,
              NvdimmMessage &Error) {
  const CHAR8 *Level = nullptr;
  const CHAR8 *Type = nullptr;
  UINT64 MemoryMode = 0;
  UINT64 Reserved = 0;
  UINT32 Set = 0;
  if (!CheckObject(Json, mGoalMembers, Path, Error) ||
      !NvdimmJsonReadString(Json, "configurationLevel", 64, true, &Level, Path, Error) ||
      !NvdimmJsonReadUint(Json, "memoryMode", 0, 100, false, &MemoryMode, Path, Error) ||
      !NvdimmJsonReadUint(Json, "reserved", 0, 100, false, &Reserved, Path, Error) ||
      !NvdimmJsonReadString(Json, "persistentMemoryType", 64, true, &Type, Path, Error) ||
      !ReadModuleSet(Json, Model, Path, &Set, Error)) {
    return false;
  }
  CHAR8 Reason[NVDIMM_NAME_SIZE];
  NvdimmMessage ReasonText(Reason, sizeof(Reason));
  if (NvdimmParseGoal(Level, static_cast<UINT32>(MemoryMode), static_cast<UINT32>(Reserved), Type,
                      &Model.Goal, ReasonText) != EFI_SUCCESS) {
    NvdimmJsonError(Error, Path).Add(Reason);
    return false;
  }
  // Without a list the goal waits on every module, as CreateGoal leaves it.
  if (cJSON_GetObjectItem(Json, "modules") == nullptr) {
    Set = (1U << Model.ModuleCount) - 1;
  }
  for (UINTN Index = 0; Index < Model.ModuleCount; Index++) {
    Model.Modules[Index].GoalPending = (Set & (1U << Index)) != 0;
  }
  return true;
}

using ReadEntry = bool (*)(const cJSON *, NvdimmModel &, const NvdimmJsonPath &, NvdimmMessage &);

bool ReadList(const cJSON *Json, const CHAR8 *Name, UINTN MaxCount, ReadEntry Read,
              NvdimmModel &Model, const NvdimmJsonPath &Path, NvdimmMessage &Error) {
  const cJSON *Array = nullptr;
  if (!NvdimmJsonReadArray(Json, Name, MaxCount, &Array, Path, Error)) {
    return false;
  }
  NvdimmJsonPath ArrayPath = {&Path, Name, 0};
  UINTN Position = 0;
  for (const cJSON *Item = Array != nullptr ? Array->child : nullptr; Item != nullptr;
       Item = Item->next, Position++) {
    if (!Read(Item, Model, NvdimmJsonPath{&ArrayPath, nullptr, Position}, Error)) {
      return false;
    }
  }
  return true;
}

bool AddNumber(cJSON *Object, const CHAR8 *Name, UINT64 Value) {
  return cJSON_AddNumberToObject(Object, Name, static_cast<double>(Value)) != nullptr;
}

/// Adds an empty array member; null on allocation failure.
cJSON *AddArray(cJSON *Object, const CHAR8 *Name) { return cJSON_AddArrayToObject(Object, Name); }

bool AddModuleIds(cJSON *Object, const NvdimmModel &Model, UINT32 Set) {
  cJSON *Ids = AddArray(Object, "modules");
  bool Added = Ids != nullptr;
  for (UINTN Index = 0; Added && Index < Model.ModuleCount; Index++) {
    if ((Set & (1U << Index)) != 0) {
      cJSON *Id = cJSON_CreateNumber(Model.Modules[Index].Id);
      Added = Id != nullptr && cJSON_AddItemToArray(Ids, Id);
    }
  }
  return Added;
}

/// Adds the array Name with the names of the tests in Set.
bool AddTestList(cJSON *Object, const CHAR8 *Name, UINT8 Set) {
  cJSON *Tests = AddArray(Object, Name);
  bool Added = Tests != nullptr;
  for (UINT8 Test = NVDIMM_TEST_QUICK; Added && Test <= NVDIMM_TEST_FW;
       Test = static_cast<UINT8>(Test << 1)) {
    if ((Set & Test) != 0) {
      cJSON *Text = cJSON_CreateString(NvdimmTestName(Test));
      Added = Text != nullptr && cJSON_AddItemToArray(Tests, Text);
    }
  }
  return Added;
}

bool AddModuleJson(cJSON *Array, const NvdimmModule &Module) {
  cJSON *Json = cJSON_CreateObject();
  if (Json == nullptr || !cJSON_AddItemToArray(Array, Json)) {
    cJSON_Delete(Json);
    return false;
  }
  bool Added = AddNumber(Json, "id", Module.Id) && AddNumber(Json, "socket", Module.Socket) &&
               AddNumber(Json, "capacityMiB", Module.CapacityMiB) &&
               cJSON_AddBoolToObject(Json, "pcd", Module.HasPcd) != nullptr &&
               cJSON_AddBoolToObject(Json, "locked", Module.Locked) != nullptr &&
               AddTestList(Json, "failingTests", Module.FailingTests);
  if (Added && Module.Diagnosed != 0) {
    cJSON *Diagnosed = cJSON_AddObjectToObject(Json, "diagnosed");
    Added = Diagnosed != nullptr && AddTestList(Diagnosed, "tests", Module.Diagnosed) &&
            AddTestList(Diagnosed, "failed", Module.DiagnosedFailed);
  }
  return Added;
}

bool AddRegionJson(cJSON *Array, const NvdimmModel &Model, const NvdimmRegion &Region) {
  cJSON *Json = cJSON_CreateObject();
  if (Json == nullptr || !cJSON_AddItemToArray(Array, Json)) {
    cJSON_Delete(Json);
    return false;
  }
  return AddNumber(Json, "id", Region.Id) && AddModuleIds(Json, Model, Region.Modules) &&
         AddNumber(Json, "capacityMiB", Region.CapacityMiB);
}

bool AddNamespaceJson(cJSON *Array, const NvdimmNamespace &Namespace) {
  cJSON *Json = cJSON_CreateObject();
  if (Json == nullptr || !cJSON_AddItemToArray(Array, Json)) {
    cJSON_Delete(Json);
    return false;
  }
  return AddNumber(Json, "id", Namespace.Id) && AddNumber(Json, "region", Namespace.RegionId) &&
         cJSON_AddStringToObject(Json, "name", Namespace.Name) != nullptr &&
         AddNumber(Json, "capacityMiB", Namespace.CapacityMiB) &&
         cJSON_AddStringToObject(Json, "mode", NvdimmModeName(Namespace.Mode)) != nullptr;
}

bool AddGoalJson(cJSON *Object, const NvdimmModel &Model) {
  UINT32 Set = 0;
  for (UINTN Index = 0; Index < Model.ModuleCount; Index++) {
    Set |= Model.Modules[Index].GoalPending ? 1U << Index : 0;
  }
  cJSON *Json = cJSON_AddObjectToObject(Object, "goal");
  return Json != nullptr &&
         cJSON_AddStringToObject(Json, "configurationLevel",
                                 NvdimmGoalLevelName(Model.Goal.Level)) != nullptr &&
         AddNumber(Json, "memoryMode", Model.Goal.MemoryMode) &&
         AddNumber(Json, "reserved", Model.Goal.Reserved) &&
         cJSON_AddStringToObject(Json, "persistentMemoryType",
                                 NvdimmMemoryTypeName(Model.Goal.Type)) != nullptr &&
         AddModuleIds(Json, Model, Set);
}

}  // namespace

bool NvdimmModel::FromJson(const cJSON *Json, const NvdimmJsonPath &Path, NvdimmMessage &Error) {
  Clear();
  // Regions refer to modules and namespaces to regions, so the lists are
  // read in that order whatever the order of the members.
  return CheckObject(Json, mModelMembers, Path, Error) &&
         ReadList(Json, "modules", NVDIMM_MAX_MODULES, ReadModule, *this, Path, Error) &&
         ReadList(Json, "regions", NVDIMM_MAX_REGIONS, ReadRegion, *this, Path, Error) &&
         ReadList(Json, "namespaces", NVDIMM_MAX_NAMESPACES, ReadNamespace, *this, Path, Error) &&
         (cJSON_GetObjectItem(Json, "goal") == nullptr ||
          cJSON_IsNull(cJSON_GetObjectItem(Json, "goal")) ||
          ReadGoal(cJSON_GetObjectItem(Json, "goal"), *this, NvdimmJsonPath{&Path, "goal", 0},
                   Error));
}

cJSON *NvdimmModel::ToJson() const {
  cJSON *Json = cJSON_CreateObject();
  cJSON *ModuleList = AddArray(Json, "modules");
  cJSON *RegionList = AddArray(Json, "regions");
  cJSON *NamespaceList = AddArray(Json, "namespaces");
  bool Built =
      Json != nullptr && ModuleList != nullptr && RegionList != nullptr && NamespaceList != nullptr;
  for (UINTN Index = 0; Built && Index < ModuleCount; Index++) {
    Built = AddModuleJson(ModuleList, Modules[Index]);
  }
  for (UINTN Index = 0; Built && Index < RegionCount; Index++) {
    Built = AddRegionJson(RegionList, *this, Regions[Index]);
  }
  for (UINTN Index = 0; Built && Index < NamespaceCount; Index++) {
    Built = AddNamespaceJson(NamespaceList, Namespaces[Index]);
  }
  if (Built && GoalPending()) {
    Built = AddGoalJson(Json, *this);
  }
  if (!Built) {
    cJSON_Delete(Json);
    return nullptr;
  }
  return Json;
}
