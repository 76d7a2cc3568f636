// What every part of the twin's store does with JSON and HTTP's validators:
// bodies parsed under one nesting bound, documents printed one way, entity
// tags and the conditional headers compared as RFC 9110 says, Basic
// credentials decoded strictly.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

using Json = nlohmann::ordered_json;

/// The deepest nesting of arrays and objects any body may have: the driver's
/// own JSON limit, so that nothing the twin keeps is deeper than the driver
/// reads.
#ifndef NVDIMM_JSON_NESTING_LIMIT
#define NVDIMM_JSON_NESTING_LIMIT 64
#endif
constexpr size_t MAX_JSON_NESTING = NVDIMM_JSON_NESTING_LIMIT;

/// The deepest nesting of arrays and objects in Text (0 for a scalar),
/// counted outside strings, stopping as soon as it passes Limit.
size_t JsonNesting(const std::string &Text, size_t Limit);

enum class BODY_READ { Object, Empty, NotJson, TooDeep, NotObject };

/// Reads a request body that must be a JSON object. An empty body is Empty
/// (*Value an empty object), for callers that take none as "no members".
/// Nesting past MAX_JSON_NESTING is refused before the parser sees it.
BODY_READ ReadObjectBody(const std::string &Text, Json *Value);

/// Parses text the store wrote itself (bounded like a body); discarded
/// (is_discarded()) when it does not parse.
Json ParseStored(const std::string &Text);

/// Compact JSON text; invalid UTF-8 replaced.
std::string Dump(const Json &Value);

/// A link to another resource: {"@odata.id": Uri}.
Json Link(const std::string &Uri);

/// Seconds since the epoch as an ISO 8601 date and time in UTC.
std::string Iso8601(int64_t Seconds);

/// A strong entity tag of a representation: "\"<16 hex digits>\"".
std::string EntityTag(const std::string &Body);

/// If-Match (RFC 9110 13.1.1): "*" or a list naming Tag under the strong
/// comparison (a weak tag never matches). Empty: no condition.
bool IfMatchHolds(const std::string &Header, const std::string &Tag);
/// If-None-Match (13.1.2): true when the condition holds, i.e. the list
/// does not name Tag under the weak comparison and is not "*".
bool IfNoneMatchHolds(const std::string &Header, const std::string &Tag);

/// Decodes standard Base64 strictly: the alphabet, length a multiple of 4,
/// padding only at the end, no bits left over. False for anything else.
bool DecodeBase64(const std::string &Text, std::string *Out);

/// Constant-time equality of two texts (their SHA-256 digests compared).
bool SecretsEqual(const std::string &A, const std::string &B);

/// The SHA-256 digest of Text in lower-case hexadecimal.
std::string Sha256Hex(const std::string &Text);

/// 128 random bits in hexadecimal (session tokens, the driver's token).
std::string NewToken();
