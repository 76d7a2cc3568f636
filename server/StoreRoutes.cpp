// The route table: for each URI pattern and method, the handler and the
// privilege it needs (DMTF's privilege registry for the resource's type).
// Allow and 405 come from the table; the scenario's documents and the
// actions' parameters, which can sit at any URI, are looked up before it.
#include <iterator>

#include "server/BaseRegistry.h"
#include "server/RedfishStore.h"
#include "server/StoreUris.h"

struct STORE_ROUTE {
  /// Segments; "{}" stands for any one segment, captured.
  const char *Pattern;
  const char *Method;
  /// Any of these privileges lets the request through; PRIVILEGE_NONE needs
  /// no authentication.
  unsigned Privileges;
  RedfishStore::HANDLER Handle;
};

namespace {

using ROUTE = STORE_ROUTE;

using STORE = RedfishStore;
constexpr unsigned LOGIN = PRIVILEGE_LOGIN;
constexpr unsigned COMPONENTS = PRIVILEGE_CONFIGURE_COMPONENTS;
constexpr unsigned MANAGER = PRIVILEGE_CONFIGURE_MANAGER;
constexpr unsigned SELF = PRIVILEGE_CONFIGURE_SELF;

constexpr unsigned USERS = PRIVILEGE_CONFIGURE_USERS;

// Privileges as DMTF's privilege registry (Redfish 1.8.0) maps them; the
// handlers of routes that ConfigureSelf opens check that the resource is
// the caller's own.
const ROUTE ROUTES[] = {
    {"/redfish", "GET", PRIVILEGE_NONE, &STORE::ServeVersion},
    {"/redfish/v1", "GET", PRIVILEGE_NONE, &STORE::ServeRoot},
    {"/redfish/v1/odata", "GET", PRIVILEGE_NONE, &STORE::ServeOData},
    {"/redfish/v1/$metadata", "GET", PRIVILEGE_NONE, &STORE::ServeMetadata},
    {"/redfish/v1/Schemas/Velk_v1.xml", "GET", PRIVILEGE_NONE, &STORE::ServeOemSchema},
    {"/redfish/v1/SessionService/Sessions", "POST", PRIVILEGE_NONE, &STORE::Login},
    {"/redfish/v1/Systems", "GET", LOGIN, &STORE::ServeSystems},
    {"/redfish/v1/Systems/Self", "GET", LOGIN, &STORE::ServeSystem},
    {"/redfish/v1/Systems/Self", "PATCH", COMPONENTS, &STORE::PatchSystem},
    {"/redfish/v1/Systems/Self/Actions/ComputerSystem.Reset", "POST", COMPONENTS, &STORE::Reset},
    {"/redfish/v1/Systems/Self/Memory", "GET", LOGIN, &STORE::ServeMemoryCollection},
    {"/redfish/v1/Systems/Self/Memory/{}", "GET", LOGIN, &STORE::ServeMemory},
    {"/redfish/v1/Systems/Self/Memory/{}/MemoryMetrics", "GET", LOGIN, &STORE::ServeMemoryMetrics},
    {"/redfish/v1/Systems/Self/MemoryDomains", "GET", LOGIN, &STORE::ServeMemoryDomains},
    {"/redfish/v1/Systems/Self/MemoryDomains/{}", "GET", LOGIN, &STORE::ServeMemoryDomain},
    {"/redfish/v1/Systems/Self/MemoryDomains/{}/MemoryChunks", "GET", LOGIN,
     &STORE::ServeMemoryChunksCollection},
    {"/redfish/v1/Systems/Self/MemoryDomains/{}/MemoryChunks/{}", "GET", LOGIN,
     &STORE::ServeMemoryChunk},
    {"/redfish/v1/SessionService", "GET", LOGIN, &STORE::ServeSessionService},
    {"/redfish/v1/SessionService", "PATCH", MANAGER, &STORE::PatchSessionService},
    {"/redfish/v1/SessionService/Sessions", "GET", LOGIN, &STORE::ServeSessions},
    {"/redfish/v1/SessionService/Sessions/{}", "GET", MANAGER | SELF, &STORE::ServeSession},
    {"/redfish/v1/SessionService/Sessions/{}", "DELETE", MANAGER | SELF, &STORE::Logout},
    {"/redfish/v1/AccountService", "GET", LOGIN, &STORE::ServeAccountService},
    {"/redfish/v1/AccountService", "PATCH", USERS, &STORE::PatchAccountService},
    {"/redfish/v1/AccountService/Accounts", "GET", LOGIN, &STORE::ServeAccounts},
    {"/redfish/v1/AccountService/Accounts", "POST", USERS, &STORE::CreateAccount},
    {"/redfish/v1/AccountService/Accounts/{}", "GET", MANAGER | USERS | SELF, &STORE::ServeAccount},
    {"/redfish/v1/AccountService/Accounts/{}", "PATCH", USERS | SELF, &STORE::PatchAccount},
    {"/redfish/v1/AccountService/Accounts/{}", "DELETE", USERS, &STORE::DeleteAccount},
    {"/redfish/v1/AccountService/Roles", "GET", LOGIN, &STORE::ServeRoles},
    {"/redfish/v1/AccountService/Roles/{}", "GET", LOGIN, &STORE::ServeRole},
    {"/redfish/v1/TaskService", "GET", LOGIN, &STORE::ServeTaskService},
    {"/redfish/v1/TaskService/Tasks", "GET", LOGIN, &STORE::ServeTasks},
    {"/redfish/v1/TaskService/Tasks/{}", "GET", LOGIN, &STORE::ServeTask},
    {"/redfish/v1/TaskService/TaskMonitors/{}", "GET", LOGIN, &STORE::ServeMonitor},
    {"/redfish/v1/TaskService/TaskMonitors/{}", "DELETE", COMPONENTS, &STORE::CancelMonitor},
    {"/redfish/v1/Registries", "GET", LOGIN, &STORE::ServeRegistries},
    {"/redfish/v1/Registries/{}", "GET", LOGIN, &STORE::ServeRegistryFile},
    {"/redfish/v1/Registries/{}/{}", "GET", LOGIN, &STORE::ServeRegistry},
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
  StoreResponse Response = RouteAndServe(Request, Path);
  Decorate(Request, &Response);
  return Response;
}

void RedfishStore::Decorate(const StoreRequest &Request, StoreResponse *Response) const {
  Response->Headers.emplace_back("Cache-Control", "no-cache");
  bool Read = Request.Method == "GET" || Request.Method == "HEAD";
  if (!Read || Response->Code >= 400) {
    return;
  }
  bool HasAllow = false;
  for (const auto &Header : Response->Headers) {
    HasAllow = HasAllow || Header.first == "Allow";
  }
  if (!HasAllow && !Response->Allow.empty()) {
    Response->Headers.emplace_back("Allow", Response->Allow);
  }
  if (Response->Body.empty() || Response->ContentType.find("json") == std::string::npos) {
    return;
  }
  Json Body = ParseStored(Response->Body);
  std::string Schema =
      Body.is_object() && Body.contains("@odata.type") && Body["@odata.type"].is_string()
          ? SchemaLinkOf(Body["@odata.type"].get<std::string>())
          : "";
  if (!Schema.empty()) {
    Response->Headers.emplace_back("Link", "<" + Schema + ">; rel=describedby");
  }
}

namespace {

/// What the route table holds for one URI: the route of the request's
/// method (null when none), every method the URI takes, and whether all of
/// them need no authentication.
struct ROUTING {
  const ROUTE *Chosen = nullptr;
  std::vector<std::string> Captured;
  std::vector<std::string> Methods;
  bool AllOpen = true;
};

ROUTING Look(const std::string &Target, const std::string &Method) {
  ROUTING Found;
  std::vector<std::string> Segments = Split(Target);
  std::vector<std::string> Captured;
  for (const ROUTE &Route : ROUTES) {
    if (!Fits(Route.Pattern, Segments, &Captured)) {
      continue;
    }
    Found.Methods.emplace_back(Route.Method);
    Found.AllOpen = Found.AllOpen && Route.Privileges == PRIVILEGE_NONE;
    if (Method == Route.Method && Found.Chosen == nullptr) {
      Found.Chosen = &Route;
      Found.Captured = Captured;
    }
  }
  return Found;
}

/// The first query parameter whose name starts with "$" (also as "%24"):
/// the service supports none of OData's ("" for none). Others are ignored.
std::string DollarParameter(const std::string &Query) {
  size_t Start = 0;
  while (Start < Query.size()) {
    size_t End = Query.find('&', Start);
    End = End == std::string::npos ? Query.size() : End;
    std::string Parameter = Query.substr(Start, End - Start);
    std::string Name = Parameter.substr(0, Parameter.find('='));
    if (!Name.empty() && (Name[0] == '$' || Name.compare(0, 3, "%24") == 0)) {
      return Name;
    }
    Start = End + 1;
  }
  return "";
}

/// A request the store refuses before any route: a method HTTP does not
/// define (501), an OData version other than 4.0 (412), an OData query
/// parameter (501). False for none.
bool RefusedUpFront(const StoreRequest &Request, StoreResponse *Refusal) {
  bool Known = false;
  for (const char *Method : KNOWN_METHODS) {
    Known = Known || Request.Method == Method;
  }
  if (!Known) {
    *Refusal = Failure(501, "GeneralError");
    return true;
  }
  std::string Version = Request.ODataVersion;
  Version.erase(0, Version.find_first_not_of(" \t"));
  Version.erase(Version.find_last_not_of(" \t") + 1);
  if (!Version.empty() && Version != "4.0") {
    *Refusal = Failure(412, "HeaderInvalid", {"OData-Version: " + Request.ODataVersion});
    return true;
  }
  std::string Dollar = DollarParameter(Request.Query);
  if (!Dollar.empty()) {
    *Refusal = Failure(501, "QueryParameterUnsupported", {Dollar});
    return true;
  }
  return false;
}

}  // namespace

StoreResponse RedfishStore::RouteAndServe(const StoreRequest &Request, const std::string &Path) {
  StoreResponse Refusal;
  if (RefusedUpFront(Request, &Refusal)) {
    return Refusal;
  }
  // HEAD is GET without the body; a POST to a collection's Members is a
  // POST to the collection.
  const std::string Method = Request.Method == "HEAD" ? "GET" : Request.Method;
  std::string Target = Path;
  if (Method == "POST" && Target.size() > 8 &&
      Target.compare(Target.size() - 8, 8, "/Members") == 0) {
    Target.resize(Target.size() - 8);
  }
  CALL Call{Request, Target, {}, "", false, ROLE::Administrator, ""};
  ROUTING Routing = Look(Target, Method);
  Call.Segments = Routing.Captured;
  if (Routing.Chosen != nullptr && Routing.Chosen->Privileges == PRIVILEGE_NONE) {
    StoreResponse Open = (this->*Routing.Chosen->Handle)(Call);
    Open.Allow = AllowOf(Routing.Methods);
    return Open;
  }
  if (Routing.Chosen == nullptr && !Routing.Methods.empty() && Routing.AllOpen) {
    return NotAllowed(AllowOf(Routing.Methods));
  }
  if (!Authenticate(Call, &Refusal)) {
    return Refusal;
  }
  StoreResponse Response = ServeAuthenticated(Call, Method, Routing.Chosen, Routing.Methods);
  Response.ByDriver = Call.ByDriver;
  Response.User = Call.User;
  return Response;
}

StoreResponse RedfishStore::ServeAuthenticated(CALL &Call, const std::string &Method,
                                               const STORE_ROUTE *Chosen,
                                               const std::vector<std::string> &Methods) {
  const std::string &Target = Call.Path;
  const unsigned Held = Call.ByDriver ? ~0u : RolePrivileges(Call.Role);
  auto Permitted = [Held](unsigned Needed) { return (Held & Needed) != 0; };
  const bool IsAction = StartsWith(Target, URI_ACTION_PREFIX);
  StoreResponse Refusal;
  if (PasswordChangeRefused(Call, Method, &Refusal)) {
    return Refusal;
  }
  // The actions' POST first: a second POST of an action issues it again
  // rather than hitting its stored parameters.
  if (IsAction && Method == "POST") {
    return Permitted(PRIVILEGE_CONFIGURE_COMPONENTS) ? IssueAction(Call)
                                                     : Failure(403, "InsufficientPrivilege");
  }
  // Then the stored documents: a scenario may hold any URI.
  int Index = FindDocument(Target);
  if (Index >= 0) {
    const char *Allow = IsAction ? "GET, HEAD, POST, PATCH" : "GET, HEAD, PATCH";
    if (Method == "GET") {
      StoreResponse Document = ServeDocument(Call, static_cast<size_t>(Index));
      Document.Allow = Allow;
      return Document;
    }
    if (Method == "PATCH") {
      return Permitted(PRIVILEGE_CONFIGURE_COMPONENTS)
                 ? PatchDocument(Call, static_cast<size_t>(Index))
                 : Failure(403, "InsufficientPrivilege");
    }
    return NotAllowed(Allow);
  }
  if (Chosen != nullptr) {
    if (!Permitted(Chosen->Privileges)) {
      return Failure(403, "InsufficientPrivilege");
    }
    StoreResponse Served = (this->*Chosen->Handle)(Call);
    Served.Allow = AllowOf(Methods);
    return Served;
  }
  if (!Methods.empty()) {
    return NotAllowed(AllowOf(Methods));
  }
  if (StartsWith(Target, URI_SYSTEM_ACTIONS)) {
    if (Method == "POST") {
      return Failure(400, "ActionNotSupported", {Target.substr(sizeof(URI_SYSTEM_ACTIONS) - 1)});
    }
    return IsAction ? Failure(404, "ResourceNotFound", {"VelkActionParameters", Target})
                    : NotAllowed("POST");
  }
  return Failure(404, "ResourceNotFound", {"Resource", Target});
}
