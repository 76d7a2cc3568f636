// The five action handlers. Each reads its parameters from the action's
// resource at Uri, performs the action through Nvdimm and reports the outcome
// into ActionStatus; nothing is reported when the resource cannot be read.
// Record, when given, is the poll's record of the action: a report the
// service does not accept is kept there (actions/ActionRecord.h).
#pragma once

#include "core/ActionContext.h"
#include "platform/NvdimmActionProtocol.h"
#include "uefi/Rest.h"

using ACTION_HANDLER = void (*)(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                                NVDIMM_ACTION_PROTOCOL *Nvdimm, ActionRecord *Record);

void CreateGoalAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest, NVDIMM_ACTION_PROTOCOL *Nvdimm,
                      ActionRecord *Record = nullptr);
void CreateNamespaceAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                           NVDIMM_ACTION_PROTOCOL *Nvdimm, ActionRecord *Record = nullptr);
void DeleteNamespaceAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                           NVDIMM_ACTION_PROTOCOL *Nvdimm, ActionRecord *Record = nullptr);
void DeletePlatformConfigurationDataAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                                           NVDIMM_ACTION_PROTOCOL *Nvdimm,
                                           ActionRecord *Record = nullptr);
void RunDiagnosticsAction(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest,
                          NVDIMM_ACTION_PROTOCOL *Nvdimm, ActionRecord *Record = nullptr);

/// The all-modules URIs of the two actions that also act on one module.
extern const CHAR16 RUN_DIAGNOSTICS_URI[];
extern const CHAR16 DELETE_PCD_URI[];
