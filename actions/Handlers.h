// The five action handlers. Each reads its parameters from the action's
// resource at Uri, performs the action through Nvdimm and reports the outcome
// into ActionStatus; nothing is reported when the resource cannot be read.
#pragma once

#include "platform/NvdimmActionProtocol.h"
#include "uefi/Rest.h"

using ACTION_HANDLER = void (*)(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                                NVDIMM_ACTION_PROTOCOL *Nvdimm);

void CreateGoalAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest, NVDIMM_ACTION_PROTOCOL *Nvdimm);
void CreateNamespaceAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                           NVDIMM_ACTION_PROTOCOL *Nvdimm);
void DeleteNamespaceAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                           NVDIMM_ACTION_PROTOCOL *Nvdimm);
void DeletePlatformConfigurationDataAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                                           NVDIMM_ACTION_PROTOCOL *Nvdimm);
void RunDiagnosticsAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                          NVDIMM_ACTION_PROTOCOL *Nvdimm);

/// The all-modules URIs of the two actions that also act on one module.
extern const CHAR16 RUN_DIAGNOSTICS_URI[];
extern const CHAR16 DELETE_PCD_URI[];
