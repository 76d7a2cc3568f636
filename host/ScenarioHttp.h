// The scenario's Redfish service as an HTTP server answers it (network
// mode): the version document /redfish, which every Redfish service has and
// the REST producer asks for first, then what the simulated service answers
// (its overrides, then its resources, PATCHes merged in).
#pragma once

#include "http/HttpWire.h"
#include "sim/redfish/RedfishService.h"

/// The answer to Request. An override that gives a transport status alone
/// has no HTTP form: the answer is then dropped.
HttpAnswer AnswerFromScenario(RedfishService &Service, const HttpRequest &Request);
