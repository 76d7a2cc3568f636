// Whole files from the volume the platform image was loaded from: the
// scenario, the carried state and the driver image that the runner put on
// the boot disk.
#pragma once

#include "sim/common/SimMemory.h"
#include "uefi/SimpleFileSystem.h"

/// Owns an open file or directory handle; Close releases it.
class FileHandle {
 public:
  FileHandle() = default;
  ~FileHandle() { Reset(); }
  FileHandle(const FileHandle &) = delete;
  FileHandle &operator=(const FileHandle &) = delete;

  EFI_FILE_PROTOCOL *Get() const { return mFile; }
  explicit operator bool() const { return mFile != nullptr; }
  /// Address to pass to Open or OpenVolume; closes what was held.
  EFI_FILE_PROTOCOL **Receive() {
    Reset();
    return &mFile;
  }
  void Reset() {
    if (mFile != nullptr) {
      (void)mFile->Close(mFile);
    }
    mFile = nullptr;
  }

 private:
  EFI_FILE_PROTOCOL *mFile = nullptr;
};

class BootVolume {
 public:
  BootVolume() = default;
  BootVolume(const BootVolume &) = delete;
  BootVolume &operator=(const BootVolume &) = delete;

  /// Opens the root directory of the device that ImageHandle was loaded
  /// from: its loaded-image record names the device, whose simple file
  /// system protocol opens the volume. Returns the status of the call that
  /// failed.
  [[nodiscard]] EFI_STATUS Open(EFI_HANDLE ImageHandle);

  /// Reads the file Name in the root directory into a fresh block from
  /// cJSON_malloc with a NUL after its bytes; Length receives the byte count.
  /// EFI_NOT_FOUND when there is no such file, EFI_OUT_OF_RESOURCES when the
  /// block cannot be had, or the status of the file call that failed.
  /// Contents and Length are written only on success.
  [[nodiscard]] EFI_STATUS ReadFile(const CHAR16 *Name, SimBlock *Contents, UINTN *Length);

 private:
  FileHandle mRoot;
};
