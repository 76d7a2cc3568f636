#include "server/StoreJson.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <cstdio>
#include <ctime>
#include <vector>

size_t JsonNesting(const std::string &Text, size_t Limit) {
  size_t Depth = 0;
  size_t Deepest = 0;
  bool InString = false;
  for (size_t Index = 0; Index < Text.size(); Index++) {
    char Byte = Text[Index];
    if (InString) {
      if (Byte == '\\') {
        Index++;
      } else if (Byte == '"') {
        InString = false;
      }
    } else if (Byte == '"') {
      InString = true;
    } else if (Byte == '{' || Byte == '[') {
      Depth++;
      if (Depth > Deepest) {
        Deepest = Depth;
        if (Deepest > Limit) {
          return Deepest;
        }
      }
    } else if ((Byte == '}' || Byte == ']') && Depth != 0) {
      Depth--;
    }
  }
  return Deepest;
}

BODY_READ ReadObjectBody(const std::string &Text, Json *Value) {
  if (Text.find_first_not_of(" \t\r\n") == std::string::npos) {
    *Value = Json::object();
    return BODY_READ::Empty;
  }
  if (JsonNesting(Text, MAX_JSON_NESTING) > MAX_JSON_NESTING) {
    return BODY_READ::TooDeep;
  }
  *Value = Json::parse(Text, nullptr, false);
  if (Value->is_discarded()) {
    return BODY_READ::NotJson;
  }
  return Value->is_object() ? BODY_READ::Object : BODY_READ::NotObject;
}

Json ParseStored(const std::string &Text) {
  if (JsonNesting(Text, MAX_JSON_NESTING) > MAX_JSON_NESTING) {
    return Json(Json::value_t::discarded);
  }
  return Json::parse(Text, nullptr, false);
}

std::string Dump(const Json &Value) {
  return Value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string EntityTag(const std::string &Body) {
  uint64_t Hash = 0xcbf29ce484222325ULL;
  for (unsigned char Byte : Body) {
    Hash = (Hash ^ Byte) * 0x100000001b3ULL;
  }
  char Text[24];
  std::snprintf(Text, sizeof(Text), "\"%016llx\"", static_cast<unsigned long long>(Hash));
  return Text;
}

namespace {

/// The members of an entity-tag list ("*" alone, or tags with their W/),
/// trimmed; false for a list that does not read.
bool TagList(const std::string &Header, std::vector<std::string> *Tags) {
  size_t At = 0;
  while (At < Header.size()) {
    while (At < Header.size() && (Header[At] == ' ' || Header[At] == '\t' || Header[At] == ',')) {
      At++;
    }
    if (At >= Header.size()) {
      break;
    }
    size_t Start = At;
    if (Header.compare(At, 1, "*") == 0) {
      At++;
    } else {
      if (Header.compare(At, 2, "W/") == 0) {
        At += 2;
      }
      if (At >= Header.size() || Header[At] != '"') {
        return false;
      }
      size_t Close = Header.find('"', At + 1);
      if (Close == std::string::npos) {
        return false;
      }
      At = Close + 1;
    }
    Tags->push_back(Header.substr(Start, At - Start));
  }
  return true;
}

}  // namespace

bool IfMatchHolds(const std::string &Header, const std::string &Tag) {
  std::vector<std::string> Tags;
  if (!TagList(Header, &Tags)) {
    return false;
  }
  for (const std::string &Listed : Tags) {
    if (Listed == "*" || Listed == Tag) {
      return true;
    }
  }
  return false;
}

bool IfNoneMatchHolds(const std::string &Header, const std::string &Tag) {
  std::vector<std::string> Tags;
  if (!TagList(Header, &Tags)) {
    return true;
  }
  for (const std::string &Listed : Tags) {
    std::string Opaque = Listed.compare(0, 2, "W/") == 0 ? Listed.substr(2) : Listed;
    if (Listed == "*" || Opaque == Tag) {
      return false;
    }
  }
  return true;
}

bool DecodeBase64(const std::string &Text, std::string *Out) {
  static const std::string Alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  Out->clear();
  if (Text.empty() || Text.size() % 4 != 0) {
    return false;
  }
  uint32_t Bits = 0;
  int Count = 0;
  size_t Padding = 0;
  for (size_t Index = 0; Index < Text.size(); Index++) {
    char Char = Text[Index];
    if (Char == '=') {
      // Padding: only the last one or two characters.
      if (Index + 2 < Text.size()) {
        return false;
      }
      Padding++;
      continue;
    }
    if (Padding != 0) {
      return false;
    }
    size_t Value = Alphabet.find(Char);
    if (Value == std::string::npos) {
      return false;
    }
    Bits = (Bits << 6) | static_cast<uint32_t>(Value);
    Count += 6;
    if (Count >= 8) {
      Count -= 8;
      Out->push_back(static_cast<char>((Bits >> Count) & 0xFF));
    }
  }
  // The bits the padding leaves over must be zero.
  return (Bits & ((1u << Count) - 1)) == 0;
}

std::string Sha256Hex(const std::string &Text) {
  unsigned char Digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char *>(Text.data()), Text.size(), Digest);
  std::string Hex;
  char Pair[3];
  for (unsigned char Byte : Digest) {
    std::snprintf(Pair, sizeof(Pair), "%02x", Byte);
    Hex += Pair;
  }
  return Hex;
}

bool SecretsEqual(const std::string &A, const std::string &B) {
  unsigned char Left[SHA256_DIGEST_LENGTH];
  unsigned char Right[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char *>(A.data()), A.size(), Left);
  SHA256(reinterpret_cast<const unsigned char *>(B.data()), B.size(), Right);
  return CRYPTO_memcmp(Left, Right, sizeof(Left)) == 0;
}

std::string NewToken() {
  unsigned char Bytes[16];
  if (RAND_bytes(Bytes, sizeof(Bytes)) != 1) {
    std::abort();
  }
  std::string Hex;
  char Pair[3];
  for (unsigned char Byte : Bytes) {
    std::snprintf(Pair, sizeof(Pair), "%02x", Byte);
    Hex += Pair;
  }
  return Hex;
}

Json Link(const std::string &Uri) { return Json{{"@odata.id", Uri}}; }

std::string Iso8601(int64_t Seconds) {
  time_t Time = static_cast<time_t>(Seconds);
  tm Parts = {};
  gmtime_r(&Time, &Parts);
  char Text[32];
  std::strftime(Text, sizeof(Text), "%Y-%m-%dT%H:%M:%S+00:00", &Parts);
  return Text;
}
