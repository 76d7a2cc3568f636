// The twin's HTTP listener: cpp-httplib in front of the store. Every request
// reaches RedfishStore::Serve whole (a body over 16 MiB, a request that does
// not parse or a client that goes away never does), and each one is reported
// once it is answered.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "server/RedfishStore.h"

namespace httplib {
class Server;
}

/// One answered request.
struct HTTP_EXCHANGE {
  bool ByDriver;
  std::string User;
  std::string Method;
  std::string Path;
  int Code;
  uint64_t Micros;         ///< from the request read to the answer decided
  bool FromGuest = false;  ///< came over the QEMU guest's network
};

class HttpFrontEnd {
 public:
  using ExchangeSink = std::function<void(const HTTP_EXCHANGE &)>;

  /// Store outlives the front end. Answered is called for every request
  /// (on the listener's threads); Changed after each request that changed
  /// the store.
  HttpFrontEnd(RedfishStore &Store, ExchangeSink Answered, std::function<void()> Changed);
  ~HttpFrontEnd();
  HttpFrontEnd(const HttpFrontEnd &) = delete;
  HttpFrontEnd &operator=(const HttpFrontEnd &) = delete;

  /// Binds Host:Port (0: a free port) over plain HTTP, or HTTPS when
  /// Certificate is given. Returns the port, or -1 with *Problem set.
  int Bind(const std::string &Host, int Port, const std::string &Certificate,
           const std::string &Key, std::string *Problem);
  /// Serves on a thread of its own until Stop().
  void Start();
  void Stop();

 private:
  void Route();

  RedfishStore &mStore;
  ExchangeSink mAnswered;
  std::function<void()> mChanged;
  std::unique_ptr<httplib::Server> mServer;
  std::thread mThread;
};
