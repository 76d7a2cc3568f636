#include "server/StateFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

/// The directory and the name of Path.
void SplitPath(const std::string &Path, std::string *Directory, std::string *Name) {
  size_t Slash = Path.rfind('/');
  *Directory = Slash == std::string::npos ? "." : Slash == 0 ? "/" : Path.substr(0, Slash);
  *Name = Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

constexpr char TEMPORARY_MARK[] = ".tmp-";

std::string Reason(const char *What) { return std::string(What) + ": " + std::strerror(errno); }

}  // namespace

bool StateFile::Load(RedfishStore &Store, std::string *Nvdimm, uint32_t *Boot, bool *Found,
                     std::string *Problem) {
  // What a write cut short by a crash left: FILE.tmp-XXXXXX (removing a
  // name never follows it).
  std::string Directory;
  std::string Name;
  SplitPath(mPath, &Directory, &Name);
  if (DIR *Listing = opendir(Directory.c_str())) {
    std::string Prefix = Name + TEMPORARY_MARK;
    while (dirent *Entry = readdir(Listing)) {
      std::string Seen = Entry->d_name;
      if (Seen.size() == Prefix.size() + 6 && Seen.compare(0, Prefix.size(), Prefix) == 0) {
        (void)unlink((Directory + "/" + Seen).c_str());
      }
    }
    closedir(Listing);
  }

  std::ifstream File(mPath, std::ios::binary);
  *Found = static_cast<bool>(File);
  if (!File) {
    return true;
  }
  std::string Text((std::istreambuf_iterator<char>(File)), std::istreambuf_iterator<char>());
  Json State = ParseStored(Text);
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

bool StateFile::WriteSnapshot(const std::string &Snapshot, std::string *Problem) {
  std::lock_guard<std::mutex> Guard(mLock);
  return WriteLocked(Snapshot, Problem);
}

bool StateFile::Write(RedfishStore &Store, std::string *Problem) {
  uint64_t Version = 0;
  // The store's lock first, then this one: the order the store's Persist
  // takes them in.
  std::string Snapshot = Store.Snapshot(&Version);
  std::lock_guard<std::mutex> Guard(mLock);
  return WriteLocked(Snapshot, Problem);
}

bool StateFile::WriteLocked(const std::string &Snapshot, std::string *Problem) {
  Json State = {{"store", ParseStored(Snapshot)}, {"nvdimm", mNvdimm}, {"boot", mBoot}};
  std::string Text = State.dump(1, '\t') + "\n";
  std::string Directory;
  std::string Name;
  SplitPath(mPath, &Directory, &Name);
  std::string Temporary = Directory + "/" + Name + TEMPORARY_MARK + "XXXXXX";
  // mkstemp creates the file exclusively (O_EXCL), mode 0600: sessions'
  // token hashes are in it.
  int File = mkostemp(Temporary.data(), O_CLOEXEC);
  if (File < 0) {
    *Problem = Reason("cannot create a temporary file beside the state file");
    return false;
  }
  size_t Done = 0;
  bool Written = true;
  while (Written && Done < Text.size()) {
    ssize_t Wrote = write(File, Text.data() + Done, Text.size() - Done);
    Written = Wrote > 0 || (Wrote < 0 && errno == EINTR);
    Done += Wrote > 0 ? static_cast<size_t>(Wrote) : 0;
  }
  if (!Written || fsync(File) != 0) {
    *Problem = Reason("cannot write the state");
    close(File);
    (void)unlink(Temporary.c_str());
    return false;
  }
  if (close(File) != 0) {
    *Problem = Reason("cannot write the state");
    (void)unlink(Temporary.c_str());
    return false;
  }
  if (std::rename(Temporary.c_str(), mPath.c_str()) != 0) {
    *Problem = Reason(("cannot rename the new state over " + mPath).c_str());
    (void)unlink(Temporary.c_str());
    return false;
  }
  int Folder = open(Directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Folder < 0 || fsync(Folder) != 0) {
    *Problem = Reason("cannot sync the state file's directory");
    if (Folder >= 0) {
      close(Folder);
    }
    return false;
  }
  close(Folder);
  return true;
}
