// The store behind an HTTP request as http/ reads it, for every front that
// is not the listener: the guest's network in `serve --platform qemu
// --network`, where the platform's own requests arrive from OVMF.
#pragma once

#include <string>

#include "http/HttpWire.h"
#include "server/RedfishStore.h"

/// The store's request for Request: its path percent-decoded, without the
/// query; the headers the store looks at.
StoreRequest StoreRequestFromHttp(const HttpRequest &Request);

/// The store's answer as HTTP: its headers, OData-Version, and a JSON body.
HttpAnswer HttpAnswerFromStore(const StoreResponse &Response);
