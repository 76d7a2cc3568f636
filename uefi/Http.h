// The UEFI standard's HTTP protocol: its message records (which
// EFI_REST_PROTOCOL uses too), its configuration and token records, the
// protocol itself and its service binding.
#pragma once

#include "uefi/UefiBaseType.h"

enum EFI_HTTP_METHOD : UINT32 {
  HttpMethodGet,
  HttpMethodPost,
  HttpMethodPatch,
  HttpMethodOptions,
  HttpMethodConnect,
  HttpMethodHead,
  HttpMethodPut,
  HttpMethodDelete,
  HttpMethodTrace,
  HttpMethodMax
};

enum EFI_HTTP_STATUS_CODE : UINT32 {
  HTTP_STATUS_UNSUPPORTED_STATUS = 0,
  HTTP_STATUS_100_CONTINUE,
  HTTP_STATUS_101_SWITCHING_PROTOCOLS,
  HTTP_STATUS_200_OK,
  HTTP_STATUS_201_CREATED,
  HTTP_STATUS_202_ACCEPTED,
  HTTP_STATUS_203_NON_AUTHORITATIVE_INFORMATION,
  HTTP_STATUS_204_NO_CONTENT,
  HTTP_STATUS_205_RESET_CONTENT,
  HTTP_STATUS_206_PARTIAL_CONTENT,
  HTTP_STATUS_300_MULTIPLE_CHOICES,
  HTTP_STATUS_301_MOVED_PERMANENTLY,
  HTTP_STATUS_302_FOUND,
  HTTP_STATUS_303_SEE_OTHER,
  HTTP_STATUS_304_NOT_MODIFIED,
  HTTP_STATUS_305_USE_PROXY,
  HTTP_STATUS_307_TEMPORARY_REDIRECT,
  HTTP_STATUS_400_BAD_REQUEST,
  HTTP_STATUS_401_UNAUTHORIZED,
  HTTP_STATUS_402_PAYMENT_REQUIRED,
  HTTP_STATUS_403_FORBIDDEN,
  HTTP_STATUS_404_NOT_FOUND,
  HTTP_STATUS_405_METHOD_NOT_ALLOWED,
  HTTP_STATUS_406_NOT_ACCEPTABLE,
  HTTP_STATUS_407_PROXY_AUTHENTICATION_REQUIRED,
  HTTP_STATUS_408_REQUEST_TIME_OUT,
  HTTP_STATUS_409_CONFLICT,
  HTTP_STATUS_410_GONE,
  HTTP_STATUS_411_LENGTH_REQUIRED,
  HTTP_STATUS_412_PRECONDITION_FAILED,
  HTTP_STATUS_413_REQUEST_ENTITY_TOO_LARGE,
  HTTP_STATUS_414_REQUEST_URI_TOO_LARGE,
  HTTP_STATUS_415_UNSUPPORTED_MEDIA_TYPE,
  HTTP_STATUS_416_REQUESTED_RANGE_NOT_SATISFIED,
  HTTP_STATUS_417_EXPECTATION_FAILED,
  HTTP_STATUS_500_INTERNAL_SERVER_ERROR,
  HTTP_STATUS_501_NOT_IMPLEMENTED,
  HTTP_STATUS_502_BAD_GATEWAY,
  HTTP_STATUS_503_SERVICE_UNAVAILABLE,
  HTTP_STATUS_504_GATEWAY_TIME_OUT,
  HTTP_STATUS_505_HTTP_VERSION_NOT_SUPPORTED,
  HTTP_STATUS_308_PERMANENT_REDIRECT,
  HTTP_STATUS_429_TOO_MANY_REQUESTS
};

struct EFI_HTTP_REQUEST_DATA {
  EFI_HTTP_METHOD Method;
  CHAR16 *Url;
};

struct EFI_HTTP_RESPONSE_DATA {
  EFI_HTTP_STATUS_CODE StatusCode;
};

struct EFI_HTTP_HEADER {
  CHAR8 *FieldName;
  CHAR8 *FieldValue;
};

struct EFI_HTTP_MESSAGE {
  union {
    EFI_HTTP_REQUEST_DATA *Request;
    EFI_HTTP_RESPONSE_DATA *Response;
  } Data;
  UINTN HeaderCount;
  EFI_HTTP_HEADER *Headers;
  UINTN BodyLength;
  VOID *Body;
};

static_assert(sizeof(EFI_HTTP_REQUEST_DATA) == 16, "EFI_HTTP_REQUEST_DATA size");
static_assert(offsetof(EFI_HTTP_REQUEST_DATA, Url) == 8, "Url");
static_assert(sizeof(EFI_HTTP_RESPONSE_DATA) == 4, "EFI_HTTP_RESPONSE_DATA size");
static_assert(sizeof(EFI_HTTP_HEADER) == 16, "EFI_HTTP_HEADER size");
static_assert(sizeof(EFI_HTTP_MESSAGE) == 40, "EFI_HTTP_MESSAGE size");
static_assert(offsetof(EFI_HTTP_MESSAGE, HeaderCount) == 8, "HeaderCount");
static_assert(offsetof(EFI_HTTP_MESSAGE, Headers) == 16, "Headers");
static_assert(offsetof(EFI_HTTP_MESSAGE, BodyLength) == 24, "BodyLength");
static_assert(offsetof(EFI_HTTP_MESSAGE, Body) == 32, "Body");

/// An IPv4 address, network byte order.
struct EFI_IPv4_ADDRESS {
  UINT8 Addr[4];
};

enum EFI_HTTP_VERSION : UINT32 { HttpVersion10, HttpVersion11, HttpVersionUnsupported };

struct EFI_HTTPv4_ACCESS_POINT {
  BOOLEAN UseDefaultAddress;  ///< TRUE: the interface's own address (DHCP, or Ip4Config2)
  EFI_IPv4_ADDRESS LocalAddress;
  EFI_IPv4_ADDRESS LocalSubnet;
  UINT16 LocalPort;  ///< 0: any
};

struct EFI_HTTP_CONFIG_DATA {
  EFI_HTTP_VERSION HttpVersion;
  UINT32 TimeOutMillisec;
  BOOLEAN LocalAddressIsIPv6;
  union {
    EFI_HTTPv4_ACCESS_POINT *IPv4Node;
    VOID *IPv6Node;
  } AccessPoint;
};

/// One asynchronous request or response: Event is signalled and Status set
/// when it completes.
struct EFI_HTTP_TOKEN {
  EFI_EVENT Event;
  EFI_STATUS Status;
  EFI_HTTP_MESSAGE *Message;
};

struct EFI_HTTP_PROTOCOL;

/// Returns the configuration (EFI_NOT_STARTED before Configure).
using EFI_HTTP_GET_MODE_DATA = EFI_STATUS(EFIAPI *)(EFI_HTTP_PROTOCOL *This,
                                                    EFI_HTTP_CONFIG_DATA *HttpConfigData);

/// Configures the instance (EFI_ALREADY_STARTED when it is); null resets it,
/// closing its connection and forgetting every token.
using EFI_HTTP_CONFIGURE = EFI_STATUS(EFIAPI *)(EFI_HTTP_PROTOCOL *This,
                                                EFI_HTTP_CONFIG_DATA *HttpConfigData);

/// Sends the request of Token->Message, whose Url must be absolute.
using EFI_HTTP_REQUEST = EFI_STATUS(EFIAPI *)(EFI_HTTP_PROTOCOL *This, EFI_HTTP_TOKEN *Token);

/// Cancels a pending token (null: all of them).
using EFI_HTTP_CANCEL = EFI_STATUS(EFIAPI *)(EFI_HTTP_PROTOCOL *This, EFI_HTTP_TOKEN *Token);

/// Receives the response's status and headers (Data.Response given) or the
/// next piece of its body (Data.Response null) into Token->Message.
using EFI_HTTP_RESPONSE = EFI_STATUS(EFIAPI *)(EFI_HTTP_PROTOCOL *This, EFI_HTTP_TOKEN *Token);

/// Moves the network along: polls the device and completes tokens.
using EFI_HTTP_POLL = EFI_STATUS(EFIAPI *)(EFI_HTTP_PROTOCOL *This);

struct EFI_HTTP_PROTOCOL {
  EFI_HTTP_GET_MODE_DATA GetModeData;
  EFI_HTTP_CONFIGURE Configure;
  EFI_HTTP_REQUEST Request;
  EFI_HTTP_CANCEL Cancel;
  EFI_HTTP_RESPONSE Response;
  EFI_HTTP_POLL Poll;
};

static_assert(sizeof(EFI_HTTPv4_ACCESS_POINT) == 12, "EFI_HTTPv4_ACCESS_POINT size");
static_assert(offsetof(EFI_HTTPv4_ACCESS_POINT, LocalSubnet) == 5, "LocalSubnet");
static_assert(offsetof(EFI_HTTPv4_ACCESS_POINT, LocalPort) == 10, "LocalPort");
static_assert(sizeof(EFI_HTTP_CONFIG_DATA) == 24, "EFI_HTTP_CONFIG_DATA size");
static_assert(offsetof(EFI_HTTP_CONFIG_DATA, LocalAddressIsIPv6) == 8, "LocalAddressIsIPv6");
static_assert(offsetof(EFI_HTTP_CONFIG_DATA, AccessPoint) == 16, "AccessPoint");
static_assert(sizeof(EFI_HTTP_TOKEN) == 24, "EFI_HTTP_TOKEN size");
static_assert(offsetof(EFI_HTTP_TOKEN, Message) == 16, "Message");
static_assert(sizeof(EFI_HTTP_PROTOCOL) == 48, "EFI_HTTP_PROTOCOL size");
static_assert(offsetof(EFI_HTTP_PROTOCOL, Poll) == 40, "Poll");

#define EFI_HTTP_SERVICE_BINDING_PROTOCOL_GUID                                     \
  {                                                                                \
    0xbdc8e6af, 0xd9bc, 0x4379, { 0xa7, 0x2a, 0xe0, 0xc4, 0xe7, 0x5d, 0xae, 0x1c } \
  }
#define EFI_HTTP_PROTOCOL_GUID                                                     \
  {                                                                                \
    0x7a59b29b, 0x910b, 0x4171, { 0x82, 0x42, 0xa8, 0x5a, 0x0d, 0xf2, 0x5b, 0x5b } \
  }
