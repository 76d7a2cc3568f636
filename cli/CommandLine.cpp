#include "cli/CommandLine.h"

#include <cstdlib>

bool ParseCount(const char *Text, uint64_t *Value) {
  char *End = nullptr;
  if (Text[0] < '0' || Text[0] > '9') {
    return false;
  }
  unsigned long long Parsed = std::strtoull(Text, &End, 10);
  if (*End != '\0') {
    return false;
  }
  *Value = Parsed;
  return true;
}
