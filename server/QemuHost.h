// The host of `nvdimm-emu serve --platform qemu`: every boot is one run of
// the real images in OVMF under QEMU (qemu/runner/QemuMachine). The platform
// image sends the driver's requests over the REST channel
// (qemu/RestChannelFormat.h), and a relay here takes each one off the
// channel's Unix socket and sends it over HTTP to the twin's listener, as
// the driver's. In network mode the REST producer's image carries them
// instead, over OVMF's network stack and QEMU's restricted user network, to
// the guest's socket here, where the store answers them itself.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "qemu/runner/GuestNetwork.h"
#include "qemu/runner/QemuMachine.h"
#include "server/HttpFrontEnd.h"
#include "server/RedfishStore.h"

struct QemuHostSetup {
  std::string ScenarioPath;
  std::string BaseUrl;      ///< the twin's listener
  std::string DriverToken;  ///< marks the requests as the driver's
  bool Account = true;
  unsigned TimeoutSeconds = 120;
  /// Network mode: the store that answers the guest, and who hears of each
  /// exchange (on the guest network's thread) and of each change.
  bool Network = false;
  RedfishStore *Store = nullptr;
  HttpFrontEnd::ExchangeSink Answered;
  /// Called as each boot begins.
  std::function<void()> BootStarting;
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

  /// The NVDIMM component's state the last boot carried out ("" before
  /// any boot).
  std::string NvdimmState() const;

 private:
  /// One request from the guest's network, answered from the store as the
  /// driver's.
  HttpAnswer AnswerGuest(const HttpRequest &Request);

  std::FILE *mTrace;
  std::function<void(const std::string &)> mAccount;
  QemuHostSetup mSetup;
  QemuMachine mMachine;
  GuestNetwork mGuest;
  std::string mDirectory;
  std::string mState;  ///< carried to the next boot
};
