// What nvdimm-emu's commands share on their command lines.
#pragma once

#include <cstdint>

/// A decimal count given on the command line; false for anything else.
[[nodiscard]] bool ParseCount(const char *Text, uint64_t *Value);
