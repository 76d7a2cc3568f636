#include "server/RedfishStore.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>

#include "sim/common/MergeObject.h"

using Json = nlohmann::ordered_json;

namespace {

constexpr char mRegistry[] = "Base.1.8.";
constexpr char mRoot[] = "/redfish/v1";
constexpr char mSystems[] = "/redfish/v1/Systems";
constexpr char mSystem[] = "/redfish/v1/Systems/Self";
constexpr char mResetTarget[] = "/redfish/v1/Systems/Self/Actions/ComputerSystem.Reset";
constexpr char mActionPrefix[] = "/redfish/v1/Systems/Self/Actions/Oem/Velk/VIZ.";
constexpr char mSystemActions[] = "/redfish/v1/Systems/Self/Actions/";
constexpr char mActionStatus[] = "/redfish/v1/Oem/Velk/Viz/ActionStatus";
constexpr char mSessionService[] = "/redfish/v1/SessionService";
constexpr char mSessionsUri[] = "/redfish/v1/SessionService/Sessions";
constexpr char mTaskService[] = "/redfish/v1/TaskService";
constexpr char mTasksUri[] = "/redfish/v1/TaskService/Tasks";

constexpr const char *mActionNames[] = {"CreateGoal", "CreateNamespace", "DeleteNamespace",
                                        "DeletePlatformConfigurationData", "RunDiagnostics"};
constexpr const char *mResetTypes[] = {"On",           "ForceOff",        "GracefulShutdown",
                                       "ForceRestart", "GracefulRestart", "PowerCycle"};
constexpr size_t MAX_SESSIONS = 64;
constexpr size_t MAX_TASKS = 32;

/// A strong entity tag: FNV-1a of the representation.
std::string EntityTag(const std::string &Body) {
  uint64_t Hash = 0xcbf29ce484222325ULL;
  for (unsigned char Byte : Body) {
    Hash = (Hash ^ Byte) * 0x100000001b3ULL;
  }
  char Text[24];
  std::snprintf(Text, sizeof(Text), "\"%016llx\"", static_cast<unsigned long long>(Hash));
  return Text;
}

/// Whether an If-Match or If-None-Match list names Tag ("*" names any).
bool TagListHas(const std::string &List, const std::string &Tag) {
  size_t Start = 0;
  while (Start < List.size()) {
    size_t End = List.find(',', Start);
    if (End == std::string::npos) {
      End = List.size();
    }
    std::string Item = List.substr(Start, End - Start);
    size_t First = Item.find_first_not_of(" \t");
    size_t Last = Item.find_last_not_of(" \t");
    Item = First == std::string::npos ? "" : Item.substr(First, Last - First + 1);
    if (Item == "*" || Item == Tag) {
      return true;
    }
    Start = End + 1;
  }
  return false;
}

std::string NewToken() {
  static std::random_device Device;
  static std::mutex Lock;
  std::lock_guard<std::mutex> Guard(Lock);
  std::string Token;
  for (int Index = 0; Index < 4; Index++) {
    char Part[12];
    std::snprintf(Part, sizeof(Part), "%08x", static_cast<unsigned>(Device()));
    Token += Part;
  }
  return Token;
}

bool StartsWith(const std::string &Text, const char *Prefix) {
  return Text.compare(0, std::char_traits<char>::length(Prefix), Prefix) == 0;
}

/// Parses Text as JSON; discarded (is_discarded()) when it is not.
Json Parse(const std::string &Text) { return Json::parse(Text, nullptr, false); }

std::string Dump(const Json &Value) {
  return Value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

StoreResponse Error(int Code, const std::string &Key, const std::string &Message) {
  StoreResponse Response;
  Response.Code = Code;
  Response.Body = RedfishErrorBody(Key, Message);
  return Response;
}

StoreResponse NotAllowed(const std::string &Allow) {
  StoreResponse Response =
      Error(405, "OperationNotAllowed", "The method is not allowed on this resource.");
  Response.Headers.emplace_back("Allow", Allow);
  return Response;
}

/// nlohmann's JSON under the merge rule of sim/common/MergeObject.h.
struct StoreTree {
  using Node = Json;
  using Cursor = Json::iterator;
  static Cursor Begin(Node *Object) { return Object->begin(); }
  static bool AtEnd(Node *Object, Cursor Member) { return Member == Object->end(); }
  static Cursor After(Cursor Member) { return std::next(Member); }
  static const std::string &Name(Cursor Member) { return Member.key(); }
  static Node *Value(Cursor Member) { return &*Member; }
  static bool IsObject(const Node *Value) { return Value->is_object(); }
  static Node *Find(Node *Object, const std::string &Name) {
    auto Found = Object->find(Name);
    return Found != Object->end() ? &*Found : nullptr;
  }
  static void Put(Node *Target, Node *Existing, Node *Patch, Cursor Member) {
    (void)Patch;
    if (Existing != nullptr) {
      *Existing = std::move(*Member);
    } else {
      (*Target)[Member.key()] = std::move(*Member);
    }
  }
};

/// Decodes base64 (standard alphabet, padding optional); false for anything else.
bool DecodeBase64(const std::string &Text, std::string *Out) {
  static const std::string Alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  uint32_t Bits = 0;
  int Count = 0;
  Out->clear();
  for (char Char : Text) {
    if (Char == '=') {
      break;
    }
    size_t Value = Alphabet.find(Char);
    if (Value == std::string::npos) {
      return false;
    }
    Bits = (Bits << 6) | static_cast<uint32_t>(Value);
    Count += 6;
    if (Count >= 8) {
      Count -= 8;
      Out->push_back(static_cast<char>((Bits >> Count) & 0xFF));
    }
  }
  return true;
}

Json Link(const std::string &Uri) { return Json{{"@odata.id", Uri}}; }

Json Collection(const std::string &Uri, const std::string &Type, const std::string &Name,
                const std::vector<std::string> &Members) {
  Json Body = {{"@odata.id", Uri}, {"@odata.type", Type}, {"Name", Name}};
  Json List = Json::array();
  for (const std::string &Member : Members) {
    List.push_back(Link(Member));
  }
  Body["Members@odata.count"] = Members.size();
  Body["Members"] = List;
  return Body;
}

/// Document with the @odata.id and @odata.type that every Redfish resource
/// carries put first (when it lacks them).
Json Annotated(const std::string &Uri, const Json &Document) {
  std::string Type = Uri == mActionStatus ? "#VelkActionStatus.v1_0_0.VelkActionStatus"
                                          : "#VelkActionParameters.v1_0_0.VelkActionParameters";
  Json Served = {{"@odata.id", Uri}, {"@odata.type", Type}};
  for (auto Member = Document.begin(); Member != Document.end(); ++Member) {
    Served[Member.key()] = *Member;
  }
  return Served;
}

}  // namespace

std::string RedfishErrorBody(const std::string &MessageKey, const std::string &Message) {
  std::string Id = std::string(mRegistry) + MessageKey;
  Json Body = {{"error",
                {{"code", Id},
                 {"message", Message},
                 {"@Message.ExtendedInfo", Json::array({{{"@odata.type", "#Message.v1_1_1.Message"},
                                                         {"MessageId", Id},
                                                         {"Message", Message},
                                                         {"Severity", "Critical"},
                                                         {"Resolution", "None."}}})}}}};
  return Dump(Body);
}

RedfishStore::RedfishStore(std::vector<std::pair<std::string, std::string>> Resources,
                           std::vector<StoreAccount> Accounts)
    : mDocuments(std::move(Resources)),
      mAccounts(std::move(Accounts)),
      mDriverToken(NewToken()),
      mBootJson(Dump(Json{{"BootSourceOverrideEnabled", "Disabled"},
                          {"BootSourceOverrideTarget", "None"},
                          {"BootSourceOverrideTarget@Redfish.AllowableValues",
                           Json::array({"None", "Pxe", "Hdd", "BiosSetup", "UefiShell"})},
                          {"BootSourceOverrideMode", "UEFI"}})) {
  std::string Token = NewToken();
  mUuid = Token.substr(0, 8) + "-" + Token.substr(8, 4) + "-" + Token.substr(12, 4) + "-" +
          Token.substr(16, 4) + "-" + Token.substr(20, 12);
}

int RedfishStore::FindDocument(const std::string &Uri) const {
  for (size_t Index = 0; Index < mDocuments.size(); Index++) {
    if (mDocuments[Index].first == Uri) {
      return static_cast<int>(Index);
    }
  }
  return -1;
}

StoreResponse RedfishStore::Serve(const StoreRequest &Request) {
  std::string Path = Request.Path;
  while (Path.size() > 1 && Path.back() == '/') {
    Path.pop_back();
  }
  std::lock_guard<std::mutex> Guard(mLock);
  StoreResponse Response = Route(Request, Path);
  if (Response.Changed) {
    Touch();
  }
  return Response;
}

bool RedfishStore::Authenticate(const StoreRequest &Request, StoreResponse *Response) {
  if (!Request.AuthToken.empty()) {
    if (Request.AuthToken == mDriverToken) {
      Response->ByDriver = true;
      return true;
    }
    for (const SESSION &Session : mSessions) {
      if (Session.Token == Request.AuthToken) {
        Response->User = Session.User;
        return true;
      }
    }
  }
  if (StartsWith(Request.Authorization, "Basic ")) {
    std::string Pair;
    if (DecodeBase64(Request.Authorization.substr(6), &Pair)) {
      size_t Colon = Pair.find(':');
      for (const StoreAccount &Account : mAccounts) {
        if (Colon != std::string::npos && Pair.substr(0, Colon) == Account.User &&
            Pair.substr(Colon + 1) == Account.Password) {
          Response->User = Account.User;
          return true;
        }
      }
    }
  }
  return false;
}

StoreResponse RedfishStore::Route(const StoreRequest &Request, const std::string &Path) {
  const std::string &Method = Request.Method;
  bool Get = Method == "GET" || Method == "HEAD";
  if (Path == "/redfish") {
    return Get ? ServeGenerated(Request, Dump(Json{{"v1", "/redfish/v1/"}}))
               : NotAllowed("GET, HEAD");
  }
  if (Path == mRoot) {
    if (!Get) {
      return NotAllowed("GET, HEAD");
    }
    Json Root = {{"@odata.id", mRoot},
                 {"@odata.type", "#ServiceRoot.v1_5_0.ServiceRoot"},
                 {"Id", "RootService"},
                 {"Name", "Root Service"},
                 {"RedfishVersion", "1.6.0"},
                 {"UUID", mUuid},
                 {"Systems", Link(mSystems)},
                 {"SessionService", Link(mSessionService)},
                 {"TaskService", Link(mTaskService)},
                 {"Links", {{"Sessions", Link(mSessionsUri)}}}};
    return ServeGenerated(Request, Dump(Root));
  }
  if (Path == mSessionsUri && Method == "POST") {
    return Login(Request);
  }

  StoreResponse Who;
  if (!Authenticate(Request, &Who)) {
    StoreResponse Response = Error(
        401, "NoValidSession", "There is no valid session established with the implementation.");
    Response.Headers.emplace_back("WWW-Authenticate", "Basic realm=\"nvdimm-emu\"");
    return Response;
  }
  StoreResponse Response = [&]() -> StoreResponse {
    int Index = FindDocument(Path);
    if (StartsWith(Path, mActionPrefix) && Method == "POST") {
      std::string Name = Path.substr(sizeof(mActionPrefix) - 1);
      Name = Name.substr(0, Name.find('/'));
      for (const char *Known : mActionNames) {
        if (Name == Known) {
          return IssueAction(Request, Name);
        }
      }
      return Error(400, "ActionNotSupported", "The action " + Name + " is not supported.");
    }
    if (Index >= 0) {
      return ServeDocument(Request, static_cast<size_t>(Index));
    }
    if (Path == mResetTarget) {
      return Method == "POST" ? Reset(Request) : NotAllowed("POST");
    }
    if (StartsWith(Path, mSystemActions)) {
      if (Method == "POST") {
        return Error(
            400, "ActionNotSupported",
            "The action " + Path.substr(sizeof(mSystemActions) - 1) + " is not supported.");
      }
      if (StartsWith(Path, mActionPrefix)) {
        return Error(404, "ResourceNotFound", "Nothing was issued at " + Path + ".");
      }
      return NotAllowed("POST");
    }
    if (Path == mSystems) {
      return Get ? ServeGenerated(Request,
                                  Dump(Collection(mSystems,
                                                  "#ComputerSystemCollection."
                                                  "ComputerSystemCollection",
                                                  "Computer System Collection", {mSystem})))
                 : NotAllowed("GET, HEAD");
    }
    if (Path == mSystem) {
      return ServeSystem(Request);
    }
    if (Path == mSessionService) {
      Json Body = {
          {"@odata.id", mSessionService},  {"@odata.type", "#SessionService.v1_1_8.SessionService"},
          {"Id", "SessionService"},        {"Name", "Session Service"},
          {"ServiceEnabled", true},        {"SessionTimeout", 86400},
          {"Sessions", Link(mSessionsUri)}};
      return Get ? ServeGenerated(Request, Dump(Body)) : NotAllowed("GET, HEAD");
    }
    if (Path == mSessionsUri) {
      std::vector<std::string> Members;
      for (const SESSION &Session : mSessions) {
        Members.push_back(std::string(mSessionsUri) + "/" + Session.Id);
      }
      return Get ? ServeGenerated(Request, Dump(Collection(mSessionsUri,
                                                           "#SessionCollection.SessionCollection",
                                                           "Session Collection", Members)))
                 : NotAllowed("GET, HEAD, POST");
    }
    if (StartsWith(Path, mSessionsUri) && Path[sizeof(mSessionsUri) - 1] == '/') {
      std::string Id = Path.substr(sizeof(mSessionsUri));
      for (auto Session = mSessions.begin(); Session != mSessions.end(); ++Session) {
        if (Session->Id != Id) {
          continue;
        }
        if (Method == "DELETE") {
          mSessions.erase(Session);
          StoreResponse Deleted;
          Deleted.Code = 204;
          return Deleted;
        }
        Json Body = {{"@odata.id", Path},
                     {"@odata.type", "#Session.v1_3_0.Session"},
                     {"Id", Session->Id},
                     {"Name", "User Session"},
                     {"UserName", Session->User}};
        return Get ? ServeGenerated(Request, Dump(Body)) : NotAllowed("GET, HEAD, DELETE");
      }
    }
    if (Path == mTaskService) {
      Json Body = {{"@odata.id", mTaskService}, {"@odata.type", "#TaskService.v1_1_5.TaskService"},
                   {"Id", "TaskService"},       {"Name", "Task Service"},
                   {"ServiceEnabled", true},    {"Tasks", Link(mTasksUri)}};
      return Get ? ServeGenerated(Request, Dump(Body)) : NotAllowed("GET, HEAD");
    }
    if (Path == mTasksUri) {
      std::vector<std::string> Members;
      for (const TASK &Task : mTasks) {
        Members.push_back(std::string(mTasksUri) + "/" + std::to_string(Task.Id));
      }
      return Get ? ServeGenerated(Request,
                                  Dump(Collection(mTasksUri, "#TaskCollection.TaskCollection",
                                                  "Task Collection", Members)))
                 : NotAllowed("GET, HEAD");
    }
    if (StartsWith(Path, mTasksUri) && Path[sizeof(mTasksUri) - 1] == '/') {
      std::string Id = Path.substr(sizeof(mTasksUri));
      for (const TASK &Task : mTasks) {
        if (std::to_string(Task.Id) == Id) {
          return Get ? ServeGenerated(Request, TaskBody(Task)) : NotAllowed("GET, HEAD");
        }
      }
    }
    return Error(404, "ResourceNotFound", "The resource at " + Path + " was not found.");
  }();
  Response.ByDriver = Who.ByDriver;
  Response.User = Who.User;
  return Response;
}

StoreResponse RedfishStore::ServeGenerated(const StoreRequest &Request, const std::string &Body) {
  StoreResponse Response;
  std::string Tag = EntityTag(Body);
  Response.Headers.emplace_back("ETag", Tag);
  if (!Request.IfNoneMatch.empty() && TagListHas(Request.IfNoneMatch, Tag)) {
    Response.Code = 304;
    return Response;
  }
  Response.Body = Body;
  return Response;
}

StoreResponse RedfishStore::ServeDocument(const StoreRequest &Request, size_t Index) {
  std::string &Body = mDocuments[Index].second;
  if (Request.Method == "GET" || Request.Method == "HEAD") {
    return ServeGenerated(Request, Body);
  }
  if (Request.Method != "PATCH") {
    return StartsWith(mDocuments[Index].first, mActionPrefix) ? NotAllowed("GET, HEAD, PATCH, POST")
                                                              : NotAllowed("GET, HEAD, PATCH");
  }
  if (!Request.IfMatch.empty() && !TagListHas(Request.IfMatch, EntityTag(Body))) {
    return Error(412, "PreconditionFailed",
                 "The ETag supplied did not match the ETag required to change this resource.");
  }
  Json Patch = Parse(Request.Body);
  if (!Patch.is_object()) {
    return Error(400, "MalformedJSON", "The request body is not a JSON object.");
  }
  // A stored body that is not an object (a broken raw one) has nothing to keep.
  Json Merged = Parse(Body);
  if (Merged.is_object()) {
    MergeObject<StoreTree>(&Merged, &Patch);
  } else {
    Merged = Patch;
  }
  Body = Dump(Merged);
  StoreResponse Response;
  Response.Code = 204;
  Response.Changed = true;
  Response.Headers.emplace_back("ETag", EntityTag(Body));
  return Response;
}

std::string RedfishStore::SystemBody() const {
  Json ResetAction = {{"target", mResetTarget},
                      {"ResetType@Redfish.AllowableValues", Json::array()}};
  for (const char *Type : mResetTypes) {
    ResetAction["ResetType@Redfish.AllowableValues"].push_back(Type);
  }
  Json Oem = Json::object();
  for (const char *Name : mActionNames) {
    Oem[std::string("#VIZ.") + Name] = {{"target", std::string(mActionPrefix) + Name}};
  }
  Json Body = {{"@odata.id", mSystem},
               {"@odata.type", "#ComputerSystem.v1_13_0.ComputerSystem"},
               {"Id", "Self"},
               {"Name", "Emulated host"},
               {"SystemType", "Physical"},
               {"PowerState", mPoweredOn ? "On" : "Off"},
               {"Status", {{"State", "Enabled"}, {"Health", "OK"}}},
               {"Boot", Parse(mBootJson)},
               {"Actions", {{"#ComputerSystem.Reset", ResetAction}, {"Oem", Oem}}},
               {"Oem", {{"Velk", {{"ActionStatus", Link(mActionStatus)}}}}}};
  return Dump(Body);
}

StoreResponse RedfishStore::ServeSystem(const StoreRequest &Request) {
  std::string Body = SystemBody();
  if (Request.Method == "GET" || Request.Method == "HEAD") {
    return ServeGenerated(Request, Body);
  }
  if (Request.Method != "PATCH") {
    return NotAllowed("GET, HEAD, PATCH");
  }
  if (!Request.IfMatch.empty() && !TagListHas(Request.IfMatch, EntityTag(Body))) {
    return Error(412, "PreconditionFailed",
                 "The ETag supplied did not match the ETag required to change this resource.");
  }
  Json Patch = Parse(Request.Body);
  if (!Patch.is_object()) {
    return Error(400, "MalformedJSON", "The request body is not a JSON object.");
  }
  // Only Boot's settings change; everything is checked before anything does.
  Json Boot = Parse(mBootJson);
  Json Current = Parse(Body);
  for (auto Member = Patch.begin(); Member != Patch.end(); ++Member) {
    if (!Current.contains(Member.key())) {
      return Error(400, "PropertyUnknown",
                   "The property " + Member.key() + " is not in the list of valid properties.");
    }
    if (Member.key() != "Boot" || !Member->is_object()) {
      return Error(400, "PropertyNotWritable", "The property " + Member.key() + " is read only.");
    }
    for (auto Setting = Member->begin(); Setting != Member->end(); ++Setting) {
      if (!Boot.contains(Setting.key()) || Setting.key().find('@') != std::string::npos) {
        return Error(
            400, "PropertyUnknown",
            "The property Boot/" + Setting.key() + " is not in the list of valid properties.");
      }
      if (!Setting->is_string()) {
        return Error(400, "PropertyValueTypeError",
                     "The value of Boot/" + Setting.key() + " is not a string.");
      }
      Boot[Setting.key()] = *Setting;
    }
  }
  mBootJson = Dump(Boot);
  StoreResponse Response;
  Response.Code = 204;
  Response.Changed = true;
  Response.Headers.emplace_back("ETag", EntityTag(SystemBody()));
  return Response;
}

StoreResponse RedfishStore::Login(const StoreRequest &Request) {
  Json Body = Parse(Request.Body);
  if (!Body.is_object()) {
    return Error(400, "MalformedJSON", "The request body is not a JSON object.");
  }
  auto User = Body.find("UserName");
  auto Password = Body.find("Password");
  if (User == Body.end() || Password == Body.end() || !User->is_string() ||
      !Password->is_string()) {
    return Error(400, "PropertyMissing", "UserName and Password are required to log in.");
  }
  bool Known = false;
  for (const StoreAccount &Account : mAccounts) {
    Known = Known || (Account.User == *User && Account.Password == *Password);
  }
  if (!Known) {
    StoreResponse Response = Error(401, "NoValidSession", "The user name or password is wrong.");
    Response.Headers.emplace_back("WWW-Authenticate", "Basic realm=\"nvdimm-emu\"");
    return Response;
  }
  if (mSessions.size() == MAX_SESSIONS) {
    return Error(503, "SessionLimitExceeded",
                 "The session establishment failed because the number of simultaneous sessions "
                 "exceeded the limit.");
  }
  SESSION Session = {std::to_string(mNextSession++), NewToken(), *User};
  std::string Uri = std::string(mSessionsUri) + "/" + Session.Id;
  StoreResponse Response;
  Response.Code = 201;
  Response.User = Session.User;
  Response.Body = Dump(Json{{"@odata.id", Uri},
                            {"@odata.type", "#Session.v1_3_0.Session"},
                            {"Id", Session.Id},
                            {"Name", "User Session"},
                            {"UserName", Session.User}});
  Response.Headers.emplace_back("X-Auth-Token", Session.Token);
  Response.Headers.emplace_back("Location", Uri);
  mSessions.push_back(std::move(Session));
  return Response;
}

void RedfishStore::TaskStateNow(const TASK &Task, std::string *State, std::string *Message) const {
  *State = Task.State;
  *Message = Task.Message;
  if (Task.Frozen) {
    return;
  }
  int Index = FindDocument(mActionStatus);
  Json Status = Index >= 0 ? Parse(mDocuments[static_cast<size_t>(Index)].second) : Json();
  if (!Status.is_object() || Status.value("ActionUri", Json()) != Json(Task.ActionUri)) {
    // ActionStatus names another action now: this one was replaced.
    *State = "Cancelled";
    return;
  }
  Json Value = Status.value("Status", Json());
  std::string Text = Value.is_string() ? Value.get<std::string>() : "";
  *State = Text == "Issued"       ? "New"
           : Text == "Inprogress" ? "Running"
           : Text == "Success"    ? "Completed"
           : Text == "Failed"     ? "Exception"
                                  : "Pending";
  Json StatusMessage = Status.value("StatusMessage", Json());
  *Message = StatusMessage.is_string() ? StatusMessage.get<std::string>() : "";
}

std::string RedfishStore::TaskBody(const TASK &Task) const {
  std::string State;
  std::string Message;
  TaskStateNow(Task, &State, &Message);
  std::string Uri = std::string(mTasksUri) + "/" + std::to_string(Task.Id);
  Json Messages = Json::array();
  if (!Message.empty()) {
    Messages.push_back({{"@odata.type", "#Message.v1_1_1.Message"},
                        {"MessageId", std::string(mRegistry) +
                                          (State == "Exception" ? "GeneralError" : "Success")},
                        {"Message", Message}});
  }
  Json Body = {{"@odata.id", Uri},
               {"@odata.type", "#Task.v1_4_3.Task"},
               {"Id", std::to_string(Task.Id)},
               {"Name", "VIZ." + Task.ActionName},
               {"TaskState", State},
               {"TaskStatus", State == "Exception" || State == "Cancelled" ? "Critical" : "OK"},
               {"Messages", Messages},
               {"Payload", {{"TargetUri", Task.ActionUri}, {"HttpOperation", "POST"}}}};
  return Dump(Body);
}

StoreResponse RedfishStore::IssueAction(const StoreRequest &Request,
                                        const std::string &ActionName) {
  Json Parameters = Parse(Request.Body.empty() ? "{}" : Request.Body);
  if (!Parameters.is_object()) {
    return Error(400, "MalformedJSON", "The action's parameters are not a JSON object.");
  }
  int StatusIndex = FindDocument(mActionStatus);
  if (StatusIndex >= 0) {
    Json Status = Parse(mDocuments[static_cast<size_t>(StatusIndex)].second);
    Json Value = Status.is_object() ? Status.value("Status", Json()) : Json();
    if (Value == "Issued" || Value == "Inprogress") {
      return Error(409, "ResourceInUse",
                   "An action is " + Value.get<std::string>() +
                       "; a new one can be issued once it has ended.");
    }
  }
  // The task of the previous action keeps the state it ended in.
  if (!mTasks.empty() && !mTasks.back().Frozen) {
    TaskStateNow(mTasks.back(), &mTasks.back().State, &mTasks.back().Message);
    mTasks.back().Frozen = true;
  }
  if (mTasks.size() == MAX_TASKS) {
    mTasks.pop_front();
  }
  int Index = FindDocument(Request.Path);
  std::string Stored = Dump(Annotated(Request.Path, Parameters));
  if (Index >= 0) {
    mDocuments[static_cast<size_t>(Index)].second = Stored;
  } else {
    mDocuments.emplace_back(Request.Path, Stored);
  }
  std::string Status = Dump(Annotated(
      mActionStatus,
      Json{{"Status", "Issued"}, {"ActionName", ActionName}, {"ActionUri", Request.Path}}));
  if (StatusIndex >= 0) {
    mDocuments[static_cast<size_t>(StatusIndex)].second = Status;
  } else {
    mDocuments.emplace_back(mActionStatus, Status);
  }
  mTasks.push_back(TASK{mNextTask++, ActionName, Request.Path, false, "New", ""});
  StoreResponse Response;
  Response.Code = 202;
  Response.Changed = true;
  Response.Body = TaskBody(mTasks.back());
  Response.Headers.emplace_back("Location",
                                std::string(mTasksUri) + "/" + std::to_string(mTasks.back().Id));
  return Response;
}

StoreResponse RedfishStore::Reset(const StoreRequest &Request) {
  Json Body = Parse(Request.Body.empty() ? "{}" : Request.Body);
  if (!Body.is_object()) {
    return Error(400, "MalformedJSON", "The request body is not a JSON object.");
  }
  auto Type = Body.find("ResetType");
  if (Type == Body.end()) {
    return Error(400, "ActionParameterMissing",
                 "The action ComputerSystem.Reset requires the parameter ResetType.");
  }
  std::string Name = Type->is_string() ? Type->get<std::string>() : Dump(*Type);
  bool Allowed = false;
  for (const char *Known : mResetTypes) {
    Allowed = Allowed || Name == Known;
  }
  if (!Allowed) {
    return Error(400, "ActionParameterValueNotInList",
                 "The value " + Name +
                     " for the parameter ResetType is not in the list of acceptable values.");
  }
  if (Name == "ForceOff" || Name == "GracefulShutdown") {
    mPoweredOn = false;
  } else if (Name != "On" || !mPoweredOn) {
    mPoweredOn = true;
    mBootRequests++;
    mPowerChanged.notify_all();
  }
  StoreResponse Response;
  Response.Code = 204;
  Response.Changed = true;
  return Response;
}

bool RedfishStore::WaitForBoot(std::chrono::steady_clock::time_point Until) {
  std::unique_lock<std::mutex> Guard(mLock);
  if (!mPowerChanged.wait_until(Guard, Until, [this] { return mBootRequests != 0; })) {
    return false;
  }
  mBootRequests = 0;
  return true;
}

bool RedfishStore::PoweredOn() {
  std::lock_guard<std::mutex> Guard(mLock);
  return mPoweredOn;
}

void RedfishStore::PowerOff() {
  std::lock_guard<std::mutex> Guard(mLock);
  mPoweredOn = false;
  Touch();
}

std::string RedfishStore::Snapshot(uint64_t *Version) {
  std::lock_guard<std::mutex> Guard(mLock);
  Json Documents = Json::array();
  for (const auto &Document : mDocuments) {
    Documents.push_back(Json::array({Document.first, Document.second}));
  }
  Json Tasks = Json::array();
  for (const TASK &Task : mTasks) {
    Tasks.push_back({{"id", Task.Id},
                     {"actionName", Task.ActionName},
                     {"actionUri", Task.ActionUri},
                     {"frozen", Task.Frozen},
                     {"state", Task.State},
                     {"message", Task.Message}});
  }
  *Version = mVersion;
  return Dump(Json{{"documents", Documents},
                   {"tasks", Tasks},
                   {"nextTask", mNextTask},
                   {"poweredOn", mPoweredOn},
                   {"boot", Parse(mBootJson)},
                   {"uuid", mUuid}});
}

bool RedfishStore::Restore(const std::string &Text) {
  Json State = Parse(Text);
  std::vector<std::pair<std::string, std::string>> Documents;
  std::deque<TASK> Tasks;
  try {
    for (const Json &Pair : State.at("documents")) {
      Documents.emplace_back(Pair.at(0).get<std::string>(), Pair.at(1).get<std::string>());
    }
    for (const Json &Task : State.at("tasks")) {
      Tasks.push_back(TASK{Task.at("id").get<uint64_t>(), Task.at("actionName").get<std::string>(),
                           Task.at("actionUri").get<std::string>(), Task.at("frozen").get<bool>(),
                           Task.at("state").get<std::string>(),
                           Task.at("message").get<std::string>()});
    }
    uint64_t NextTask = State.at("nextTask").get<uint64_t>();
    bool PoweredOn = State.at("poweredOn").get<bool>();
    const Json &Boot = State.at("boot");
    std::string Uuid = State.at("uuid").get<std::string>();
    if (!Boot.is_object()) {
      return false;
    }
    std::lock_guard<std::mutex> Guard(mLock);
    mDocuments = std::move(Documents);
    mTasks = std::move(Tasks);
    mNextTask = NextTask;
    mPoweredOn = PoweredOn;
    mBootJson = Dump(Boot);
    mUuid = Uuid;
    Touch();
  } catch (const Json::exception &) {
    return false;
  }
  return true;
}

std::vector<std::pair<std::string, std::string>> RedfishStore::Documents() {
  std::lock_guard<std::mutex> Guard(mLock);
  return mDocuments;
}
