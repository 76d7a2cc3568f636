// HTTP/1.1 on the wire (RFC 9112), for the host side: a request parser that
// takes bytes as they arrive and holds every part of a request to a limit,
// the parts of a response head, the chunked coding, and the writing of a
// response. The twin's listener, the QEMU runner's answerer on the guest's
// forwarded stream and the emulator's HTTP stack all read and write HTTP
// through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct HTTP_FIELD {
  std::string Name;
  std::string Value;
};

/// Case-insensitive ASCII equality, as field names compare.
bool HttpNameEqual(const std::string &A, const std::string &B);

/// The value of the first field named Name, or null.
const std::string *HttpFindField(const std::vector<HTTP_FIELD> &Fields, const std::string &Name);

/// TRUE when a comma-separated field value lists Token (any case).
bool HttpListHas(const std::string &Value, const std::string &Token);

/// Text with each "%XX" (two hex digits) as the byte it stands for; a "%"
/// without two hex digits after it stays as it is.
std::string HttpPercentDecoded(const std::string &Text);

struct HttpRequest {
  std::string Method;
  std::string Target;  ///< as sent: origin form ("/redfish/v1?x") or absolute
  int Minor = 1;       ///< HTTP/1.<Minor>
  std::vector<HTTP_FIELD> Fields;
  std::string Body;

  /// The target's path: the origin form without its query; the path of an
  /// absolute form.
  [[nodiscard]] std::string Path() const;
  /// Whether the connection stays open after the answer (HTTP/1.1 unless
  /// "Connection: close"; HTTP/1.0 only with "Connection: keep-alive").
  [[nodiscard]] bool KeepAlive() const;
};

struct HTTP_LIMITS {
  size_t MaxLine = 8192;          ///< the request line
  size_t MaxHeaderBytes = 65536;  ///< every field line together
  size_t MaxFields = 100;
  size_t MaxBody = 16u << 20;
};

/// Where a chunked body ends. Feed takes raw bytes and says how many belong
/// to the body; Done once its last chunk and trailer have passed, Broken for
/// framing that cannot be read. Decoded receives the data when given.
class ChunkedEnd {
 public:
  /// EmptySizeIsZero: a chunk-size line without digits reads as 0 (the
  /// last chunk), as EDK2's DxeHttpLib parses it; otherwise it is broken.
  explicit ChunkedEnd(bool EmptySizeIsZero = false) : mEmptySizeIsZero(EmptySizeIsZero) {}

  size_t Feed(const char *Data, size_t Length, std::string *Decoded = nullptr);
  [[nodiscard]] bool Done() const { return mDone; }
  [[nodiscard]] bool Broken() const { return mBroken; }

 private:
  enum class PART {
    Size,
    Extension,
    SizeFeed,
    Data,
    DataReturn,
    DataFeed,
    Trailer,
    TrailerLine,
    TrailerFeed,
    FinalFeed
  };
  PART mPart = PART::Size;
  uint64_t mLeft = 0;
  size_t mDigits = 0;
  bool mEmptySizeIsZero;
  bool mDone = false;
  bool mBroken = false;
};

/// Reads one request after another from a byte stream. Feed takes what has
/// arrived; once a request is whole, Take hands it over and the parser goes
/// on with the bytes after it (a pipelined request).
class HttpRequestParser {
 public:
  enum class STATE { Head, Body, Chunked, Done, Error };

  explicit HttpRequestParser(HTTP_LIMITS Limits = HTTP_LIMITS()) : mLimits(Limits) {}

  /// Takes Length bytes. Returns how many it used: fewer than Length once a
  /// request is whole (Done) or the bytes are refused (Error).
  size_t Feed(const char *Data, size_t Length);

  [[nodiscard]] STATE State() const { return mState; }
  /// True once the head of the request has arrived (its body may not have).
  [[nodiscard]] bool HasHead() const { return mState != STATE::Head && mState != STATE::Error; }
  /// Whether the parser holds any part of a request.
  [[nodiscard]] bool Started() const { return mStarted; }
  /// With the head arrived: its fields.
  [[nodiscard]] const std::vector<HTTP_FIELD> &HeadFields() const { return mRequest.Fields; }
  /// Whether any body byte has arrived.
  [[nodiscard]] bool BodyStarted() const { return !mRequest.Body.empty() || mBodyTaken; }

  /// With Error: the status to answer (400, 413, 414, 431, 501, 505) and why.
  [[nodiscard]] int ErrorCode() const { return mErrorCode; }
  [[nodiscard]] const std::string &ErrorText() const { return mErrorText; }

  /// With Done: the request; the parser is ready for the next one.
  HttpRequest Take();

 private:
  void Fail(int Code, const std::string &Text);
  bool ParseHead();
  size_t FeedHead(const char *Data, size_t Length);
  size_t FeedChunked(const char *Data, size_t Length);

  HTTP_LIMITS mLimits;
  STATE mState = STATE::Head;
  bool mStarted = false;
  std::string mHead;
  HttpRequest mRequest;
  size_t mBodyLeft = 0;
  bool mBodyTaken = false;
  ChunkedEnd mChunks;
  int mErrorCode = 0;
  std::string mErrorText;
};

/// What a server answers to one request: the status, its fields and its
/// body; or, with Drop, nothing at all (the connection is closed).
struct HttpAnswer {
  bool Drop = false;
  int Code = 200;
  std::vector<HTTP_FIELD> Fields;
  std::string Body;
};

/// A response's status line and fields, parsed from its head (everything
/// before the blank line, which is not included).
struct HttpResponseHead {
  int Minor = 1;
  int Code = 0;
  std::vector<HTTP_FIELD> Fields;
};

/// Parses a response head; false for one that does not read.
bool ParseResponseHead(const std::string &Head, HttpResponseHead *Parsed);

/// The reason phrase of a status code ("OK", "Not Found", ...).
const char *HttpReason(int Code);

/// A whole response: the status line, Fields, Content-Length (unless Code
/// has no body), and Body unless Head is set (a HEAD request's answer keeps
/// the length of the body it leaves out).
std::string HttpResponseText(int Code, const std::vector<HTTP_FIELD> &Fields,
                             const std::string &Body, bool Head);
