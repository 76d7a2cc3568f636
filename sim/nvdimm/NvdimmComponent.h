// The simulated NVDIMM action component: produces NVDIMM_ACTION_PROTOCOL for
// the driver. Outcomes forced by the scenario win; otherwise a small model of
// modules, regions, namespaces, platform configuration data and diagnostics
// answers. Every operation records an "nvdimm" trace event.
#pragma once

#include <cJSON.h>

#include "platform/NvdimmActionProtocol.h"
#include "sim/common/PlatformHost.h"
#include "sim/nvdimm/NvdimmModel.h"
#include "sim/trace/Trace.h"

/// Most entries a "pcdResults" list may hold.
constexpr UINTN NVDIMM_MAX_PCD_RESULTS = 32;

struct NvdimmForcedResult {
  bool Forced = false;
  EFI_STATUS Status = EFI_SUCCESS;
  const CHAR8 *Message = nullptr;  ///< text for ErrorMessage; owned by the scenario document
};

struct NvdimmPcdResult {
  UINT64 Id;
  const CHAR8 *Status;  ///< owned by the scenario document
};

/// The scenario's "nvdimm" member, read once per run. Pointers refer into
/// the scenario document, which outlives the component.
struct NvdimmConfig {
  bool Enabled = true;
  bool LocalRequestPending = false;
  EFI_STATUS LocalRequestStatus = EFI_SUCCESS;
  NvdimmForcedResult CreateGoal;
  NvdimmForcedResult CreateNamespace;
  NvdimmForcedResult DeleteNamespace;
  NvdimmForcedResult DeletePlatformConfigurationData;
  bool DiagnosticsForced = false;
  EFI_STATUS DiagnosticsStatus = EFI_SUCCESS;
  const CHAR8 *DiagnosticsMessage = nullptr;  ///< null: no result message
  bool HasPcdResults = false;
  const NvdimmPcdResult *PcdResults = nullptr;  ///< allocated by NvdimmReadConfig
  UINTN PcdResultCount = 0;
  const cJSON *Model = nullptr;  ///< "nvdimm.model": initial state; null for the default
};

/// Reads the scenario's "nvdimm" member (null when absent) into Config.
/// On a problem returns false with "<member path>: <problem>" in Error
/// ("nvdimm.results.CreateGoal.status: unknown status 'EFI_BAD'"), and
/// Config holds the defaults and nothing allocated.
[[nodiscard]] bool NvdimmReadConfig(const cJSON *Member, NvdimmConfig *Config, CHAR8 *Error,
                                    UINTN ErrorSize);

/// Releases what NvdimmReadConfig allocated and restores the defaults.
void NvdimmFreeConfig(NvdimmConfig *Config);

struct NvdimmOperations;

/// The platform's NVDIMM component. One is made per run and lives across
/// its boots; the model of modules, regions and namespaces lasts as long.
class NvdimmComponent {
 public:
  /// Config, Host and EventTrace must outlive the component. The model
  /// starts from Config.Model, or from the default platform when there is
  /// none (or when it does not read, which NvdimmReadConfig rules out).
  NvdimmComponent(const NvdimmConfig &Config, const PlatformHost &Host, Trace &EventTrace);
  ~NvdimmComponent();
  NvdimmComponent(const NvdimmComponent &) = delete;
  NvdimmComponent &operator=(const NvdimmComponent &) = delete;

  /// Starts a boot: applies a goal created in an earlier boot, refills the
  /// protocol record (Enabled from the configuration, ResetPending 0, the
  /// operations) and makes this component the one that the operations act
  /// on. The record belongs to the component.
  [[nodiscard]] NVDIMM_ACTION_PROTOCOL *BeginBoot();

  /// A local user made a configuration request in setup: from now on, for
  /// the rest of the run, GetLocalRequestPending answers that one waits.
  void SetLocalRequest() { mLocalRequest = true; }

  /// The model and the local request as JSON text, for a real reboot to
  /// carry. The caller releases the text with cJSON_free; null on
  /// allocation failure.
  [[nodiscard]] char *SaveState() const;

  /// Restores what SaveState wrote. False, changing nothing, for text that
  /// is not such a state.
  [[nodiscard]] bool LoadState(const char *State);

  const NvdimmModel &Model() const { return mModel; }

 private:
  friend struct NvdimmOperations;

  EFI_STATUS CreateGoal(CHAR8 *ConfigurationLevel, UINT32 MemoryMode, UINT32 Reserved,
                        CHAR8 *PersistentMemoryType, CHAR8 *ErrorMessage);
  EFI_STATUS CreateNamespace(UINT32 RegionId, CHAR8 *Name, UINT64 CapacityMiB, CHAR8 *Mode,
                             CHAR8 *ErrorMessage);
  EFI_STATUS DeleteNamespace(UINT16 NamespaceId, CHAR8 *ErrorMessage);
  EFI_STATUS DeletePlatformConfigurationData(BOOLEAN AllDimms, UINT16 *DimmId, CHAR8 *ErrorMessage,
                                             DIMM_RESULT_LIST *Results);
  EFI_STATUS RunDiagnostics(BOOLEAN AllDimms, UINT16 *DimmId, CHAR8 *Tests, CHAR8 **ResultMessage);
  EFI_STATUS GetLocalRequestPending(BOOLEAN *Pending);

  /// Erases every module; fills mResults and *Count, writes the first
  /// failure's text into Error.
  EFI_STATUS EraseAllModules(UINTN *Count, NvdimmMessage &Error);
  /// Copies Text into a block from the host's pool that the driver frees.
  CHAR8 *HandOverText(const CHAR8 *Text) const;

  const NvdimmConfig &mConfig;
  const PlatformHost &mHost;
  Trace &mTrace;
  NVDIMM_ACTION_PROTOCOL mProtocol;
  NvdimmModel mModel;
  bool mLocalRequest = false;
  /// The entries an all-modules erase hands back; valid until the next call.
  DIMM_RESULT mResults[NVDIMM_MAX_PCD_RESULTS];
};

static_assert(NVDIMM_MAX_PCD_RESULTS >= NVDIMM_MAX_MODULES, "one result per module fits");
