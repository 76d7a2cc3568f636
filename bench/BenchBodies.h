// The documents the benchmarks serve: JSON objects of an exact size, made of
// padding members (long strings, many numbers, nested objects) followed by
// the members the driver reads, and the scenario text that puts them into the
// simulated Redfish service.
#pragma once

#include <cstddef>
#include <string>

/// A JSON object of exactly Size bytes (or of its natural size when Size is
/// 0 or too small): padding members first, then Members (the text between
/// the braces, e.g. "\"Id\":\"12\""), so that every lookup of the driver
/// walks past the padding. The same Size always gives the same text.
std::string PaddedObject(const std::string &Members, size_t Size);

/// Members (with one '@') in braces, the '@' replaced by as many Filler
/// characters as make the object Size bytes (none when it is already as
/// long).
std::string GrownObject(const std::string &Members, char Filler, size_t Size);

/// Text as a JSON string literal, quotes included.
std::string JsonStringLiteral(const std::string &Text);

/// A scenario for one benchmark: the service holds ActionStatusBody at the
/// ActionStatus URI and, when ActionUri is not empty, ActionBody at
/// ActionUri, both served byte for byte; every NVDIMM operation is forced
/// to succeed (diagnostics with DiagnosticsMessage), so that an action
/// changes nothing but ActionStatus; one boot installs the NVDIMM protocol
/// and the Redfish service.
std::string BenchScenario(const std::string &ActionStatusBody, const std::string &ActionUri,
                          const std::string &ActionBody, const std::string &DiagnosticsMessage);
