// Protocol-notify events: how the driver is called again when a protocol it
// waits for is installed. Each notification closes its own event once it has
// what it needs; the context keeps the open ones so that a failed entry can
// close them all.
#pragma once

#include "core/ActionContext.h"

/// Creates a TPL_CALLBACK notify event for Guid, registers it for protocol
/// installations and signals it once. Results of the three calls are not
/// checked. The event is recorded in Context's open events.
EFI_EVENT CreateProtocolNotifyEvent(EFI_GUID *Guid, EFI_EVENT_NOTIFY NotifyFunction,
                                    ActionContext *Context, VOID **Registration);

/// Closes a notify event and forgets it in Context.
void CloseNotifyEvent(ActionContext *Context, EFI_EVENT Event);

/// Closes every notify event still open in Context, which is about to be
/// released.
void CloseAllNotifyEvents(ActionContext *Context);
