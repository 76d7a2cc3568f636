#include "http/HttpWire.h"

#include <cctype>
#include <cstring>

namespace {

char Lower(char Byte) { return Byte >= 'A' && Byte <= 'Z' ? static_cast<char>(Byte + 32) : Byte; }

/// RFC 9110's tchar: the characters of a token (methods, field names).
bool IsTokenChar(char Byte) {
  if ((Byte >= '0' && Byte <= '9') || (Byte >= 'a' && Byte <= 'z') ||
      (Byte >= 'A' && Byte <= 'Z')) {
    return true;
  }
  return std::strchr("!#$%&'*+-.^_`|~", Byte) != nullptr && Byte != '\0';
}

bool IsToken(const std::string &Text) {
  if (Text.empty()) {
    return false;
  }
  for (char Byte : Text) {
    if (!IsTokenChar(Byte)) {
      return false;
    }
  }
  return true;
}

std::string Trim(const std::string &Text) {
  size_t First = Text.find_first_not_of(" \t");
  if (First == std::string::npos) {
    return std::string();
  }
  size_t Last = Text.find_last_not_of(" \t");
  return Text.substr(First, Last - First + 1);
}

/// Splits a head into lines (CRLF or a bare LF ends one).
std::vector<std::string> Lines(const std::string &Head) {
  std::vector<std::string> Result;
  size_t Start = 0;
  while (Start <= Head.size()) {
    size_t End = Head.find('\n', Start);
    if (End == std::string::npos) {
      End = Head.size();
    }
    size_t Cut = End > Start && Head[End - 1] == '\r' ? End - 1 : End;
    Result.push_back(Head.substr(Start, Cut - Start));
    Start = End + 1;
  }
  return Result;
}

/// Parses "Name: value" lines into Fields; false for one that does not read
/// (no colon, a name that is no token, white space before the colon, a
/// folded line).
bool ParseFields(const std::vector<std::string> &Lines, size_t First,
                 std::vector<HTTP_FIELD> *Fields) {
  for (size_t Index = First; Index < Lines.size(); Index++) {
    const std::string &Line = Lines[Index];
    if (Line.empty()) {
      continue;
    }
    size_t Colon = Line.find(':');
    if (Colon == std::string::npos || !IsToken(Line.substr(0, Colon))) {
      return false;
    }
    for (char Byte : Line) {
      // Bare CR and NUL have no place in a field line.
      if (Byte == '\r' || Byte == '\0') {
        return false;
      }
    }
    Fields->push_back({Line.substr(0, Colon), Trim(Line.substr(Colon + 1))});
  }
  return true;
}

/// Reads a Content-Length value: digits only, no more than Limit; Large is
/// set when it is larger.
bool ReadLength(const std::string &Value, size_t Limit, size_t *Length, bool *Large) {
  if (Value.empty() || Value.size() > 20) {
    *Large = Value.size() > 20 && Value.find_first_not_of("0123456789") == std::string::npos;
    return false;
  }
  uint64_t Parsed = 0;
  for (char Byte : Value) {
    if (Byte < '0' || Byte > '9') {
      return false;
    }
    Parsed = Parsed * 10 + static_cast<uint64_t>(Byte - '0');
    if (Parsed > Limit) {
      *Large = true;
      return false;
    }
  }
  *Length = static_cast<size_t>(Parsed);
  return true;
}

}  // namespace

bool HttpNameEqual(const std::string &A, const std::string &B) {
  if (A.size() != B.size()) {
    return false;
  }
  for (size_t Index = 0; Index < A.size(); Index++) {
    if (Lower(A[Index]) != Lower(B[Index])) {
      return false;
    }
  }
  return true;
}

const std::string *HttpFindField(const std::vector<HTTP_FIELD> &Fields, const std::string &Name) {
  for (const HTTP_FIELD &Field : Fields) {
    if (HttpNameEqual(Field.Name, Name)) {
      return &Field.Value;
    }
  }
  return nullptr;
}

bool HttpListHas(const std::string &Value, const std::string &Token) {
  size_t Start = 0;
  while (Start <= Value.size()) {
    size_t End = Value.find(',', Start);
    if (End == std::string::npos) {
      End = Value.size();
    }
    if (HttpNameEqual(Trim(Value.substr(Start, End - Start)), Token)) {
      return true;
    }
    Start = End + 1;
  }
  return false;
}

std::string HttpPercentDecoded(const std::string &Text) {
  std::string Decoded;
  Decoded.reserve(Text.size());
  for (size_t Index = 0; Index < Text.size(); Index++) {
    if (Text[Index] == '%' && Index + 2 < Text.size() &&
        isxdigit(static_cast<unsigned char>(Text[Index + 1])) != 0 &&
        isxdigit(static_cast<unsigned char>(Text[Index + 2])) != 0) {
      Decoded.push_back(static_cast<char>(std::stoi(Text.substr(Index + 1, 2), nullptr, 16)));
      Index += 2;
    } else {
      Decoded.push_back(Text[Index]);
    }
  }
  return Decoded;
}

std::string HttpRequest::Path() const {
  std::string Path = Target;
  size_t Scheme = Path.find("://");
  if (Scheme != std::string::npos && Path[0] != '/') {
    size_t Slash = Path.find('/', Scheme + 3);
    Path = Slash == std::string::npos ? std::string("/") : Path.substr(Slash);
  }
  size_t Query = Path.find_first_of("?#");
  return Query == std::string::npos ? Path : Path.substr(0, Query);
}

bool HttpRequest::KeepAlive() const {
  const std::string *Connection = HttpFindField(Fields, "Connection");
  if (Minor == 0) {
    return Connection != nullptr && HttpListHas(*Connection, "keep-alive");
  }
  return Connection == nullptr || !HttpListHas(*Connection, "close");
}

size_t ChunkedEnd::Feed(const char *Data, size_t Length, std::string *Decoded) {
  size_t Used = 0;
  while (Used < Length && !mDone && !mBroken) {
    if (mPart == PART::Data) {
      size_t Run = Length - Used;
      if (Run > mLeft) {
        Run = static_cast<size_t>(mLeft);
      }
      if (Decoded != nullptr) {
        Decoded->append(Data + Used, Run);
      }
      Used += Run;
      mLeft -= Run;
      if (mLeft == 0) {
        mPart = PART::DataReturn;
      }
      continue;
    }
    char Byte = Data[Used++];
    switch (mPart) {
      case PART::Size: {
        int Digit = Byte >= '0' && Byte <= '9'   ? Byte - '0'
                    : Byte >= 'a' && Byte <= 'f' ? Byte - 'a' + 10
                    : Byte >= 'A' && Byte <= 'F' ? Byte - 'A' + 10
                                                 : -1;
        if (Digit >= 0 && mDigits < 16) {
          mLeft = mLeft * 16 + static_cast<uint64_t>(Digit);
          mDigits++;
        } else if (Digit < 0 && (mDigits != 0 || mEmptySizeIsZero) &&
                   (Byte == ';' || Byte == ' ' || Byte == '\t')) {
          mPart = PART::Extension;
        } else if (Digit < 0 && (mDigits != 0 || mEmptySizeIsZero) && Byte == '\r') {
          mPart = PART::SizeFeed;
        } else {
          mBroken = true;
        }
        break;
      }
      case PART::Extension:
        if (Byte == '\r') {
          mPart = PART::SizeFeed;
        } else if (Byte == '\n') {
          mBroken = true;
        }
        break;
      case PART::SizeFeed:
        mBroken = Byte != '\n';
        mDigits = 0;
        mPart = mLeft == 0 ? PART::Trailer : PART::Data;
        break;
      case PART::DataReturn:
        mBroken = Byte != '\r';
        mPart = PART::DataFeed;
        break;
      case PART::DataFeed:
        mBroken = Byte != '\n';
        mPart = PART::Size;
        break;
      case PART::Trailer:
        mPart = Byte == '\r' ? PART::FinalFeed : PART::TrailerLine;
        mBroken = Byte == '\n';
        break;
      case PART::TrailerLine:
        if (Byte == '\r') {
          mPart = PART::TrailerFeed;
        } else if (Byte == '\n') {
          mBroken = true;
        }
        break;
      case PART::TrailerFeed:
        mBroken = Byte != '\n';
        mPart = PART::Trailer;
        break;
      case PART::FinalFeed:
        mBroken = Byte != '\n';
        mDone = !mBroken;
        break;
      default:
        mBroken = true;
        break;
    }
  }
  return Used;
}

void HttpRequestParser::Fail(int Code, const std::string &Text) {
  mState = STATE::Error;
  mErrorCode = Code;
  mErrorText = Text;
}

bool HttpRequestParser::ParseHead() {
  std::vector<std::string> HeadLines = Lines(mHead);
  const std::string &RequestLine = HeadLines.empty() ? mHead : HeadLines[0];
  if (RequestLine.size() > mLimits.MaxLine) {
    Fail(414, "The request line is longer than " + std::to_string(mLimits.MaxLine) + " bytes.");
    return false;
  }
  size_t First = RequestLine.find(' ');
  size_t Second = First == std::string::npos ? First : RequestLine.find(' ', First + 1);
  if (Second == std::string::npos || RequestLine.find(' ', Second + 1) != std::string::npos) {
    Fail(400, "The request line is not METHOD TARGET VERSION.");
    return false;
  }
  mRequest.Method = RequestLine.substr(0, First);
  mRequest.Target = RequestLine.substr(First + 1, Second - First - 1);
  std::string Version = RequestLine.substr(Second + 1);
  if (!IsToken(mRequest.Method) || mRequest.Target.empty()) {
    Fail(400, "The request line is not METHOD TARGET VERSION.");
    return false;
  }
  if (Version == "HTTP/1.1" || Version == "HTTP/1.0") {
    mRequest.Minor = Version.back() - '0';
  } else if (Version.compare(0, 5, "HTTP/") == 0) {
    Fail(505, "Only HTTP/1.0 and HTTP/1.1 are served.");
    return false;
  } else {
    Fail(400, "The request line is not METHOD TARGET VERSION.");
    return false;
  }
  for (size_t Index = 1; Index < HeadLines.size(); Index++) {
    if (!HeadLines[Index].empty() && (HeadLines[Index][0] == ' ' || HeadLines[Index][0] == '\t')) {
      Fail(400, "A header field is folded over lines.");
      return false;
    }
  }
  if (!ParseFields(HeadLines, 1, &mRequest.Fields)) {
    Fail(400, "A header field does not read as NAME: VALUE.");
    return false;
  }
  if (mRequest.Fields.size() > mLimits.MaxFields) {
    Fail(431, "The request has more than " + std::to_string(mLimits.MaxFields) + " header fields.");
    return false;
  }
  if (mRequest.Minor == 1 && HttpFindField(mRequest.Fields, "Host") == nullptr) {
    Fail(400, "An HTTP/1.1 request must name its Host.");
    return false;
  }
  const std::string *Encoding = HttpFindField(mRequest.Fields, "Transfer-Encoding");
  const std::string *Length = nullptr;
  for (const HTTP_FIELD &Field : mRequest.Fields) {
    if (HttpNameEqual(Field.Name, "Content-Length")) {
      if (Length != nullptr && *Length != Field.Value) {
        Fail(400, "The request has two different Content-Length fields.");
        return false;
      }
      Length = &Field.Value;
    }
  }
  if (Encoding != nullptr) {
    // Both framings at once is how requests are smuggled: refused.
    if (Length != nullptr) {
      Fail(400, "The request has both Transfer-Encoding and Content-Length.");
      return false;
    }
    if (!HttpNameEqual(Trim(*Encoding), "chunked")) {
      Fail(501, "Only the chunked transfer coding is accepted.");
      return false;
    }
    mState = STATE::Chunked;
    mChunks = ChunkedEnd();
    return true;
  }
  mBodyLeft = 0;
  if (Length != nullptr) {
    bool Large = false;
    if (!ReadLength(*Length, mLimits.MaxBody, &mBodyLeft, &Large)) {
      if (Large) {
        Fail(413,
             "The request body is larger than " + std::to_string(mLimits.MaxBody >> 20) + " MiB.");
      } else {
        Fail(400, "The Content-Length is not a number of bytes.");
      }
      return false;
    }
  }
  mState = mBodyLeft != 0 ? STATE::Body : STATE::Done;
  return true;
}

size_t HttpRequestParser::FeedHead(const char *Data, size_t Length) {
  size_t Used = 0;
  while (Used < Length) {
    char Byte = Data[Used++];
    // Blank lines before a request line are allowed and skipped.
    if (mHead.empty() && (Byte == '\r' || Byte == '\n')) {
      continue;
    }
    mStarted = true;
    mHead.push_back(Byte);
    size_t Size = mHead.size();
    if (Byte == '\n' && ((Size >= 4 && mHead.compare(Size - 4, 4, "\r\n\r\n") == 0) ||
                         (Size >= 2 && mHead.compare(Size - 2, 2, "\n\n") == 0))) {
      mHead.erase(mHead.find_last_not_of("\r\n") + 1);
      ParseHead();
      return Used;
    }
    size_t LineEnd = mHead.find('\n');
    if (LineEnd == std::string::npos && Size > mLimits.MaxLine) {
      Fail(414, "The request line is longer than " + std::to_string(mLimits.MaxLine) + " bytes.");
      return Used;
    }
    if (Size > mLimits.MaxLine + mLimits.MaxHeaderBytes) {
      Fail(431, "The request's header fields are larger than " +
                    std::to_string(mLimits.MaxHeaderBytes) + " bytes.");
      return Used;
    }
  }
  return Used;
}

size_t HttpRequestParser::FeedChunked(const char *Data, size_t Length) {
  size_t Used = mChunks.Feed(Data, Length, &mRequest.Body);
  mBodyTaken = mBodyTaken || Used != 0;
  if (mChunks.Broken()) {
    Fail(400, "The chunked request body is broken.");
  } else if (mRequest.Body.size() > mLimits.MaxBody) {
    Fail(413, "The request body is larger than " + std::to_string(mLimits.MaxBody >> 20) + " MiB.");
  } else if (mChunks.Done()) {
    mState = STATE::Done;
  }
  return Used;
}

size_t HttpRequestParser::Feed(const char *Data, size_t Length) {
  size_t Used = 0;
  while (Used < Length && mState != STATE::Done && mState != STATE::Error) {
    if (mState == STATE::Head) {
      Used += FeedHead(Data + Used, Length - Used);
    } else if (mState == STATE::Chunked) {
      Used += FeedChunked(Data + Used, Length - Used);
    } else {
      size_t Run = Length - Used < mBodyLeft ? Length - Used : mBodyLeft;
      mRequest.Body.append(Data + Used, Run);
      Used += Run;
      mBodyLeft -= Run;
      if (mBodyLeft == 0) {
        mState = STATE::Done;
      }
    }
  }
  return Used;
}

HttpRequest HttpRequestParser::Take() {
  HttpRequest Taken = std::move(mRequest);
  mRequest = HttpRequest();
  mHead.clear();
  mState = STATE::Head;
  mStarted = false;
  mBodyLeft = 0;
  mBodyTaken = false;
  return Taken;
}

bool ParseResponseHead(const std::string &Head, HttpResponseHead *Parsed) {
  std::vector<std::string> HeadLines = Lines(Head);
  if (HeadLines.empty()) {
    return false;
  }
  const std::string &Status = HeadLines[0];
  if (Status.size() < 12 || Status.compare(0, 7, "HTTP/1.") != 0 || Status[8] != ' ' ||
      (Status[7] != '0' && Status[7] != '1')) {
    return false;
  }
  int Code = 0;
  for (size_t Index = 9; Index < 12; Index++) {
    if (Status[Index] < '0' || Status[Index] > '9') {
      return false;
    }
    Code = Code * 10 + (Status[Index] - '0');
  }
  if (Status.size() > 12 && Status[12] != ' ') {
    return false;
  }
  Parsed->Minor = Status[7] - '0';
  Parsed->Code = Code;
  Parsed->Fields.clear();
  return ParseFields(HeadLines, 1, &Parsed->Fields);
}

const char *HttpReason(int Code) {
  switch (Code) {
    case 200:
      return "OK";
    case 201:
      return "Created";
    case 202:
      return "Accepted";
    case 204:
      return "No Content";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 409:
      return "Conflict";
    case 411:
      return "Length Required";
    case 412:
      return "Precondition Failed";
    case 413:
      return "Content Too Large";
    case 414:
      return "URI Too Long";
    case 415:
      return "Unsupported Media Type";
    case 429:
      return "Too Many Requests";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 503:
      return "Service Unavailable";
    case 505:
      return "HTTP Version Not Supported";
    default:
      return "Status";
  }
}

std::string HttpResponseText(int Code, const std::vector<HTTP_FIELD> &Fields,
                             const std::string &Body, bool Head) {
  std::string Text = "HTTP/1.1 " + std::to_string(Code) + " " + HttpReason(Code) + "\r\n";
  for (const HTTP_FIELD &Field : Fields) {
    Text += Field.Name + ": " + Field.Value + "\r\n";
  }
  bool NoBody = Code == 204 || Code == 304 || (Code >= 100 && Code < 200);
  if (!NoBody) {
    Text += "Content-Length: " + std::to_string(Body.size()) + "\r\n";
  }
  Text += "\r\n";
  if (!NoBody && !Head) {
    Text += Body;
  }
  return Text;
}
