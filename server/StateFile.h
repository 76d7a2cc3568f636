// The twin's state file (serve --state): the store and the NVDIMM model.
// Every write goes to a new temporary file of a unique name beside it
// (created exclusively, so that nothing already there, a symbolic link
// least of all, is written through), is synced, renamed over the old file
// and the directory synced: a reader finds the old state or the new one,
// never a mixture, and a write that returns true survives a crash. A write
// that fails says why, and the store then refuses the change it was for.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "server/RedfishStore.h"

class StateFile {
 public:
  explicit StateFile(std::string Path) : mPath(std::move(Path)) {}

  /// Reads the file, after removing temporary files a crash left behind.
  /// Missing: true with *Found false. False, with *Problem set, for a file
  /// that cannot be read or is not a state.
  bool Load(RedfishStore &Store, std::string *Nvdimm, uint32_t *Boot, bool *Found,
            std::string *Problem);

  /// Notes the machine's part: the NVDIMM model's text and the last boot.
  void SetMachine(std::string Nvdimm, uint32_t Boot);

  /// Writes the state with this store snapshot now (the store's Persist).
  bool WriteSnapshot(const std::string &Snapshot, std::string *Problem);

  /// Writes the state with the store as it is now. False, with the
  /// problem, when the file cannot be written.
  bool Write(RedfishStore &Store, std::string *Problem);

 private:
  bool WriteLocked(const std::string &Snapshot, std::string *Problem);

  std::string mPath;
  std::mutex mLock;
  std::string mNvdimm;
  uint32_t mBoot = 0;
};
