// A scenario file read into a checked structure: its description, what the
// Redfish service holds and answers, what the NVDIMM component answers, the
// steps of every boot and the expectations on the run. A file that cannot be
// used is refused with one line "<member path>: <problem>".
#pragma once

#include <cJSON.h>

#include "sim/common/SimMemory.h"
#include "sim/nvdimm/NvdimmComponent.h"
#include "sim/redfish/RedfishConfig.h"
#include "sim/scenario/ScenarioReader.h"

enum class BootStep : UINT8 {
  Nvdimm,
  Redfish,
  Rest,
  RedfishReady,
  LocalRequestTrigger,
  LocalRequest,
  Driver,
  ResetWarm,
  ResetCold,
  RedfishSameHandle,
  NvdimmTwice
};

/// The step's name in a scenario file ("nvdimm", "resetWarm", ...).
const CHAR8 *BootStepName(BootStep Step);

struct BOOT_PLAN {
  const BootStep *Steps;
  UINTN StepCount;
};

/// What the platform's ResetSystem does before the reset ("resetSystem"):
/// signal the reset-system event group as the UEFI standard has it, call the
/// functions registered with EFI_RESET_NOTIFICATION_PROTOCOL as EDK2 does,
/// or both.
enum class ResetSystemMode : UINT8 { Group, Notifications, Both };

/// The "redfish" member, and the memory behind its records.
class RedfishSettings {
 public:
  RedfishSettings();
  ~RedfishSettings();
  RedfishSettings(const RedfishSettings &) = delete;
  RedfishSettings &operator=(const RedfishSettings &) = delete;

  /// Reads Member (null when absent). Resource values are printed here; their
  /// numbers are turned into raw items on the way, so Member changes.
  [[nodiscard]] bool Read(cJSON *Member, ScenarioReader &Reader);

  /// Valid while this object and the document read live.
  const REDFISH_CONFIG &Config() const { return mConfig; }

 private:
  [[nodiscard]] bool ReadResources(cJSON *Member, ScenarioReader &Reader);
  [[nodiscard]] bool ReadOverrides(const cJSON *Member, ScenarioReader &Reader);
  /// Reads entry Index's "bodyFill" and builds the filled body it serves.
  [[nodiscard]] bool ReadFill(const cJSON *Member, REDFISH_OVERRIDE_SETTING &Override, UINTN Index,
                              ScenarioReader &Reader);
  void ReleaseBodies();

  SimArray<REDFISH_RESOURCE_SETTING> mResources;
  SimArray<REDFISH_OVERRIDE_SETTING> mOverrides;
  SimArray<CHAR8 *> mFilledBodies;  ///< one slot per override; from cJSON_malloc
  REDFISH_CONFIG mConfig;
};

/// Every member of a scenario but "nvdimm".
class ScenarioParts {
 public:
  ScenarioParts() = default;
  ScenarioParts(const ScenarioParts &) = delete;
  ScenarioParts &operator=(const ScenarioParts &) = delete;

  /// Reads the members of Root, a document from ExactJsonParse that must
  /// outlive this object (strings and "expect" point into it). On a problem
  /// returns false with "<member path>: <problem>" in Error.
  [[nodiscard]] bool Read(cJSON *Root, CHAR8 *Error, UINTN ErrorSize);

  /// The "description" text, or "" without one.
  const CHAR8 *Description() const { return mDescription; }
  const REDFISH_CONFIG &Redfish() const { return mRedfish.Config(); }
  /// At least one boot: without "boots", the single boot nvdimm, redfish,
  /// driver.
  UINTN BootCount() const;
  const BOOT_PLAN &Boot(UINTN Index) const;
  /// The checked "expect" member, or null without one.
  const cJSON *Expect() const { return mExpect; }
  /// "failAlloc": the driver allocation that fails in this scenario (as the
  /// command line's --fail-alloc, but with the expectations still checked);
  /// 0 without one.
  UINT64 FailAllocation() const { return mFailAllocation; }
  ResetSystemMode ResetSystem() const { return mResetSystem; }
  /// TRUE when the scenario names its reset behaviour.
  bool ResetSystemNamed() const { return mResetSystemNamed; }

 private:
  [[nodiscard]] bool ReadBoots(const cJSON *Member, ScenarioReader &Reader);
  [[nodiscard]] bool ReadExpect(const cJSON *Member, ScenarioReader &Reader);

  const CHAR8 *mDescription = "";
  RedfishSettings mRedfish;
  SimArray<BOOT_PLAN> mBoots;
  SimArray<BootStep> mSteps;
  const cJSON *mExpect = nullptr;
  UINT64 mFailAllocation = 0;
  ResetSystemMode mResetSystem = ResetSystemMode::Group;
  bool mResetSystemNamed = false;
};

/// A whole scenario file: the parsed document and what was read from it.
class Scenario {
 public:
  Scenario() = default;
  ~Scenario();
  Scenario(const Scenario &) = delete;
  Scenario &operator=(const Scenario &) = delete;

  /// Reads Length bytes of scenario text, once. On a problem returns false
  /// with "<member path>: <problem>" (or "line L, column C: <problem>" for
  /// text that is not JSON) in Error; the host adds the file name.
  [[nodiscard]] bool Read(const CHAR8 *Text, UINTN Length, CHAR8 *Error, UINTN ErrorSize);

  const ScenarioParts &Parts() const { return mParts; }
  const NvdimmConfig &Nvdimm() const { return mNvdimm; }
  /// The parsed document (numbers keep their text); null before Read.
  const cJSON *Document() const { return mDocument; }

 private:
  cJSON *mDocument = nullptr;  // released last: the parts point into it
  ScenarioParts mParts;
  NvdimmConfig mNvdimm;
  bool mNvdimmRead = false;
};
