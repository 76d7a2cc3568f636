// The REST producer's way out over real HTTP: the simulated service's remote
// (REDFISH_REMOTE) sends each of the driver's requests to a Redfish service
// with cpp-httplib and hands the answer back, on one kept-alive connection
// (a request that fails on it goes once more on a fresh one). nvdimm-emu
// serve points it at its own host listener; run --redfish at someone else's
// service.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "sim/redfish/RedfishService.h"

namespace httplib {
class Client;
}

class HttpRest {
 public:
  /// BaseUrl: "http://HOST:PORT" or "https://HOST:PORT" (a certificate is not
  /// checked: the twin's is self-signed). Token, when given, goes in
  /// X-Auth-Token; otherwise User and Password, when given, in Basic
  /// authentication.
  HttpRest(const std::string &BaseUrl, const std::string &Token, const std::string &User,
           const std::string &Password);
  ~HttpRest();
  HttpRest(const HttpRest &) = delete;
  HttpRest &operator=(const HttpRest &) = delete;

  /// Whether BaseUrl could be used.
  bool Valid() const;

  /// Called before every request is sent (on the caller's thread).
  void BeforeSend(std::function<void()> Hook) { mBeforeSend = std::move(Hook); }

  const REDFISH_REMOTE *Remote() const { return &mRemote; }

  /// Closes the kept-alive connection (the next request opens another).
  void Close();

 private:
  static bool Send(void *Context, const EFI_HTTP_MESSAGE *Request, const CHAR8 *Uri,
                   UINTN UriLength, UINT32 *Code, CHAR8 **Body, UINTN *BodyLength);

  std::unique_ptr<httplib::Client> mClient;
  /// The last exchange worked: its connection may be kept alive.
  bool mConnected = false;
  std::string mToken;
  std::function<void()> mBeforeSend;
  REDFISH_REMOTE mRemote;
};
