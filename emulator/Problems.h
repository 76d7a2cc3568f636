// The problem log of the emulated machine: one human-readable line for each
// misuse of the firmware seen (pool misuse, TPL misuse, unsupported services).
// The runner prints the lines; tests read them.
#pragma once

#include <stdarg.h>
#include <stdio.h>

#include <string>
#include <utility>
#include <vector>

class ProblemLog {
 public:
  /// Appends one line, formatted as printf does.
  void Record(const char *Format, ...) __attribute__((format(printf, 2, 3))) {
    char Line[512];
    va_list Args;
    va_start(Args, Format);
    vsnprintf(Line, sizeof(Line), Format, Args);
    va_end(Args);
    mLines.emplace_back(Line);
  }

  /// Hands over every line recorded since the last call, oldest first.
  [[nodiscard]] std::vector<std::string> Take() { return std::exchange(mLines, {}); }

  void Clear() { mLines.clear(); }

 private:
  std::vector<std::string> mLines;
};
