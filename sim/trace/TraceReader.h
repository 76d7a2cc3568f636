// Trace lines read back into the events they were written from: the reader
// beside the writer (Trace.h), for the QEMU runner, which takes the image's
// trace off its channel, and for the report, which draws a trace file.
#pragma once

#include <cJSON.h>

#include "uefi/UefiBaseType.h"

/// Parses one trace line (Length bytes, no line feed) back into the event
/// the trace held: the writer's \u00xx escapes of bytes 0x80 to 0xFF become
/// those bytes again (not the UTF-8 of U+0080..U+00FF), and numbers keep
/// their text, so the account writer and the expectations see what they saw
/// when it was written. Null for a line that is not one JSON value, or when
/// out of memory. The caller releases the event with cJSON_Delete.
[[nodiscard]] cJSON *ParseTraceLine(const CHAR8 *Line, UINTN Length);
