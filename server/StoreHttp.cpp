#include "server/StoreHttp.h"

namespace {

std::string FieldOrEmpty(const HttpRequest &Request, const char *Name) {
  const std::string *Value = HttpFindField(Request.Fields, Name);
  return Value != nullptr ? *Value : std::string();
}

}  // namespace

StoreRequest StoreRequestFromHttp(const HttpRequest &Request) {
  StoreRequest Asked;
  Asked.Method = Request.Method;
  Asked.Path = HttpPercentDecoded(Request.Path());
  Asked.Body = Request.Body;
  Asked.Authorization = FieldOrEmpty(Request, "Authorization");
  Asked.AuthToken = FieldOrEmpty(Request, "X-Auth-Token");
  Asked.IfMatch = FieldOrEmpty(Request, "If-Match");
  Asked.IfNoneMatch = FieldOrEmpty(Request, "If-None-Match");
  return Asked;
}

HttpAnswer HttpAnswerFromStore(const StoreResponse &Response) {
  HttpAnswer Answer;
  Answer.Code = Response.Code;
  for (const auto &Header : Response.Headers) {
    Answer.Fields.push_back({Header.first, Header.second});
  }
  Answer.Fields.push_back({"OData-Version", "4.0"});
  if (!Response.Body.empty()) {
    Answer.Fields.push_back({"Content-Type", "application/json;charset=utf-8"});
    Answer.Body = Response.Body;
  }
  return Answer;
}
