#include "host/ScenarioHttp.h"

#include "sim/common/HttpNames.h"

HttpAnswer AnswerFromScenario(RedfishService &Service, const HttpRequest &Request) {
  HttpAnswer Answer;
  Answer.Fields = {{"OData-Version", "4.0"}};
  if (Request.Path() == "/redfish" && Request.Method == "GET") {
    Answer.Fields.push_back({"Content-Type", "application/json"});
    Answer.Body = "{\"v1\":\"/redfish/v1/\"}";
    return Answer;
  }
  EFI_HTTP_METHOD Method = HttpMethodGet;
  if (!HttpMethodFromName(Request.Method.c_str(), &Method)) {
    Answer.Code = 501;
    return Answer;
  }
  UINT32 Code = 0;
  const CHAR8 *Body = nullptr;
  UINTN Length = 0;
  // The scenario names its resources as the driver does, with bytes the
  // producer sent as %XX.
  const std::string Uri = HttpPercentDecoded(Request.Target);
  if (!Service.AnswerHttp(Method, Uri.data(), Uri.size(), Request.Body.data(), Request.Body.size(),
                          &Code, &Body, &Length)) {
    Answer.Drop = true;
    return Answer;
  }
  Answer.Code = static_cast<int>(Code);
  if (Body != nullptr) {
    Answer.Fields.push_back({"Content-Type", "application/json"});
    Answer.Body.assign(Body, Length);
  }
  return Answer;
}
