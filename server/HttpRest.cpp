#include "server/HttpRest.h"

#include <httplib.h>

#include <cstring>

#include "sim/common/HttpNames.h"

HttpRest::HttpRest(const std::string &BaseUrl, const std::string &Token, const std::string &User,
                   const std::string &Password)
    : mClient(std::make_unique<httplib::Client>(BaseUrl)), mToken(Token), mRemote{Send, this} {
  mClient->set_keep_alive(true);
  mClient->set_tcp_nodelay(true);
  mClient->set_connection_timeout(5);
  mClient->set_read_timeout(30);
  mClient->enable_server_certificate_verification(false);
  if (Token.empty() && !User.empty()) {
    mClient->set_basic_auth(User, Password);
  }
}

HttpRest::~HttpRest() = default;

void HttpRest::Close() { mClient->stop(); }

bool HttpRest::Valid() const { return mClient->is_valid(); }

bool HttpRest::Send(void *Context, const EFI_HTTP_MESSAGE *Request, const CHAR8 *Uri,
                    UINTN UriLength, UINT32 *Code, CHAR8 **Body, UINTN *BodyLength) {
  auto *Self = static_cast<HttpRest *>(Context);
  if (Self->mBeforeSend) {
    Self->mBeforeSend();
  }
  const CHAR8 *Method = HttpMethodName(Request->Data.Request->Method);
  if (Method == nullptr) {
    return false;
  }
  httplib::Request Out;
  Out.method = Method;
  Out.path.assign(Uri, UriLength);
  // The driver's own headers travel; the framing ones are the HTTP code's.
  for (UINTN Index = 0; Request->Headers != nullptr && Index < Request->HeaderCount; Index++) {
    const EFI_HTTP_HEADER &Header = Request->Headers[Index];
    if (HttpHeaderTravels(Header.FieldName, Header.FieldValue)) {
      Out.headers.emplace(Header.FieldName, Header.FieldValue);
    }
  }
  if (!Self->mToken.empty()) {
    Out.headers.emplace("X-Auth-Token", Self->mToken);
  }
  if (Request->Body != nullptr && Request->BodyLength != 0) {
    Out.body.assign(static_cast<const char *>(Request->Body), Request->BodyLength);
  }
  httplib::Result Answer = Self->mClient->send(Out);
  if (!Answer && Self->mConnected) {
    // The kept-alive connection may have been closed by the service while
    // idle (over TLS the client cannot tell before it sends): once more, on
    // a fresh connection.
    Self->mClient->stop();
    Answer = Self->mClient->send(Out);
  }
  Self->mConnected = static_cast<bool>(Answer);
  if (!Answer) {
    return false;
  }
  *Code = static_cast<UINT32>(Answer->status);
  *Body = nullptr;
  *BodyLength = 0;
  if (!Answer->body.empty()) {
    auto *Copy = static_cast<CHAR8 *>(cJSON_malloc(Answer->body.size() + 1));
    if (Copy == nullptr) {
      return false;
    }
    std::memcpy(Copy, Answer->body.data(), Answer->body.size());
    Copy[Answer->body.size()] = '\0';
    *Body = Copy;
    *BodyLength = Answer->body.size();
  }
  return true;
}
