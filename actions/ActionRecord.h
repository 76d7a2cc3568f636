// Exactly once within a boot: the poll records which action it dispatches in
// the context's ActionRecord, and hands that record to the handler, whose
// frame sends every report through ReportAction. A report the service did not
// accept is kept in the record; when a later poll of the same boot finds the
// same action still "Issued", it sends the kept report again rather than
// carrying the action out a second time.
#pragma once

#include "core/ActionContext.h"

/// TRUE when Record holds an unlanded report of the action named by
/// ActionName and ActionUri.
[[nodiscard]] bool RecordHoldsAction(const ActionRecord &Record, const CHAR8 *ActionName,
                                     const CHAR8 *ActionUri);

/// Makes Record the record of the action about to be dispatched: its name
/// and URI, no report yet.
void BeginRecording(ActionRecord *Record, const CHAR8 *ActionName, const CHAR8 *ActionUri);

/// PATCHes StatusText and Message (a text that lives at least as long as
/// the call) into ActionStatus. With a Record, a report the service does not
/// accept is kept there and one that lands clears it. Returns
/// PatchActionStatus's status.
[[nodiscard]] EFI_STATUS ReportAction(EFI_REST_PROTOCOL *Rest, ActionRecord *Record,
                                      const CHAR8 *StatusText, const CHAR8 *Message);

/// Sends the report Record keeps, again; clears the record when it lands.
/// Returns PatchActionStatus's status.
[[nodiscard]] EFI_STATUS ResendKeptReport(EFI_REST_PROTOCOL *Rest, ActionRecord *Record);
