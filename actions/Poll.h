// The poll of ActionStatus and the dispatch of an issued action by name.
#pragma once

#include "core/ActionContext.h"

/// Reads ActionStatus once: dispatches an "Issued" action, completes a
/// CreateGoal left "Inprogress". Returns EFI_INVALID_PARAMETER without a
/// context, the service status or GET status when those fail, EFI_LOAD_ERROR
/// for a document that does not parse, otherwise the dispatch's or the
/// completion report's status (EFI_SUCCESS when there was nothing to do).
[[nodiscard]] EFI_STATUS PollActionStatus(ActionContext *Context);

/// Widens ActionUri to UCS-2 and runs the handler named by ActionName (exact
/// match; an unknown name runs nothing). Record, when given, keeps the
/// handler's report should the service not accept it (BeginRecording made
/// it this action's record). EFI_OUT_OF_RESOURCES when the URI cannot be
/// widened, otherwise EFI_SUCCESS whatever the handler did.
[[nodiscard]] EFI_STATUS DispatchAction(const CHAR8 *ActionName, const CHAR8 *ActionUri,
                                        EFI_REST_PROTOCOL *Rest, NVDIMM_ACTION_PROTOCOL *Nvdimm,
                                        ActionRecord *Record = nullptr);
