#include "sim/common/HttpNames.h"

#include "sim/common/SimMemory.h"

namespace {

constexpr const CHAR8 *mMethodNames[] = {"GET",  "POST", "PATCH",  "OPTIONS", "CONNECT",
                                         "HEAD", "PUT",  "DELETE", "TRACE"};
static_assert(sizeof(mMethodNames) / sizeof(mMethodNames[0]) == HttpMethodMax,
              "one name per EFI_HTTP_METHOD");

struct HTTP_STATUS_ENTRY {
  UINT16 Number;
  EFI_HTTP_STATUS_CODE Code;
};

constexpr HTTP_STATUS_ENTRY mStatusCodes[] = {
    {100, HTTP_STATUS_100_CONTINUE},
    {101, HTTP_STATUS_101_SWITCHING_PROTOCOLS},
    {200, HTTP_STATUS_200_OK},
    {201, HTTP_STATUS_201_CREATED},
    {202, HTTP_STATUS_202_ACCEPTED},
    {203, HTTP_STATUS_203_NON_AUTHORITATIVE_INFORMATION},
    {204, HTTP_STATUS_204_NO_CONTENT},
    {205, HTTP_STATUS_205_RESET_CONTENT},
    {206, HTTP_STATUS_206_PARTIAL_CONTENT},
    {300, HTTP_STATUS_300_MULTIPLE_CHOICES},
    {301, HTTP_STATUS_301_MOVED_PERMANENTLY},
    {302, HTTP_STATUS_302_FOUND},
    {303, HTTP_STATUS_303_SEE_OTHER},
    {304, HTTP_STATUS_304_NOT_MODIFIED},
    {305, HTTP_STATUS_305_USE_PROXY},
    {307, HTTP_STATUS_307_TEMPORARY_REDIRECT},
    {308, HTTP_STATUS_308_PERMANENT_REDIRECT},
    {400, HTTP_STATUS_400_BAD_REQUEST},
    {401, HTTP_STATUS_401_UNAUTHORIZED},
    {402, HTTP_STATUS_402_PAYMENT_REQUIRED},
    {403, HTTP_STATUS_403_FORBIDDEN},
    {404, HTTP_STATUS_404_NOT_FOUND},
    {405, HTTP_STATUS_405_METHOD_NOT_ALLOWED},
    {406, HTTP_STATUS_406_NOT_ACCEPTABLE},
    {407, HTTP_STATUS_407_PROXY_AUTHENTICATION_REQUIRED},
    {408, HTTP_STATUS_408_REQUEST_TIME_OUT},
    {409, HTTP_STATUS_409_CONFLICT},
    {410, HTTP_STATUS_410_GONE},
    {411, HTTP_STATUS_411_LENGTH_REQUIRED},
    {412, HTTP_STATUS_412_PRECONDITION_FAILED},
    {413, HTTP_STATUS_413_REQUEST_ENTITY_TOO_LARGE},
    {414, HTTP_STATUS_414_REQUEST_URI_TOO_LARGE},
    {415, HTTP_STATUS_415_UNSUPPORTED_MEDIA_TYPE},
    {416, HTTP_STATUS_416_REQUESTED_RANGE_NOT_SATISFIED},
    {417, HTTP_STATUS_417_EXPECTATION_FAILED},
    {429, HTTP_STATUS_429_TOO_MANY_REQUESTS},
    {500, HTTP_STATUS_500_INTERNAL_SERVER_ERROR},
    {501, HTTP_STATUS_501_NOT_IMPLEMENTED},
    {502, HTTP_STATUS_502_BAD_GATEWAY},
    {503, HTTP_STATUS_503_SERVICE_UNAVAILABLE},
    {504, HTTP_STATUS_504_GATEWAY_TIME_OUT},
    {505, HTTP_STATUS_505_HTTP_VERSION_NOT_SUPPORTED},
};

}  // namespace

const CHAR8 *HttpMethodName(UINT32 Method) {
  return Method < HttpMethodMax ? mMethodNames[Method] : nullptr;
}

bool HttpMethodFromName(const CHAR8 *Name, EFI_HTTP_METHOD *Method) {
  for (UINT32 Index = 0; Index < HttpMethodMax; Index++) {
    if (SimStringEqual(mMethodNames[Index], Name)) {
      *Method = static_cast<EFI_HTTP_METHOD>(Index);
      return true;
    }
  }
  return false;
}

EFI_HTTP_STATUS_CODE HttpStatusCodeOf(UINT32 Number) {
  for (const HTTP_STATUS_ENTRY &Entry : mStatusCodes) {
    if (Entry.Number == Number) {
      return Entry.Code;
    }
  }
  return HTTP_STATUS_UNSUPPORTED_STATUS;
}

UINT32 HttpStatusNumberOf(UINT32 Code) {
  for (const HTTP_STATUS_ENTRY &Entry : mStatusCodes) {
    if (static_cast<UINT32>(Entry.Code) == Code) {
      return Entry.Number;
    }
  }
  return 0;
}

namespace {

/// ASCII case-insensitive equality, as HTTP compares header names.
bool SameHeaderName(const CHAR8 *A, const CHAR8 *B) {
  for (; *A != '\0' && *B != '\0'; A++, B++) {
    CHAR8 Left = *A >= 'A' && *A <= 'Z' ? static_cast<CHAR8>(*A - 'A' + 'a') : *A;
    CHAR8 Right = *B >= 'A' && *B <= 'Z' ? static_cast<CHAR8>(*B - 'A' + 'a') : *B;
    if (Left != Right) {
      return false;
    }
  }
  return *A == *B;
}

bool FitsHeaderLine(const CHAR8 *Text) {
  for (; *Text != '\0'; Text++) {
    if (*Text == '\r' || *Text == '\n') {
      return false;
    }
  }
  return true;
}

}  // namespace

bool HttpHeaderTravels(const CHAR8 *Name, const CHAR8 *Value) {
  static constexpr const CHAR8 *FRAMING[] = {"Content-Length", "Host", "Connection",
                                             "Transfer-Encoding"};
  if (Name == nullptr || Value == nullptr || !FitsHeaderLine(Name) || !FitsHeaderLine(Value)) {
    return false;
  }
  for (const CHAR8 *Framing : FRAMING) {
    if (SameHeaderName(Name, Framing)) {
      return false;
    }
  }
  return true;
}
