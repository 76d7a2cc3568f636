// nvdimm-emu: runs the driver on an emulated UEFI platform described by a
// scenario file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "emulator/HostPlatform.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: nvdimm-emu run SCENARIO.json [--trace FILE] [--fail-alloc N] [--strict] "
               "[--quiet]\n"
               "  --trace FILE     write the trace as JSON Lines (- for standard output)\n"
               "  --fail-alloc N   make the driver's N-th memory allocation fail (1-based)\n"
               "  --strict         exit 1 when the driver leaks or misuses the machine\n"
               "  --quiet          no readable account\n");
  return 2;
}

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

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3 || std::strcmp(argv[1], "run") != 0) {
    return Usage();
  }
  RunOptions Options;
  Options.ScenarioPath = argv[2];
  for (int Index = 3; Index < argc; Index++) {
    std::string Argument = argv[Index];
    if (Argument == "--trace" && Index + 1 < argc) {
      Options.TracePath = argv[++Index];
    } else if (Argument == "--fail-alloc" && Index + 1 < argc) {
      if (!ParseCount(argv[++Index], &Options.FailAllocation)) {
        return Usage();
      }
    } else if (Argument == "--strict") {
      Options.Strict = true;
    } else if (Argument == "--quiet") {
      Options.Quiet = true;
    } else {
      return Usage();
    }
  }
  return RunScenario(Options);
}
