#include "qemu/runner/GuestNetwork.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>

GuestNetwork::~GuestNetwork() {
  EndBoot();
  if (mListener >= 0) {
    close(mListener);
    std::remove(mPath.c_str());
  }
}

bool GuestNetwork::Listen(const std::string &Path, std::string *Problem) {
  sockaddr_un Address = {};
  if (Path.size() >= sizeof(Address.sun_path)) {
    *Problem = Path + ": too long a path for a Unix socket";
    return false;
  }
  std::remove(Path.c_str());
  mListener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  Address.sun_family = AF_UNIX;
  Path.copy(Address.sun_path, sizeof(Address.sun_path) - 1);
  if (mListener < 0 ||
      bind(mListener, reinterpret_cast<sockaddr *>(&Address), sizeof(Address)) != 0 ||
      listen(mListener, 2) != 0) {
    *Problem = Path + ": the guest's network socket cannot be made";
    return false;
  }
  mPath = Path;
  return true;
}

void GuestNetwork::StartBoot(HTTP_HANDLER Handler) {
  EndBoot();
  mHandler = std::move(Handler);
  mStop = false;
  mThread = std::thread([this] { Serve(); });
}

void GuestNetwork::EndBoot() {
  mStop = true;
  if (mThread.joinable()) {
    mThread.join();
  }
}

void GuestNetwork::Serve() {
  while (!mStop) {
    pollfd Wanted = {mListener, POLLIN, 0};
    if (poll(&Wanted, 1, 10) <= 0) {
      continue;
    }
    int Stream = accept4(mListener, nullptr, nullptr, SOCK_CLOEXEC);
    if (Stream < 0) {
      continue;
    }
    ServeHttpStream(Stream, mHandler, mStop);
    close(Stream);
  }
}
