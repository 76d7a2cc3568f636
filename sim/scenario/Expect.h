// Checks a finished run against a scenario's "expect" member:
//
//   "events": for each event kind named there, the trace's events of that kind
//     match the expected ones one for one, in order. An expected event gives
//     only the members it checks; nested objects are compared the same way,
//     lists element by element (same length), strings byte for byte, numbers
//     by exact value.
//   "only": for an event kind named there, only the trace's events of that
//     kind that have each given member (compared as above) are matched with
//     the listed events of that kind; a kind named there but not listed in
//     "events" must have no such event.
//   "final": each named resource's body, parsed as JSON, equals the expected
//     value. Here objects must have the same members, in any order.
//   "none": event kinds the trace must not have at all.
#pragma once

#include <cJSON.h>

#include "uefi/UefiBaseType.h"

/// Checks Events (the trace's events, as Trace::Events() holds them) against
/// Expect (a scenario's "expect" member, as ScenarioParts checked it; null
/// passes). On the first difference returns false with one line in Error,
/// such as `expect.events[rest][1].body: expected "..." but the trace has
/// "..."` or `expect.events[nvdimm]: expected 2 events, the trace has 1`.
[[nodiscard]] bool CheckExpectations(const cJSON *Expect, const cJSON *Events, CHAR8 *Error,
                                     UINTN ErrorSize);
