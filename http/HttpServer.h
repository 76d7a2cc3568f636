// An HTTP/1.1 server that no client can stall: one thread serves every
// connection from one poll loop, on non-blocking sockets. A request must
// arrive whole within a deadline from its first byte (a TLS handshake within
// the same from the connection's start), an answer must be taken by the
// client within another, a kept-alive connection with nothing to do is
// closed once idle, and one client address holds a bounded number of
// connections. Requests on one connection, pipelined ones too, are answered
// in order; a client that sends faster than it reads is not read from until
// it has taken its answers. HTTPS through OpenSSL.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "http/HttpWire.h"

struct HTTP_SERVER_LIMITS {
  unsigned RequestSeconds = 10;  ///< a request (or a handshake) to arrive whole
  unsigned IdleSeconds = 30;     ///< a kept-alive connection with nothing pending
  unsigned WriteSeconds = 10;    ///< the client to take an answer
  size_t PerAddress = 8;         ///< open connections of one client address
  size_t Connections = 256;      ///< open connections in all
  HTTP_LIMITS Wire;              ///< request line, header fields, body
};

/// Who sent a request: the client's address as text.
struct HTTP_PEER {
  std::string Address;
};

class HttpServer {
 public:
  /// Answers one whole request (on the server's thread).
  using Handler = std::function<HttpAnswer(const HttpRequest &Request, const HTTP_PEER &Peer)>;
  /// The answers the server gives by itself, each followed by the close of
  /// the connection: a request that does not read (400, 413, 414, 431, 501,
  /// 505, with the parser's reason), one that did not arrive in time (408),
  /// a client address over its connections (503).
  using Refusal = std::function<HttpAnswer(int Code, const std::string &Why)>;
  /// Told of each refusal, with the peer (on the server's thread).
  using RefusalSink = std::function<void(int Code, const HTTP_PEER &Peer)>;

  HttpServer(Handler Handle, Refusal Refuse, HTTP_SERVER_LIMITS Limits = HTTP_SERVER_LIMITS());
  ~HttpServer();
  HttpServer(const HttpServer &) = delete;
  HttpServer &operator=(const HttpServer &) = delete;

  void OnRefused(RefusalSink Sink) { mRefused = std::move(Sink); }

  /// Serves HTTPS with this certificate chain and key (PEM files). False
  /// with the problem.
  [[nodiscard]] bool UseTls(const std::string &Certificate, const std::string &Key,
                            std::string *Problem);
  /// Listens on Host:Port (0: a free port). The port, or -1 with the problem.
  int Bind(const std::string &Host, int Port, std::string *Problem);
  /// Serves on a thread of its own until Stop().
  void Start();
  /// Stops serving and closes every connection.
  void Stop();

  /// The listener and the connections (HttpServer.cpp).
  struct STATE;

 private:
  void Loop();
  /// Each connection's turn and deadlines, after a poll that saw Seen.
  void Serve(const std::vector<struct pollfd> &Seen);
  /// Takes the connections waiting at the listener.
  void Accept();

  Handler mHandle;
  Refusal mRefuse;
  RefusalSink mRefused;
  HTTP_SERVER_LIMITS mLimits;
  std::unique_ptr<STATE> mState;
  std::atomic<bool> mStop{false};
  std::thread mThread;
};
