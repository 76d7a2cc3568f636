#include "host/TraceOutput.h"

bool OpenTraceOutput(const std::string &TracePath, TraceFilePointer *File) {
  if (TracePath == "-") {
    File->reset(stdout);
  } else if (!TracePath.empty()) {
    File->reset(std::fopen(TracePath.c_str(), "wb"));
    if (!*File) {
      std::fprintf(stderr, "nvdimm-emu: %s: cannot be written\n", TracePath.c_str());
      return false;
    }
  }
  return true;
}

std::FILE *AccountStream(const std::string &TracePath) {
  return TracePath == "-" ? stderr : stdout;
}
