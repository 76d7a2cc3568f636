// The store behind an HTTP request as http/ reads it: the twin's listeners
// and the guest's network of `serve --platform qemu --network`.
#pragma once

#include <string>

#include "http/HttpWire.h"
#include "server/RedfishStore.h"

/// The store's request for Request from Client: its path percent-decoded,
/// without the query; the headers the store looks at (fields of the same
/// name joined into one list, as RFC 9110 reads them).
StoreRequest StoreRequestFromHttp(const HttpRequest &Request, const std::string &Client);

/// The store's answer as HTTP: its headers, OData-Version, and its body.
HttpAnswer HttpAnswerFromStore(const StoreResponse &Response);
