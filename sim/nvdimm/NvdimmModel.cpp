#include "sim/nvdimm/NvdimmModel.h"

namespace {

const CHAR8 *const mModeNames[] = {"raw", "sector", "fsdax", "devdax"};
const CHAR8 *const mLevelNames[] = {"Platform", "Socket"};
const CHAR8 *const mTypeNames[] = {"AppDirect", "AppDirectNotInterleaved"};

template <typename T, UINTN Count>
bool ParseName(const CHAR8 *Name, const CHAR8 *const (&Names)[Count], T *Value) {
  for (UINTN Index = 0; Index < Count; Index++) {
    if (NvdimmStrEqualNoCase(Name, Names[Index])) {
      *Value = static_cast<T>(Index);
      return true;
    }
  }
  return false;
}

/// Persistent capacity left on a module by a goal, rounded down to whole
/// GiB as regions are aligned.
UINT64 PersistentMiB(const NvdimmModule &Module, const NvdimmGoal &Goal) {
  UINT64 Percent = 100 - Goal.MemoryMode - Goal.Reserved;
  return Module.CapacityMiB * Percent / 100 / 1024 * 1024;
}

}  // namespace

const CHAR8 *NvdimmModeName(NvdimmMode Mode) { return mModeNames[static_cast<UINTN>(Mode)]; }

const CHAR8 *NvdimmGoalLevelName(NvdimmGoalLevel Level) {
  return mLevelNames[static_cast<UINTN>(Level)];
}

const CHAR8 *NvdimmMemoryTypeName(NvdimmMemoryType Type) {
  return mTypeNames[static_cast<UINTN>(Type)];
}

bool NvdimmParseMode(const CHAR8 *Name, NvdimmMode *Mode) {
  return ParseName(Name, mModeNames, Mode);
}

EFI_STATUS NvdimmParseGoal(const CHAR8 *Level, UINT32 MemoryMode, UINT32 Reserved,
                           const CHAR8 *Type, NvdimmGoal *Goal, NvdimmMessage &Error) {
  if (Level == nullptr) {
    Error.Add("Configuration level missing");
    return EFI_INVALID_PARAMETER;
  }
  if (Type == nullptr) {
    Error.Add("Persistent memory type missing");
    return EFI_INVALID_PARAMETER;
  }
  if (!ParseName(Level, mLevelNames, &Goal->Level)) {
    Error.Add("Unknown configuration level ").AddQuoted(Level);
    return EFI_INVALID_PARAMETER;
  }
  if (!ParseName(Type, mTypeNames, &Goal->Type)) {
    Error.Add("Unknown persistent memory type ").AddQuoted(Type);
    return EFI_INVALID_PARAMETER;
  }
  if (MemoryMode > 100 || Reserved > 100) {
    Error.Add(MemoryMode > 100 ? "MemoryMode " : "Reserved ")
        .AddDecimal(MemoryMode > 100 ? MemoryMode : Reserved)
        .Add("% is over 100%");
    return EFI_INVALID_PARAMETER;
  }
  if (MemoryMode + Reserved > 100) {
    Error.Add("MemoryMode ").AddDecimal(MemoryMode).Add("% and Reserved ").AddDecimal(Reserved);
    Error.Add("% exceed 100%");
    return EFI_INVALID_PARAMETER;
  }
  Goal->MemoryMode = MemoryMode;
  Goal->Reserved = Reserved;
  return EFI_SUCCESS;
}

void NvdimmModel::Clear() {
  ModuleCount = 0;
  RegionCount = 0;
  NamespaceCount = 0;
  Goal = {NvdimmGoalLevel::Platform, NvdimmMemoryType::AppDirect, 0, 0};
}

void NvdimmModel::SetDefault() {
  Clear();
  ModuleCount = 2;
  Modules[0] = {0x0001, 0, true, false, false, 0, NVDIMM_DEFAULT_MODULE_MIB};
  Modules[1] = {0x0011, 0, true, false, false, 0, NVDIMM_DEFAULT_MODULE_MIB};
  RegionCount = 1;
  Regions[0] = {1, 0x3, 2 * NVDIMM_DEFAULT_MODULE_MIB};
  NamespaceCount = 1;
  Namespaces[0].Id = 1;
  Namespaces[0].Mode = NvdimmMode::Fsdax;
  Namespaces[0].RegionId = 1;
  Namespaces[0].CapacityMiB = 16384;
  NvdimmStrCopy(Namespaces[0].Name, NVDIMM_NAME_SIZE, "namespace0");
}

UINTN NvdimmModel::FindModule(UINT16 Id) const {
  UINTN Index = 0;
  while (Index < ModuleCount && Modules[Index].Id != Id) {
    Index++;
  }
  return Index;
}

const NvdimmRegion *NvdimmModel::FindRegion(UINT32 Id) const {
  for (UINTN Index = 0; Index < RegionCount; Index++) {
    if (Regions[Index].Id == Id) {
      return &Regions[Index];
    }
  }
  return nullptr;
}

const NvdimmNamespace *NvdimmModel::FindNamespace(UINT16 Id) const {
  for (UINTN Index = 0; Index < NamespaceCount; Index++) {
    if (Namespaces[Index].Id == Id) {
      return &Namespaces[Index];
    }
  }
  return nullptr;
}

UINT64 NvdimmModel::RegionFreeMiB(const NvdimmRegion &Region) const {
  UINT64 Used = 0;
  for (UINTN Index = 0; Index < NamespaceCount; Index++) {
    if (Namespaces[Index].RegionId == Region.Id) {
      Used += Namespaces[Index].CapacityMiB;
    }
  }
  return Used >= Region.CapacityMiB ? 0 : Region.CapacityMiB - Used;
}

bool NvdimmModel::GoalPending() const {
  for (UINTN Index = 0; Index < ModuleCount; Index++) {
    if (Modules[Index].GoalPending) {
      return true;
    }
  }
  return false;
}

EFI_STATUS NvdimmModel::CreateGoal(const NvdimmGoal &NewGoal, NvdimmMessage &Error) {
  if (ModuleCount == 0) {
    Error.Add("No DIMMs to configure");
    return EFI_NOT_FOUND;
  }
  for (UINTN Index = 0; Index < ModuleCount; Index++) {
    if (Modules[Index].Locked) {
      Error.Add("DIMM ").AddHex(Modules[Index].Id).Add(" is locked; goal refused");
      return EFI_ACCESS_DENIED;
    }
  }
  Goal = NewGoal;
  for (UINTN Index = 0; Index < ModuleCount; Index++) {
    Modules[Index].GoalPending = true;
  }
  return EFI_SUCCESS;
}

void NvdimmModel::ApplyGoal() {
  UINT32 GoalModules = 0;
  for (UINTN Index = 0; Index < ModuleCount; Index++) {
    if (Modules[Index].GoalPending) {
      GoalModules |= 1U << Index;
    }
  }
  if (GoalModules == 0) {
    return;
  }
  // A region that spans a reconfigured module cannot survive, even where it
  // also spans modules outside the goal.
  for (UINTN Index = RegionCount; Index > 0; Index--) {
    if ((Regions[Index - 1].Modules & GoalModules) != 0) {
      RemoveRegion(Index - 1);
    }
  }
  // Group the modules into interleave sets: one per module, per socket, or
  // one for the platform.
  UINT32 Remaining = GoalModules;
  for (UINTN First = 0; First < ModuleCount; First++) {
    if ((Remaining & (1U << First)) == 0) {
      continue;
    }
    UINT32 Set = 0;
    UINT64 CapacityMiB = 0;
    for (UINTN Index = First; Index < ModuleCount; Index++) {
      bool Joins = Index == First || (Goal.Type == NvdimmMemoryType::AppDirect &&
                                      (Goal.Level == NvdimmGoalLevel::Platform ||
                                       Modules[Index].Socket == Modules[First].Socket));
      if ((Remaining & (1U << Index)) != 0 && Joins) {
        Set |= 1U << Index;
        CapacityMiB += PersistentMiB(Modules[Index], Goal);
      }
    }
    Remaining &= ~Set;
    if (CapacityMiB > 0) {
      AddRegion(Set, CapacityMiB);
    }
  }
  for (UINTN Index = 0; Index < ModuleCount; Index++) {
    if (Modules[Index].GoalPending) {
      Modules[Index].GoalPending = false;
      Modules[Index].HasPcd = true;
    }
  }
}

EFI_STATUS NvdimmModel::CreateNamespace(UINT32 RegionId, const CHAR8 *Name, UINT64 CapacityMiB,
                                        const CHAR8 *Mode, UINT16 *Id, NvdimmMessage &Error) {
  if (Name == nullptr || Mode == nullptr) {
    Error.Add(Name == nullptr ? "Namespace name missing" : "Namespace mode missing");
    return EFI_INVALID_PARAMETER;
  }
  const NvdimmRegion *Region = FindRegion(RegionId);
  if (Region == nullptr) {
    Error.Add("Region ").AddHex(RegionId).Add(" not found");
    return EFI_NOT_FOUND;
  }
  NvdimmMode NewMode;
  if (!NvdimmParseMode(Mode, &NewMode)) {
    Error.Add("Unknown namespace mode ").AddQuoted(Mode);
    return EFI_INVALID_PARAMETER;
  }
  if (NvdimmStrLen(Name, NVDIMM_NAME_SIZE) >= NVDIMM_NAME_SIZE) {
    Error.Add("Namespace name over ").AddDecimal(NVDIMM_NAME_SIZE - 1).Add(" bytes");
    return EFI_INVALID_PARAMETER;
  }
  if (CapacityMiB == 0) {
    Error.Add("Namespace capacity is 0 MiB");
    return EFI_INVALID_PARAMETER;
  }
  UINT64 FreeMiB = RegionFreeMiB(*Region);
  if (CapacityMiB > FreeMiB) {
    Error.Add("Region ").AddHex(RegionId).Add(" has ").AddDecimal(FreeMiB).Add(" MiB free; ");
    Error.AddDecimal(CapacityMiB).Add(" MiB asked");
    return EFI_OUT_OF_RESOURCES;
  }
  if (NamespaceCount == NVDIMM_MAX_NAMESPACES) {
    Error.Add("No free namespace slot (").AddDecimal(NVDIMM_MAX_NAMESPACES).Add(" in use)");
    return EFI_OUT_OF_RESOURCES;
  }
  // Ids are reused lowest first, as namespace labels are; at most
  // NVDIMM_MAX_NAMESPACES are taken, so one is always free.
  UINT16 NewId = 1;
  while (FindNamespace(NewId) != nullptr) {
    NewId++;
  }
  NvdimmNamespace &Created = Namespaces[NamespaceCount++];
  Created.Id = NewId;
  Created.Mode = NewMode;
  Created.RegionId = RegionId;
  Created.CapacityMiB = CapacityMiB;
  NvdimmStrCopy(Created.Name, NVDIMM_NAME_SIZE, Name);
  *Id = NewId;
  return EFI_SUCCESS;
}

EFI_STATUS NvdimmModel::DeleteNamespace(UINT16 Id, NvdimmMessage &Error) {
  for (UINTN Index = 0; Index < NamespaceCount; Index++) {
    if (Namespaces[Index].Id == Id) {
      for (UINTN Next = Index + 1; Next < NamespaceCount; Next++) {
        Namespaces[Next - 1] = Namespaces[Next];
      }
      NamespaceCount--;
      return EFI_SUCCESS;
    }
  }
  Error.Add("Namespace ").AddDecimal(Id).Add(" does not exist");
  return EFI_NOT_FOUND;
}

EFI_STATUS NvdimmModel::EraseModule(UINTN Index, NvdimmMessage &Error) {
  if (Index >= ModuleCount) {
    Error.Add("DIMM not found");
    return EFI_NOT_FOUND;
  }
  NvdimmModule &Module = Modules[Index];
  if (Module.Locked) {
    Error.Add("DIMM ").AddHex(Module.Id).Add(" is locked; erase refused");
    return EFI_ACCESS_DENIED;
  }
  for (UINTN Region = RegionCount; Region > 0; Region--) {
    if ((Regions[Region - 1].Modules & (1U << Index)) != 0) {
      RemoveRegion(Region - 1);
    }
  }
  Module.HasPcd = false;
  Module.GoalPending = false;
  return EFI_SUCCESS;
}

void NvdimmModel::RemoveRegion(UINTN Index) {
  UINT32 Id = Regions[Index].Id;
  UINTN Kept = 0;
  for (UINTN Namespace = 0; Namespace < NamespaceCount; Namespace++) {
    if (Namespaces[Namespace].RegionId != Id) {
      if (Kept != Namespace) {
        Namespaces[Kept] = Namespaces[Namespace];
      }
      Kept++;
    }
  }
  NamespaceCount = Kept;
  for (UINTN Next = Index + 1; Next < RegionCount; Next++) {
    Regions[Next - 1] = Regions[Next];
  }
  RegionCount--;
}

UINT32 NvdimmModel::UnusedRegionId() const {
  UINT32 Id = 1;
  while (FindRegion(Id) != nullptr) {
    Id++;
  }
  return Id;
}

void NvdimmModel::AddRegion(UINT32 Set, UINT64 CapacityMiB) {
  // A module belongs to one region at most and the new set's modules to
  // none, so the table has room; the check keeps that a local truth.
  if (RegionCount == NVDIMM_MAX_REGIONS) {
    return;
  }
  Regions[RegionCount] = {UnusedRegionId(), Set, CapacityMiB};
  RegionCount++;
}
