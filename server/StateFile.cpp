#include "server/StateFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

bool StateFile::Load(RedfishStore &Store, std::string *Nvdimm, uint32_t *Boot, bool *Found,
                     std::string *Problem) {
  std::ifstream File(mPath, std::ios::binary);
  *Found = static_cast<bool>(File);
  if (!File) {
    return true;
  }
  std::string Text((std::istreambuf_iterator<char>(File)), std::istreambuf_iterator<char>());
  Json State = Json::parse(Text, nullptr, false);
  if (!State.is_object() || !State.contains("store") || !State["nvdimm"].is_string() ||
      !State["boot"].is_number_unsigned() || !Store.Restore(State["store"].dump())) {
    *Problem = "is not a state written by nvdimm-emu serve";
    return false;
  }
  *Nvdimm = State["nvdimm"].get<std::string>();
  *Boot = State["boot"].get<uint32_t>();
  std::lock_guard<std::mutex> Guard(mLock);
  mNvdimm = *Nvdimm;
  mBoot = *Boot;
  return true;
}

void StateFile::SetMachine(std::string Nvdimm, uint32_t Boot) {
  std::lock_guard<std::mutex> Guard(mLock);
  mNvdimm = std::move(Nvdimm);
  mBoot = Boot;
}

bool StateFile::Write(RedfishStore &Store, bool Always) {
  uint64_t Version = 0;
  std::string Snapshot = Store.Snapshot(&Version);
  std::lock_guard<std::mutex> Guard(mLock);
  if (!Always && Version <= mWritten) {
    return true;
  }
  Json State = {{"store", Json::parse(Snapshot)}, {"nvdimm", mNvdimm}, {"boot", mBoot}};
  std::string Text = State.dump(1, '\t') + "\n";
  std::string Temporary = mPath + ".new";
  int File = open(Temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (File < 0) {
    return false;
  }
  bool Written = write(File, Text.data(), Text.size()) == static_cast<ssize_t>(Text.size()) &&
                 fsync(File) == 0;
  Written = close(File) == 0 && Written;
  if (!Written || std::rename(Temporary.c_str(), mPath.c_str()) != 0) {
    std::remove(Temporary.c_str());
    return false;
  }
  if (Version > mWritten) {
    mWritten = Version;
  }
  return true;
}
