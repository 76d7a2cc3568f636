// The REST producer's one HTTP child of the platform's network stack and its
// one kept-alive connection, as EDK2's HttpDxe serves them: tokens whose
// events have no notify function, completed by Poll; the response's status
// and headers in one call, its body piece by piece, framed by the producer
// itself (HttpDxe hands chunked bodies over raw). Every wait is bounded by
// the exchange's deadline; a failure resets the child (Configure(NULL), then
// Configure), so that the next exchange starts on a fresh connection, and
// one that failed on a connection an earlier exchange had left open is tried
// once more on a fresh one: the service may have closed it meanwhile.
#pragma once

#include "producer/ServiceLocation.h"
#include "uefi/ServiceBinding.h"

/// The largest response body the producer accepts, and the most header bytes.
constexpr UINTN MAX_RESPONSE_BODY = 16u << 20;
constexpr UINTN MAX_RESPONSE_HEADER_BYTES = 64u << 10;

/// What one exchange brought back. Headers and Body come from pool and belong
/// to the caller (each name, each value, the array; the body, NUL-terminated).
struct HTTP_ANSWER {
  EFI_HTTP_STATUS_CODE StatusCode;
  UINTN HeaderCount;
  EFI_HTTP_HEADER *Headers;
  UINTN BodyLength;
  CHAR8 *Body;
};

/// One request: an absolute URL, at least one header (HttpDxe refuses none).
struct HTTP_ASK {
  EFI_HTTP_METHOD Method;
  CHAR16 *Url;
  UINTN HeaderCount;
  EFI_HTTP_HEADER *Headers;
  UINTN BodyLength;
  VOID *Body;
};

/// Releases the headers of an answer (each name, each value, the array).
void FreeHeaders(EFI_HTTP_HEADER *Headers, UINTN Count);

class HttpChannel {
 public:
  HttpChannel() = default;
  HttpChannel(const HttpChannel &) = delete;
  HttpChannel &operator=(const HttpChannel &) = delete;

  /// Makes a child of the HTTP service binding on Nic and configures it for
  /// the host's address in Location. EFI_SUCCESS, or the failing call's
  /// status with nothing left behind.
  [[nodiscard]] EFI_STATUS Open(EFI_HANDLE Nic, const REDFISH_SERVICE_LOCATION &Location);

  /// Sends Ask and receives its answer within TimeoutMs milliseconds.
  /// EFI_SUCCESS with *Answer filled when an answer came, whatever its HTTP
  /// status; otherwise EFI_TIMEOUT, EFI_BAD_BUFFER_SIZE (a body or headers
  /// over the limits), EFI_PROTOCOL_ERROR (a broken body), or the network
  /// stack's status, with *Answer empty and the connection reset.
  [[nodiscard]] EFI_STATUS Exchange(const HTTP_ASK &Ask, UINT32 TimeoutMs, HTTP_ANSWER *Answer);

  /// Closes the connection: the next exchange opens a new one.
  void Reset();

  /// Destroys the child and its events (the channel can be opened again).
  void Close();

 private:
  [[nodiscard]] EFI_STATUS Attempt(const HTTP_ASK &Ask, HTTP_ANSWER *Answer, bool *Received);
  /// Waits until HttpDxe completes Token, polling; EFI_TIMEOUT at the deadline.
  [[nodiscard]] EFI_STATUS Wait(EFI_HTTP_TOKEN *Token);
  [[nodiscard]] EFI_STATUS ReadBody(const HTTP_ASK &Ask, HTTP_ANSWER *Answer);
  /// One body read of at most Room bytes into Into; *Read what came (0: the
  /// stack saw the message end).
  [[nodiscard]] EFI_STATUS ReadPiece(CHAR8 *Into, UINTN Room, UINTN *Read);
  [[nodiscard]] bool Expired();

  EFI_SERVICE_BINDING_PROTOCOL *mService = nullptr;
  EFI_HANDLE mChild = nullptr;
  EFI_HTTP_PROTOCOL *mHttp = nullptr;
  EFI_HTTPv4_ACCESS_POINT mAccessPoint = {};
  EFI_HTTP_CONFIG_DATA mConfig = {};
  EFI_EVENT mRequestEvent = nullptr;
  EFI_EVENT mResponseEvent = nullptr;
  EFI_EVENT mDeadline = nullptr;
  bool mExpired = false;
  /// An answer came on the current connection: it may be kept alive.
  bool mConnectionUsed = false;
  /// The answer spent the connection (a body framed by its close, or bytes
  /// past the body's end): it is reset once the answer is taken.
  bool mResetAfter = false;
  // HttpDxe keeps pointers to these until a token completes or the child is
  // reset, which may be after the exchange that made them returned.
  EFI_HTTP_REQUEST_DATA mRequestData = {};
  EFI_HTTP_MESSAGE mRequestMessage = {};
  EFI_HTTP_TOKEN mRequestToken = {};
  EFI_HTTP_RESPONSE_DATA mResponseData = {};
  EFI_HTTP_MESSAGE mResponseMessage = {};
  EFI_HTTP_TOKEN mResponseToken = {};
};
