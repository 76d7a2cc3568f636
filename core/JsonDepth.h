// The nesting limit the driver puts on every document before the JSON
// library parses it. The library's parser recurses once per nested array or
// object, up to its own limit of 1000 levels, and DXE runs the driver on one
// stack of 128 KiB with no guard page (OVMF): a body nested that deep would
// run the parse past the end of the stack into whatever memory lies below.
// A document nested deeper than JSON_MAX_DEPTH is therefore treated as one
// that does not parse, failing at the bracket that opens the level too many.
#pragma once

#include <cJSON.h>

#include "uefi/UefiBaseType.h"

/// The deepest nesting of arrays and objects (the outermost one counts as
/// level 1) that the driver parses. Redfish resources nest a few levels.
/// In the firmware image each level costs the parser about 112 bytes of
/// stack: 64 levels take about 7 KiB, where the library's own 1000 took
/// 110 KiB of OVMF's 128 (measured in QEMU; see qemu/README.md).
constexpr UINTN JSON_MAX_DEPTH = 64;

/// The bracket ('[' or '{') in the first JSON value of Text (NUL-terminated)
/// that opens level MaxDepth + 1, or null when that value nests no deeper.
/// Brackets inside strings do not count, and the scan ends with the first
/// value, as the parser does; it neither allocates nor recurses.
const CHAR8 *JsonFindTooDeep(const CHAR8 *Text, UINTN MaxDepth);

/// cJSON_Parse within the nesting limit: the document (the caller releases
/// it with cJSON_Delete), or null when Text does not parse or nests deeper
/// than JSON_MAX_DEPTH.
[[nodiscard]] cJSON *JsonParseWithinDepth(const CHAR8 *Text);

/// Where the last failed JsonParseWithinDepth stopped: the bracket that goes
/// too deep, or the parser's own error position (cJSON_GetErrorPtr).
const CHAR8 *JsonParseErrorPosition();
