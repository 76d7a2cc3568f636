#include "fuzz/FuzzCheck.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void FuzzFail(const char *Format, ...) {
  va_list Arguments;
  va_start(Arguments, Format);
  std::fprintf(stderr, "fuzz invariant broken: ");
  std::vfprintf(stderr, Format, Arguments);
  std::fprintf(stderr, "\n");
  va_end(Arguments);
  std::abort();
}

std::string FuzzCut(const std::string &Text, size_t Size) { return Text.substr(0, Size - 1); }

std::string FuzzCString(const std::string &Text) { return Text.substr(0, Text.find('\0')); }
