#include "host/ScenarioFile.h"

#include <cstdio>
#include <fstream>
#include <iterator>

bool ReadScenarioFile(const std::string &Path, std::string *Text, Scenario *Into) {
  std::ifstream File(Path, std::ios::binary);
  if (File) {
    Text->assign(std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
  }
  if (!File || File.bad()) {
    std::fprintf(stderr, "nvdimm-emu: %s: cannot be read\n", Path.c_str());
    return false;
  }
  CHAR8 Error[512] = {};
  if (!Into->Read(Text->data(), Text->size(), Error, sizeof(Error))) {
    std::fprintf(stderr, "nvdimm-emu: %s: %s\n", Path.c_str(), Error);
    return false;
  }
  return true;
}
