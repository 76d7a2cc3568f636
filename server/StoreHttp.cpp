#include "server/StoreHttp.h"

namespace {

/// Every field named Name, joined with ", " ("" when there is none).
std::string Joined(const HttpRequest &Request, const char *Name) {
  std::string Value;
  for (const HTTP_FIELD &Field : Request.Fields) {
    if (HttpNameEqual(Field.Name, Name)) {
      Value += Value.empty() ? Field.Value : ", " + Field.Value;
    }
  }
  return Value;
}

/// The first field named Name ("" when there is none).
std::string First(const HttpRequest &Request, const char *Name) {
  const std::string *Value = HttpFindField(Request.Fields, Name);
  return Value != nullptr ? *Value : std::string();
}

}  // namespace

StoreRequest StoreRequestFromHttp(const HttpRequest &Request, const std::string &Client) {
  StoreRequest Asked;
  Asked.Method = Request.Method;
  Asked.Path = HttpPercentDecoded(Request.Path());
  size_t Query = Request.Target.find('?');
  if (Query != std::string::npos) {
    Asked.Query = Request.Target.substr(Query + 1);
  }
  Asked.Body = Request.Body;
  Asked.Authorization = First(Request, "Authorization");
  Asked.AuthToken = First(Request, "X-Auth-Token");
  Asked.IfMatch = Joined(Request, "If-Match");
  Asked.IfNoneMatch = Joined(Request, "If-None-Match");
  Asked.ODataVersion = Joined(Request, "OData-Version");
  Asked.Client = Client;
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
    Answer.Fields.push_back({"Content-Type", Response.ContentType});
    Answer.Body = Response.Body;
  }
  return Answer;
}
