// The twin's HTTP front: the store behind two servers of http/HttpServer.h.
// The operators' listener is where clients connect (--listen, HTTPS with
// --tls); the host's listener, on loopback at a port only the twin knows, is
// where the platform's REST producer sends the driver's requests, so that
// they never wait behind the operators' connections. Every request reaches
// RedfishStore::Serve whole; each one is reported once it is answered.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "http/HttpServer.h"
#include "server/RedfishStore.h"

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
  /// (on the servers' threads), Refused for every request a server refused
  /// by itself (one that did not read, or came too slowly).
  HttpFrontEnd(RedfishStore &Store, ExchangeSink Answered);
  ~HttpFrontEnd();
  HttpFrontEnd(const HttpFrontEnd &) = delete;
  HttpFrontEnd &operator=(const HttpFrontEnd &) = delete;

  /// Binds the operators' listener at Host:Port (0: a free port), over
  /// HTTPS when Certificate is given, and the host's on 127.0.0.1 with the
  /// same scheme. Returns the operators' port, or -1 with *Problem set.
  int Bind(const std::string &Host, int Port, const std::string &Certificate,
           const std::string &Key, std::string *Problem);
  /// The host's listener's port.
  int HostPort() const { return mHostPort; }
  /// Serves on threads of their own until Stop().
  void Start();
  void Stop();

 private:
  HttpAnswer Answer(const HttpRequest &Request, const HTTP_PEER &Peer, bool FromHost);

  RedfishStore &mStore;
  ExchangeSink mAnswered;
  std::unique_ptr<HttpServer> mOperators;
  std::unique_ptr<HttpServer> mHost;
  int mHostPort = -1;
};
