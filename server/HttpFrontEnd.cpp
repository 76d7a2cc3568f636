#include "server/HttpFrontEnd.h"

#include <chrono>

#include "server/BaseRegistry.h"
#include "server/StoreHttp.h"

namespace {

uint64_t MicrosSince(std::chrono::steady_clock::time_point Start) {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::steady_clock::now() - Start)
                                   .count());
}

/// The Base message for what a server refuses by itself.
HttpAnswer Refusal(int Code, const std::string &Why) {
  const char *Key = Code == 413   ? "PayloadTooLarge"
                    : Code == 408 ? "OperationTimeout"
                    : Code == 503 ? "ServiceTemporarilyUnavailable"
                                  : "GeneralError";
  HttpAnswer Answer;
  Answer.Code = Code;
  Json Body = ParseStored(RedfishErrorBody(
      Key, Code == 503 ? std::vector<std::string>{"1"} : std::vector<std::string>{}));
  // The server's own reason goes first, as the error's message.
  Body["error"]["message"] = Why;
  Answer.Body = Dump(Body);
  Answer.Fields = {{"OData-Version", "4.0"}, {"Content-Type", "application/json;charset=utf-8"}};
  if (Code == 503) {
    Answer.Fields.push_back({"Retry-After", "1"});
  }
  return Answer;
}

}  // namespace

HttpFrontEnd::HttpFrontEnd(RedfishStore &Store, ExchangeSink Answered)
    : mStore(Store), mAnswered(std::move(Answered)) {
  mOperators = std::make_unique<HttpServer>(
      [this](const HttpRequest &Request, const HTTP_PEER &Peer) {
        return Answer(Request, Peer, false);
      },
      Refusal);
  // The host's own listener: loopback, one client (the platform's REST
  // producer), a short idle time as a BMC's host interface has.
  HTTP_SERVER_LIMITS Host;
  Host.IdleSeconds = 2;
  mHost = std::make_unique<HttpServer>(
      [this](const HttpRequest &Request, const HTTP_PEER &Peer) {
        return Answer(Request, Peer, true);
      },
      Refusal, Host);
  auto Report = [this](int Code, const HTTP_PEER &) {
    if (mAnswered) {
      mAnswered(HTTP_EXCHANGE{false, "", "-", "-", Code, 0});
    }
  };
  mOperators->OnRefused(Report);
}

HttpFrontEnd::~HttpFrontEnd() { Stop(); }

int HttpFrontEnd::Bind(const std::string &Host, int Port, const std::string &Certificate,
                       const std::string &Key, std::string *Problem) {
  if (!Certificate.empty() && (!mOperators->UseTls(Certificate, Key, Problem) ||
                               !mHost->UseTls(Certificate, Key, Problem))) {
    return -1;
  }
  int Bound = mOperators->Bind(Host, Port, Problem);
  if (Bound < 0) {
    return -1;
  }
  mHostPort = mHost->Bind("127.0.0.1", 0, Problem);
  return mHostPort < 0 ? -1 : Bound;
}

void HttpFrontEnd::Start() {
  mOperators->Start();
  mHost->Start();
}

void HttpFrontEnd::Stop() {
  if (mOperators) {
    mOperators->Stop();
  }
  if (mHost) {
    mHost->Stop();
  }
}

HttpAnswer HttpFrontEnd::Answer(const HttpRequest &Request, const HTTP_PEER &Peer, bool FromHost) {
  auto Start = std::chrono::steady_clock::now();
  // The host's requests count as no client address of the operators'.
  StoreRequest Asked = StoreRequestFromHttp(Request, FromHost ? "" : Peer.Address);
  StoreResponse Served = mStore.Serve(Asked);
  if (mAnswered) {
    mAnswered(HTTP_EXCHANGE{Served.ByDriver, Served.User, Request.Method, Asked.Path, Served.Code,
                            MicrosSince(Start)});
  }
  return HttpAnswerFromStore(Served);
}
