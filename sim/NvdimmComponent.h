// The simulated NVDIMM action component: produces NVDIMM_ACTION_PROTOCOL for
// the driver. Outcomes forced by the scenario win; otherwise a small model of
// modules, regions, namespaces, platform configuration data and diagnostics
// answers. Every operation records an "nvdimm" trace event.
#pragma once

#include <cJSON.h>

#include "platform/NvdimmActionProtocol.h"
#include "sim/PlatformHost.h"
#include "sim/Trace.h"

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
/// On a problem returns false with "<member path>: <problem>" in Error.
bool NvdimmReadConfig(const cJSON *Member, NvdimmConfig *Config, CHAR8 *Error, UINTN ErrorSize);

/// Releases what NvdimmReadConfig allocated.
void NvdimmFreeConfig(NvdimmConfig *Config);
