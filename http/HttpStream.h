// HTTP served on one byte stream that carries every connection of a client in
// turn, as QEMU's guestfwd hands the guest's connections to a Unix socket:
// requests are read as they come (pipelined ones too), each answered whole
// and at once by the handler, so that no answer can arrive late and land on
// the next request. The stream is never closed from this side.
#pragma once

#include <atomic>
#include <functional>

#include "http/HttpWire.h"

using HTTP_HANDLER = std::function<HttpAnswer(const HttpRequest &Request)>;

/// Serves the stream Socket until its peer closes it or Stop becomes true
/// (checked every few milliseconds). A request that does not parse is
/// answered with its error and the parser starts over with the next bytes.
void ServeHttpStream(int Socket, const HTTP_HANDLER &Handler, const std::atomic<bool> &Stop);
