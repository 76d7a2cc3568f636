// Character classes of the "C" locale that the conversions read by.
#pragma once

namespace EfiRuntime {

/// ' ', '\t', '\n', '\v', '\f' and '\r'.
inline bool IsSpace(char Character) {
  return Character == ' ' || (Character >= '\t' && Character <= '\r');
}

/// '0' to '9'.
inline bool IsDigit(char Character) { return Character >= '0' && Character <= '9'; }

}  // namespace EfiRuntime
