// The host of `nvdimm-emu serve --platform qemu`: every boot is one run of
// the real images in OVMF under QEMU (emulator/QemuMachine), whose platform
// image sends the driver's requests over the REST channel
// (qemu/RestChannelFormat.h); a relay here takes each one off the channel's
// Unix socket and sends it over HTTP to the twin's listener, as the driver's.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "qemu/runner/QemuMachine.h"

struct QemuHostSetup {
  std::string ScenarioPath;
  std::string BaseUrl;      ///< the twin's listener
  std::string DriverToken;  ///< marks the requests as the driver's
  bool Account = true;
  unsigned TimeoutSeconds = 120;
};

class QemuHost {
 public:
  /// Trace receives the image's trace lines (may be null); Account each line
  /// of its readable account.
  QemuHost(std::FILE *Trace, std::function<void(const std::string &)> Account);
  ~QemuHost();
  QemuHost(const QemuHost &) = delete;
  QemuHost &operator=(const QemuHost &) = delete;

  /// Makes the work directory and the boot disk. False with the problem.
  [[nodiscard]] bool Prepare(const QemuHostSetup &Setup, std::string *Problem);

  /// Boots the machine until the platform image says the run is over (the
  /// scenario's next boots and the driver's resets follow by themselves).
  /// *Boot is the last boot's number. False with the problem.
  [[nodiscard]] bool RunBoots(unsigned *Boot, const char *Why, std::string *Problem);

 private:
  std::FILE *mTrace;
  std::function<void(const std::string &)> mAccount;
  QemuHostSetup mSetup;
  QemuMachine mMachine;
  std::string mDirectory;
  std::string mState;  ///< carried to the next boot
};
