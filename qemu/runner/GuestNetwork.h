// The host's end of the guest's network in network mode: a Unix socket the
// runner listens on and QEMU's guestfwd connects to when a boot starts. That
// one stream carries every connection the guest opens to 10.0.2.100:80, in
// turn; it is served as HTTP (http/HttpStream.h), each request answered at
// once by the handler, and never closed from this side.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "http/HttpStream.h"

class GuestNetwork {
 public:
  GuestNetwork() = default;
  ~GuestNetwork();
  GuestNetwork(const GuestNetwork &) = delete;
  GuestNetwork &operator=(const GuestNetwork &) = delete;

  /// Listens on Path (replacing a stale socket file). False with the problem.
  [[nodiscard]] bool Listen(const std::string &Path, std::string *Problem);

  /// A boot begins: a thread takes QEMU's connection when it comes and
  /// serves it with Handler until the boot ends.
  void StartBoot(HTTP_HANDLER Handler);
  /// The boot ended: the thread stops.
  void EndBoot();

 private:
  void Serve();

  int mListener = -1;
  std::string mPath;
  HTTP_HANDLER mHandler;
  std::atomic<bool> mStop{false};
  std::thread mThread;
};
