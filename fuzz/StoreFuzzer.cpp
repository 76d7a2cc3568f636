// The twin's store, fed requests straight from the fuzzer (no HTTP): up to
// eight requests an input, separated by "\n--\n", each of them: a byte that
// picks the method, a byte that picks the path (or a path line of its own),
// a byte of flags (who asks, whether the state file takes the change,
// which conditional header), then the body. After every request: an answer
// with a status code HTTP has, a JSON body on every error, and the store
// unchanged by a request it refused or whose change the state file refused.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "server/RedfishStore.h"
#include "server/StoreJson.h"

namespace {

const char *const METHODS[] = {"GET", "HEAD", "POST", "PATCH", "PUT", "DELETE", "OPTIONS", "BREW"};
const char *const PATHS[] = {
    "/redfish",
    "/redfish/v1",
    "/redfish/v1/",
    "/redfish/v1/Systems",
    "/redfish/v1/Systems/Self",
    "/redfish/v1/Systems/Self/Actions/ComputerSystem.Reset",
    "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.DeleteNamespace",
    "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.RunDiagnostics/Dimm0001",
    "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.Nope",
    "/redfish/v1/Oem/Velk/Viz/ActionStatus",
    "/redfish/v1/SessionService",
    "/redfish/v1/SessionService/Sessions",
    "/redfish/v1/SessionService/Sessions/1",
    "/redfish/v1/SessionService/Sessions/Members",
    "/redfish/v1/TaskService",
    "/redfish/v1/TaskService/Tasks",
    "/redfish/v1/TaskService/Tasks/1",
    "/redfish/v1/AccountService",
    "/redfish/v1/Systems/Self/Memory",
};

void Check(bool Holds, const char *What) {
  if (!Holds) {
    __builtin_trap();
  }
  (void)What;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
  std::string Input(reinterpret_cast<const char *>(Data), Size);
  RedfishStore Store(
      {{"/redfish/v1/Oem/Velk/Viz/ActionStatus", "{\"Status\":\"Success\"}"},
       {"/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.DeleteNamespace", "{\"Id\":\"1\"}"}},
      {{"admin", "admin", ROLE::Administrator}, {"viewer", "v", ROLE::ReadOnly}});
  bool Writable = true;
  Store.SetPersist([&Writable](const std::string &, std::string *Problem) {
    *Problem = "refused";
    return Writable;
  });
  size_t Start = 0;
  for (int Count = 0; Count < 8 && Start + 3 <= Input.size(); Count++) {
    size_t End = Input.find("\n--\n", Start);
    std::string Part = Input.substr(Start, End == std::string::npos ? End : End - Start);
    Start = End == std::string::npos ? Input.size() : End + 4;
    if (Part.size() < 3) {
      continue;
    }
    StoreRequest Request;
    Request.Method = METHODS[static_cast<uint8_t>(Part[0]) % 8];
    uint8_t Pick = static_cast<uint8_t>(Part[1]);
    uint8_t Flags = static_cast<uint8_t>(Part[2]);
    std::string Body = Part.substr(3);
    if (Pick < sizeof(PATHS) / sizeof(PATHS[0])) {
      Request.Path = PATHS[Pick];
    } else {
      size_t Line = Body.find('\n');
      Request.Path = Body.substr(0, Line);
      Body = Line == std::string::npos ? "" : Body.substr(Line + 1);
    }
    Request.Body = Body;
    switch (Flags & 3) {
      case 0:
        break;
      case 1:
        Request.Authorization = "Basic YWRtaW46YWRtaW4=";
        break;
      case 2:
        Request.Authorization = "Basic dmlld2VyOnY=";
        break;
      default:
        Request.AuthToken = Store.DriverToken();
        break;
    }
    if ((Flags & 4) != 0) {
      Request.IfMatch = (Flags & 8) != 0 ? "*" : "\"0000000000000000\"";
    }
    if ((Flags & 16) != 0) {
      Request.IfNoneMatch = "W/\"x\", *";
    }
    Writable = (Flags & 32) == 0;
    Request.Client = "192.0.2.7";

    uint64_t Version = 0;
    std::string Before = Store.Snapshot(&Version);
    StoreResponse Answer = Store.Serve(Request);
    Check(Answer.Code >= 200 && Answer.Code <= 599, "a status code HTTP has");
    if (Answer.Code >= 400) {
      Json Error = ParseStored(Answer.Body);
      Check(Error.is_object() && Error.contains("error"), "a Redfish error body");
      Check(Store.Snapshot(&Version) == Before, "a refused request changed the store");
    } else if (!Answer.Body.empty() && Answer.ContentType.find("json") != std::string::npos) {
      Check(!ParseStored(Answer.Body).is_discarded(), "a JSON body");
    }
  }
  return 0;
}
