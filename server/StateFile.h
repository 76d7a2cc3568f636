// The twin's state file (serve --state): the store and the NVDIMM model,
// written whole to a temporary file and renamed over the old one, so that a
// reader finds either the old state or the new one, never a mixture.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "server/RedfishStore.h"

class StateFile {
 public:
  explicit StateFile(std::string Path) : mPath(std::move(Path)) {}

  /// Reads the file. Missing: true with *Found false. False, with *Problem
  /// set, for a file that cannot be read or is not a state.
  bool Load(RedfishStore &Store, std::string *Nvdimm, uint32_t *Boot, bool *Found,
            std::string *Problem);

  /// Notes the machine's part: the NVDIMM model's text and the last boot.
  void SetMachine(std::string Nvdimm, uint32_t Boot);

  /// Writes the state now. Unless Always, a store snapshot no newer than the
  /// one written last is not written again. False when the file cannot be
  /// written.
  bool Write(RedfishStore &Store, bool Always);

 private:
  std::string mPath;
  std::mutex mLock;
  std::string mNvdimm;
  uint32_t mBoot = 0;
  uint64_t mWritten = 0;
};
