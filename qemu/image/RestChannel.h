// The platform image's side of the REST channel (RestChannelFormat.h): a
// remote for the simulated Redfish service that sends each request over the
// UART and reads the answer.
#pragma once

#include "qemu/RestChannelFormat.h"
#include "sim/redfish/RedfishService.h"

class RestChannel {
 public:
  RestChannel();
  RestChannel(const RestChannel &) = delete;
  RestChannel &operator=(const RestChannel &) = delete;

  /// Sets the UART up (8 data bits, FIFOs on, no interrupts).
  void Open();

  const REDFISH_REMOTE *Remote() const { return &mRemote; }

 private:
  static bool Send(void *Context, const EFI_HTTP_MESSAGE *Request, const CHAR8 *Uri,
                   UINTN UriLength, UINT32 *Code, CHAR8 **Body, UINTN *BodyLength);

  REDFISH_REMOTE mRemote;
};
