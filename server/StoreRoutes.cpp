// The route table: for each URI pattern and method, the handler and the
// privilege it needs (DMTF's privilege registry for the resource's type).
// Allow and 405 come from the table; the scenario's documents and the
// actions' parameters, which can sit at any URI, are looked up before it.
#include <iterator>

#include "server/BaseRegistry.h"
#include "server/RedfishStore.h"
#include "server/StoreUris.h"

namespace {

struct ROUTE {
  /// Segments; "{}" stands for any one segment, captured.
  const char *Pattern;
  const char *Method;
  /// Any of these privileges lets the request through; PRIVILEGE_NONE needs
  /// no authentication.
  unsigned Privileges;
  RedfishStore::HANDLER Handle;
};

using STORE = RedfishStore;
constexpr unsigned LOGIN = PRIVILEGE_LOGIN;
constexpr unsigned COMPONENTS = PRIVILEGE_CONFIGURE_COMPONENTS;
constexpr unsigned MANAGER = PRIVILEGE_CONFIGURE_MANAGER;
constexpr unsigned SELF = PRIVILEGE_CONFIGURE_SELF;

const ROUTE ROUTES[] = {
    {"/redfish", "GET", PRIVILEGE_NONE, &STORE::ServeVersion},
    {"/redfish/v1", "GET", PRIVILEGE_NONE, &STORE::ServeRoot},
    {"/redfish/v1/SessionService/Sessions", "POST", PRIVILEGE_NONE, &STORE::Login},
    {"/redfish/v1/SessionService/Sessions/Members", "POST", PRIVILEGE_NONE, &STORE::Login},
    {"/redfish/v1/Systems", "GET", LOGIN, &STORE::ServeSystems},
    {"/redfish/v1/Systems/Self", "GET", LOGIN, &STORE::ServeSystem},
    {"/redfish/v1/Systems/Self", "PATCH", COMPONENTS, &STORE::PatchSystem},
    {"/redfish/v1/Systems/Self/Actions/ComputerSystem.Reset", "POST", COMPONENTS, &STORE::Reset},
    {"/redfish/v1/SessionService", "GET", LOGIN, &STORE::ServeSessionService},
    {"/redfish/v1/SessionService", "PATCH", MANAGER, &STORE::PatchSessionService},
    {"/redfish/v1/SessionService/Sessions", "GET", LOGIN, &STORE::ServeSessions},
    {"/redfish/v1/SessionService/Sessions/{}", "GET", LOGIN, &STORE::ServeSession},
    {"/redfish/v1/SessionService/Sessions/{}", "DELETE", MANAGER | SELF, &STORE::Logout},
    {"/redfish/v1/TaskService", "GET", LOGIN, &STORE::ServeTaskService},
    {"/redfish/v1/TaskService/Tasks", "GET", LOGIN, &STORE::ServeTasks},
    {"/redfish/v1/TaskService/Tasks/{}", "GET", LOGIN, &STORE::ServeTask},
};

/// The methods HTTP defines; any other is 501.
constexpr const char *KNOWN_METHODS[] = {"GET",    "HEAD",    "POST",  "PUT",    "PATCH",
                                         "DELETE", "OPTIONS", "TRACE", "CONNECT"};

std::vector<std::string> Split(const std::string &Path) {
  std::vector<std::string> Segments;
  size_t Start = 1;
  while (Start <= Path.size()) {
    size_t End = Path.find('/', Start);
    if (End == std::string::npos) {
      End = Path.size();
    }
    Segments.push_back(Path.substr(Start, End - Start));
    Start = End + 1;
  }
  return Segments;
}

/// Whether Path fits Pattern; the "{}" segments in *Captured.
bool Fits(const char *Pattern, const std::vector<std::string> &Path,
          std::vector<std::string> *Captured) {
  std::vector<std::string> Parts = Split(Pattern);
  if (Parts.size() != Path.size()) {
    return false;
  }
  Captured->clear();
  for (size_t Index = 0; Index < Parts.size(); Index++) {
    if (Parts[Index] == "{}") {
      if (Path[Index].empty()) {
        return false;
      }
      Captured->push_back(Path[Index]);
    } else if (Parts[Index] != Path[Index]) {
      return false;
    }
  }
  return true;
}

unsigned RolePrivileges(ROLE Role) {
  switch (Role) {
    case ROLE::Administrator:
      return PRIVILEGE_LOGIN | PRIVILEGE_CONFIGURE_MANAGER | PRIVILEGE_CONFIGURE_USERS |
             PRIVILEGE_CONFIGURE_SELF | PRIVILEGE_CONFIGURE_COMPONENTS;
    case ROLE::Operator:
      return PRIVILEGE_LOGIN | PRIVILEGE_CONFIGURE_SELF | PRIVILEGE_CONFIGURE_COMPONENTS;
    case ROLE::ReadOnly:
    default:
      return PRIVILEGE_LOGIN | PRIVILEGE_CONFIGURE_SELF;
  }
}

StoreResponse NotAllowed(const std::string &Allow) {
  StoreResponse Response = Failure(405, "OperationNotAllowed");
  Response.Headers.emplace_back("Allow", Allow);
  return Response;
}

/// "GET, HEAD, ..." for the methods in Methods (HEAD with GET), in a fixed order.
std::string AllowOf(const std::vector<std::string> &Methods) {
  std::string Allow;
  for (const char *Method : {"GET", "HEAD", "POST", "PUT", "PATCH", "DELETE"}) {
    bool Listed = false;
    for (const std::string &Have : Methods) {
      Listed = Listed || Have == Method || (Have == "GET" && std::string(Method) == "HEAD");
    }
    if (Listed) {
      Allow += Allow.empty() ? Method : std::string(", ") + Method;
    }
  }
  return Allow;
}

}  // namespace

std::string RouteAllow(const std::string &Path) {
  std::vector<std::string> Segments = Split(Path);
  std::vector<std::string> Captured;
  std::vector<std::string> Methods;
  for (const ROUTE &Route : ROUTES) {
    if (Fits(Route.Pattern, Segments, &Captured)) {
      Methods.emplace_back(Route.Method);
    }
  }
  return AllowOf(Methods);
}

StoreResponse RedfishStore::Route(const StoreRequest &Request, const std::string &Path) {
  bool Known = false;
  for (const char *Method : KNOWN_METHODS) {
    Known = Known || Request.Method == Method;
  }
  if (!Known) {
    return Failure(501, "GeneralError");
  }
  // HEAD is GET without the body.
  const std::string Method = Request.Method == "HEAD" ? "GET" : Request.Method;
  CALL Call{Request, Path, {}, "", false, ROLE::Administrator, ""};
  std::vector<std::string> Segments = Split(Path);
  std::vector<std::string> Captured;
  const ROUTE *Chosen = nullptr;
  std::vector<std::string> Methods;
  bool AllOpen = true;
  for (const ROUTE &Route : ROUTES) {
    if (!Fits(Route.Pattern, Segments, &Captured)) {
      continue;
    }
    Methods.emplace_back(Route.Method);
    AllOpen = AllOpen && Route.Privileges == PRIVILEGE_NONE;
    if (Method == Route.Method && Chosen == nullptr) {
      Chosen = &Route;
      Call.Segments = Captured;
    }
  }
  if (Chosen != nullptr && Chosen->Privileges == PRIVILEGE_NONE) {
    return (this->*Chosen->Handle)(Call);
  }
  if (Chosen == nullptr && !Methods.empty() && AllOpen) {
    return NotAllowed(AllowOf(Methods));
  }

  StoreResponse Refusal;
  if (!Authenticate(Call, &Refusal)) {
    return Refusal;
  }
  const unsigned Held = Call.ByDriver ? ~0u : RolePrivileges(Call.Role);
  auto Permitted = [Held](unsigned Needed) { return (Held & Needed) != 0; };
  StoreResponse Response = [&]() -> StoreResponse {
    if (StartsWith(Path, URI_ACTION_PREFIX) && Method == "POST") {
      return Permitted(PRIVILEGE_CONFIGURE_COMPONENTS) ? IssueAction(Call)
                                                       : Failure(403, "InsufficientPrivilege");
    }
    int Index = FindDocument(Path);
    if (Index >= 0) {
      if (Method == "GET") {
        return ServeDocument(Call, static_cast<size_t>(Index));
      }
      if (Method == "PATCH") {
        return Permitted(PRIVILEGE_CONFIGURE_COMPONENTS)
                   ? PatchDocument(Call, static_cast<size_t>(Index))
                   : Failure(403, "InsufficientPrivilege");
      }
      return NotAllowed(StartsWith(Path, URI_ACTION_PREFIX) ? "GET, HEAD, POST, PATCH"
                                                            : "GET, HEAD, PATCH");
    }
    if (Chosen != nullptr) {
      return Permitted(Chosen->Privileges) ? (this->*Chosen->Handle)(Call)
                                           : Failure(403, "InsufficientPrivilege");
    }
    if (!Methods.empty()) {
      return NotAllowed(AllowOf(Methods));
    }
    if (StartsWith(Path, URI_SYSTEM_ACTIONS)) {
      if (Method == "POST") {
        return Failure(400, "ActionNotSupported", {Path.substr(sizeof(URI_SYSTEM_ACTIONS) - 1)});
      }
      if (StartsWith(Path, URI_ACTION_PREFIX)) {
        return Failure(404, "ResourceNotFound", {"ActionParameters", Path});
      }
      return NotAllowed("POST");
    }
    return Failure(404, "ResourceNotFound", {"Resource", Path});
  }();
  Response.ByDriver = Call.ByDriver;
  Response.User = Call.User;
  return Response;
}
