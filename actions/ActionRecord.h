// Exactly once within a boot: the poll records which action it dispatches,
// every report of a handler goes through ReportAction, and a report the
// service did not accept is kept in the context's ActionRecord. When a later
// poll of the same boot finds the same action still "Issued", it sends the
// kept report again rather than carrying the action out a second time.
#pragma once

#include "core/ActionContext.h"

/// TRUE when Record holds an unlanded report of the action named by
/// ActionName and ActionUri.
[[nodiscard]] bool RecordHoldsAction(const ActionRecord &Record, const CHAR8 *ActionName,
                                     const CHAR8 *ActionUri);

/// Makes Record the record of the action about to be dispatched: its name
/// and URI, no report yet. Reports made until EndRecording go to Record.
void BeginRecording(ActionRecord *Record, const CHAR8 *ActionName, const CHAR8 *ActionUri);

/// Ends the recording BeginRecording started; later reports are not kept.
void EndRecording();

/// PATCHes StatusText and Message (a text that lives at least as long as
/// the call) into ActionStatus. While a recording runs, a report the service
/// does not accept is kept in the record and one that lands clears it.
/// Returns PatchActionStatus's status.
[[nodiscard]] EFI_STATUS ReportAction(EFI_REST_PROTOCOL *Rest, const CHAR8 *StatusText,
                                      const CHAR8 *Message);

/// Sends the report Record keeps, again; clears the record when it lands.
/// Returns PatchActionStatus's status.
[[nodiscard]] EFI_STATUS ResendRecordedReport(EFI_REST_PROTOCOL *Rest, ActionRecord *Record);
