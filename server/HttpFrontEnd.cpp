#include "server/HttpFrontEnd.h"

#include <httplib.h>

#include <chrono>

namespace {

constexpr size_t MAX_BODY = 16u << 20;
constexpr size_t THREADS = 16;

uint64_t MicrosSince(std::chrono::steady_clock::time_point Start) {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::steady_clock::now() - Start)
                                   .count());
}

}  // namespace

HttpFrontEnd::HttpFrontEnd(RedfishStore &Store, ExchangeSink Answered,
                           std::function<void()> Changed)
    : mStore(Store), mAnswered(std::move(Answered)), mChanged(std::move(Changed)) {}

HttpFrontEnd::~HttpFrontEnd() { Stop(); }

int HttpFrontEnd::Bind(const std::string &Host, int Port, const std::string &Certificate,
                       const std::string &Key, std::string *Problem) {
  if (!Certificate.empty()) {
    mServer = std::make_unique<httplib::SSLServer>(Certificate.c_str(), Key.c_str());
    if (!mServer->is_valid()) {
      *Problem = "the certificate or its key cannot be used";
      return -1;
    }
  } else {
    mServer = std::make_unique<httplib::Server>();
  }
  Route();
  int Bound =
      Port == 0 ? mServer->bind_to_any_port(Host) : (mServer->bind_to_port(Host, Port) ? Port : -1);
  if (Bound < 0) {
    *Problem = "cannot listen on " + Host + ":" + std::to_string(Port);
  }
  return Bound;
}

void HttpFrontEnd::Route() {
  httplib::Server &Server = *mServer;
  Server.new_task_queue = [] { return new httplib::ThreadPool(THREADS); };
  Server.set_payload_max_length(MAX_BODY);
  Server.set_keep_alive_max_count(1000000);
  // An idle keep-alive connection holds a thread, and a stop waits for it.
  Server.set_keep_alive_timeout(2);
  Server.set_tcp_nodelay(true);
  Server.set_read_timeout(10);
  Server.set_write_timeout(10);

  auto Handle = [this](const httplib::Request &Request, httplib::Response &Response) {
    auto Start = std::chrono::steady_clock::now();
    StoreRequest Asked;
    Asked.Method = Request.method;
    Asked.Path = Request.path;
    Asked.Body = Request.body;
    Asked.Authorization = Request.get_header_value("Authorization");
    Asked.AuthToken = Request.get_header_value("X-Auth-Token");
    Asked.IfMatch = Request.get_header_value("If-Match");
    Asked.IfNoneMatch = Request.get_header_value("If-None-Match");
    StoreResponse Answer = mStore.Serve(Asked);
    Response.status = Answer.Code;
    for (const auto &Header : Answer.Headers) {
      Response.set_header(Header.first, Header.second);
    }
    Response.set_header("OData-Version", "4.0");
    if (!Answer.Body.empty()) {
      Response.set_content(Answer.Body, "application/json;charset=utf-8");
    }
    if (Answer.Changed && mChanged) {
      mChanged();
    }
    if (mAnswered) {
      mAnswered(HTTP_EXCHANGE{Answer.ByDriver, Answer.User, Request.method, Request.path,
                              Answer.Code, MicrosSince(Start)});
    }
  };
  const std::string Any = ".*";
  Server.Get(Any, Handle);
  Server.Post(Any, Handle);
  Server.Patch(Any, Handle);
  Server.Put(Any, Handle);
  Server.Delete(Any, Handle);
  Server.Options(Any, Handle);

  // What httplib answers on its own (a body too large, a request that does
  // not parse) gets a Redfish error body too; the store never saw it.
  httplib::Server::HandlerWithResponse OwnError = [this](const httplib::Request &Request,
                                                         httplib::Response &Response) {
    if (!Response.body.empty()) {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    std::string Body =
        Response.status == 413
            ? RedfishErrorBody("GeneralError", "The request body is larger than 16 MiB.")
        : Response.status == 404
            ? RedfishErrorBody("ResourceNotFound", "The resource was not found.")
            : RedfishErrorBody("GeneralError", "The request could not be read.");
    Response.set_header("OData-Version", "4.0");
    Response.set_content(Body, "application/json;charset=utf-8");
    if (mAnswered) {
      mAnswered(HTTP_EXCHANGE{false, "", Request.method, Request.path, Response.status, 0});
    }
    return httplib::Server::HandlerResponse::Handled;
  };
  Server.set_error_handler(OwnError);
}

void HttpFrontEnd::Start() {
  httplib::Server *Server = mServer.get();
  mThread = std::thread([Server] { Server->listen_after_bind(); });
}

void HttpFrontEnd::Stop() {
  if (mServer) {
    mServer->stop();
  }
  if (mThread.joinable()) {
    mThread.join();
  }
}
