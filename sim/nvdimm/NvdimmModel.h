// The state behind the simulated NVDIMM component: persistent-memory modules
// with their platform configuration data, the regions built on them, the
// namespaces carved out of the regions, and a goal that waits for the next
// boot. A plain record of fixed size (no allocation), so that it can be
// copied, reset and carried across a reboot as JSON.
#pragma once

#include <cJSON.h>

#include "sim/nvdimm/NvdimmJson.h"
#include "sim/nvdimm/NvdimmText.h"
#include "uefi/UefiBaseType.h"

constexpr UINTN NVDIMM_MAX_MODULES = 16;
constexpr UINTN NVDIMM_MAX_REGIONS = 16;
constexpr UINTN NVDIMM_MAX_NAMESPACES = 32;
/// A namespace name holds at most 63 bytes and its NUL.
constexpr UINTN NVDIMM_NAME_SIZE = 64;
/// Largest module capacity (1 EiB): sums over all modules, times 100 for
/// percentages, stay far inside 64 bits.
constexpr UINT64 NVDIMM_MAX_MODULE_MIB = 1ULL << 40;
/// Default module capacity, 128 GiB.
constexpr UINT64 NVDIMM_DEFAULT_MODULE_MIB = 131072;
/// Region id 0xFFFFFFFF is what a caller passes for "no region".
constexpr UINT64 NVDIMM_MAX_REGION_ID = 0xFFFFFFFE;

/// Diagnostics tests, as bits of a test set.
constexpr UINT8 NVDIMM_TEST_QUICK = 0x1;
constexpr UINT8 NVDIMM_TEST_CONFIG = 0x2;
constexpr UINT8 NVDIMM_TEST_SECURITY = 0x4;
constexpr UINT8 NVDIMM_TEST_FW = 0x8;
constexpr UINT8 NVDIMM_TEST_ALL = 0xF;

enum class NvdimmMode : UINT8 { Raw, Sector, Fsdax, Devdax };
enum class NvdimmGoalLevel : UINT8 { Platform, Socket };
enum class NvdimmMemoryType : UINT8 { AppDirect, AppDirectNotInterleaved };

struct NvdimmModule {
  UINT16 Id;
  UINT8 Socket;
  bool HasPcd;         ///< platform configuration data present
  bool Locked;         ///< security-locked: refuses goals and erases
  bool GoalPending;    ///< the pending goal applies to it at the next boot
  UINT8 FailingTests;  ///< NVDIMM_TEST_* bits that report a failure
  UINT64 CapacityMiB;
  /// The tests its last diagnostics ran (0: never diagnosed), and those of
  /// them that failed.
  UINT8 Diagnosed = 0;
  UINT8 DiagnosedFailed = 0;
};

struct NvdimmRegion {
  UINT32 Id;
  UINT32 Modules;  ///< bit N set: Modules[N] of the model contributes
  UINT64 CapacityMiB;
};

struct NvdimmNamespace {
  UINT16 Id;
  NvdimmMode Mode;
  UINT32 RegionId;
  UINT64 CapacityMiB;
  CHAR8 Name[NVDIMM_NAME_SIZE];
};

/// A memory-allocation goal: MemoryMode and Reserved are percentages of
/// each module's capacity; the rest becomes persistent regions.
struct NvdimmGoal {
  NvdimmGoalLevel Level;
  NvdimmMemoryType Type;
  UINT32 MemoryMode;
  UINT32 Reserved;
};

/// Name of a mode, level, type or test bit as the model writes it.
const CHAR8 *NvdimmModeName(NvdimmMode Mode);
const CHAR8 *NvdimmGoalLevelName(NvdimmGoalLevel Level);
const CHAR8 *NvdimmMemoryTypeName(NvdimmMemoryType Type);
const CHAR8 *NvdimmTestName(UINT8 Test);

/// Parse names, ignoring case; false for an unknown name.
[[nodiscard]] bool NvdimmParseMode(const CHAR8 *Name, NvdimmMode *Mode);
[[nodiscard]] bool NvdimmParseTestName(const CHAR8 *Name, UINTN Length, UINT8 *Test);

/// Checks and reads goal arguments. EFI_SUCCESS, or EFI_INVALID_PARAMETER
/// with the reason in Error.
[[nodiscard]] EFI_STATUS NvdimmParseGoal(const CHAR8 *Level, UINT32 MemoryMode, UINT32 Reserved,
                                         const CHAR8 *Type, NvdimmGoal *Goal, NvdimmMessage &Error);

/// Reads a comma-separated list of test names ("Quick,Fw"; "All" means every
/// test) into a test set. EFI_INVALID_PARAMETER with the reason in Error for
/// an empty list, an empty or unknown name, or a list over 200 bytes.
[[nodiscard]] EFI_STATUS NvdimmParseTests(const CHAR8 *Tests, UINT8 *Set, NvdimmMessage &Error);

struct NvdimmModel {
  UINTN ModuleCount;
  NvdimmModule Modules[NVDIMM_MAX_MODULES];
  UINTN RegionCount;
  NvdimmRegion Regions[NVDIMM_MAX_REGIONS];
  UINTN NamespaceCount;
  NvdimmNamespace Namespaces[NVDIMM_MAX_NAMESPACES];
  NvdimmGoal Goal;  ///< meaningful while a module has GoalPending

  /// Empties the model: no modules, regions, namespaces or goal.
  void Clear();
  /// The power-on platform without a "model" member: modules 0x0001 and
  /// 0x0011 (socket 0, 128 GiB each), region 1 interleaved over both, and
  /// namespace 1 "namespace0" (16 GiB, fsdax) in it.
  void SetDefault();

  /// Index of module Id, or ModuleCount when there is none.
  UINTN FindModule(UINT16 Id) const;
  /// Region Id, or null.
  const NvdimmRegion *FindRegion(UINT32 Id) const;
  /// Namespace Id, or null.
  const NvdimmNamespace *FindNamespace(UINT16 Id) const;
  /// Capacity of the region not yet given to namespaces.
  UINT64 RegionFreeMiB(const NvdimmRegion &Region) const;
  bool GoalPending() const;

  /// Records Goal for every module, to apply at the next boot. Replaces a
  /// goal still pending. EFI_NOT_FOUND without modules, EFI_ACCESS_DENIED
  /// when a module is locked.
  [[nodiscard]] EFI_STATUS CreateGoal(const NvdimmGoal &NewGoal, NvdimmMessage &Error);
  /// Rebuilds the configuration of the modules with a pending goal: their
  /// regions (and those regions' namespaces) go, new regions are made.
  void ApplyGoal();
  /// Carves a namespace out of a region; *Id receives its id.
  /// EFI_NOT_FOUND (region), EFI_INVALID_PARAMETER (capacity 0, mode, name),
  /// EFI_OUT_OF_RESOURCES (region too small, no namespace slot).
  [[nodiscard]] EFI_STATUS CreateNamespace(UINT32 RegionId, const CHAR8 *Name, UINT64 CapacityMiB,
                                           const CHAR8 *Mode, UINT16 *Id, NvdimmMessage &Error);
  /// EFI_NOT_FOUND when namespace Id does not exist.
  [[nodiscard]] EFI_STATUS DeleteNamespace(UINT16 Id, NvdimmMessage &Error);
  /// Erases the platform configuration data of Modules[Index]: its regions
  /// and their namespaces go, and so does its pending goal.
  /// EFI_ACCESS_DENIED for a locked module.
  [[nodiscard]] EFI_STATUS EraseModule(UINTN Index, NvdimmMessage &Error);
  /// Runs the test set on all modules or on module DimmId, writing the
  /// outcome ("Diagnostics Quick,Fw: DIMM 0x0001 passed; ...") or the reason
  /// for not running into Result, and noting on each module tested what ran
  /// and what failed. EFI_SUCCESS when every test passed, EFI_DEVICE_ERROR
  /// when one failed, EFI_NOT_FOUND for no such module.
  [[nodiscard]] EFI_STATUS RunDiagnostics(bool AllDimms, UINT16 DimmId, UINT8 Tests,
                                          NvdimmMessage &Result);

  /// Reads a model written as JSON (the scenario's "nvdimm.model" and the
  /// saved state share this form) into *this; *this is unspecified on
  /// failure, which names the member in Error.
  [[nodiscard]] bool FromJson(const cJSON *Json, const NvdimmJsonPath &Path, NvdimmMessage &Error);
  /// The model as JSON; null on allocation failure. The caller deletes it.
  [[nodiscard]] cJSON *ToJson() const;

 private:
  void RemoveRegion(UINTN Index);
  UINT32 UnusedRegionId() const;
  void AddRegion(UINT32 Modules, UINT64 CapacityMiB);
};
