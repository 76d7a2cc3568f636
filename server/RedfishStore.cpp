// The store's core: serving one request under the lock (authentication,
// the route, the state written or the change undone), the power state, and
// the snapshot that the state file keeps.
#include "server/RedfishStore.h"

#include <algorithm>
#include <ctime>

#include "server/BaseRegistry.h"
#include "server/StoreUris.h"

RedfishStore::RedfishStore(std::vector<std::pair<std::string, std::string>> Resources,
                           std::vector<StoreAccount> Accounts, STORE_LIMITS Limits)
    : mLimits(Limits),
      mDocuments(std::move(Resources)),
      mDriverToken(NewToken()),
      mBootJson(Dump(Json{{"BootSourceOverrideEnabled", "Disabled"},
                          {"BootSourceOverrideTarget", "None"},
                          {"BootSourceOverrideTarget@Redfish.AllowableValues",
                           Json::array({"None", "Pxe", "Hdd", "BiosSetup", "UefiShell"})},
                          {"BootSourceOverrideMode", "UEFI"}})) {
  for (const StoreAccount &Account : Accounts) {
    std::string Salt = NewToken();
    mAccounts.push_back({std::to_string(mNextAccount++), Account.User, Salt,
                         Sha256Hex(Salt + Account.Password), Account.Role});
  }
  std::string Token = NewToken();
  mUuid = Token.substr(0, 8) + "-" + Token.substr(8, 4) + "-" + Token.substr(12, 4) + "-" +
          Token.substr(16, 4) + "-" + Token.substr(20, 12);
}

bool ReadPatch(const std::string &Text, Json *Patch, StoreResponse *Refusal) {
  if (ReadObjectBody(Text, Patch) != BODY_READ::Object) {
    *Refusal = Failure(400, "MalformedJSON");
    return false;
  }
  bool Sent = !Patch->empty();
  for (auto Member = Patch->begin(); Member != Patch->end();) {
    Member = Member.key().find('@') != std::string::npos ? Patch->erase(Member) : std::next(Member);
  }
  if (Sent && Patch->empty()) {
    *Refusal = Failure(400, "NoOperation");
    return false;
  }
  return true;
}

int RedfishStore::FindDocument(const std::string &Uri) const {
  for (size_t Index = 0; Index < mDocuments.size(); Index++) {
    if (mDocuments[Index].first == Uri) {
      return static_cast<int>(Index);
    }
  }
  return -1;
}

void RedfishStore::ActionUse(const std::string &Except, size_t *Count, size_t *Bytes) const {
  *Count = 0;
  *Bytes = 0;
  for (const auto &Document : mDocuments) {
    if (Document.first.compare(0, std::char_traits<char>::length(URI_ACTION_PREFIX),
                               URI_ACTION_PREFIX) == 0 &&
        Document.first != Except) {
      (*Count)++;
      *Bytes += Document.second.size();
    }
  }
}

StoreResponse RedfishStore::Serve(const StoreRequest &Request) {
  std::string Path = Request.Path;
  while (Path.size() > 1 && Path.back() == '/') {
    Path.pop_back();
  }
  std::lock_guard<std::mutex> Guard(mLock);
  const bool Reads =
      Request.Method == "GET" || Request.Method == "HEAD" || Request.Method == "OPTIONS";
  // With a state file a change must reach it before it is acknowledged: the
  // store as it was is kept to undo the change when the write fails.
  std::string Before;
  uint64_t BootRequests = mBootRequests;
  if (mPersist && !Reads) {
    Before = SnapshotLocked();
  }
  StoreResponse Response = Route(Request, Path);
  RefreshTasks();
  if (!Response.Changed) {
    return Response;
  }
  Touch();
  std::string Problem;
  if (mPersist && !mPersist(SnapshotLocked(), &Problem)) {
    (void)RestoreLocked(Before);
    mBootRequests = BootRequests;
    mPersistProblem = Problem;
    StoreResponse Refused = Failure(500, "InternalError");
    Refused.ByDriver = Response.ByDriver;
    Refused.User = Response.User;
    return Refused;
  }
  if (mBootRequests != BootRequests) {
    mPowerChanged.notify_all();
  }
  return Response;
}

std::string RedfishStore::TakePersistProblem() {
  std::lock_guard<std::mutex> Guard(mLock);
  std::string Problem;
  Problem.swap(mPersistProblem);
  return Problem;
}

bool RedfishStore::ACCOUNT::Accepts(const std::string &Password) const {
  return SecretsEqual(PasswordHash, Sha256Hex(Salt + Password));
}

const RedfishStore::ACCOUNT *RedfishStore::FindAccount(const std::string &User) const {
  for (const ACCOUNT &Account : mAccounts) {
    if (Account.User == User) {
      return &Account;
    }
  }
  return nullptr;
}

bool RedfishStore::Authenticate(CALL &Call, StoreResponse *Refusal) {
  const StoreRequest &Request = Call.Request;
  auto Refuse = [Refusal]() {
    *Refusal = Unauthorized();
    return false;
  };
  if (!Request.AuthToken.empty()) {
    if (SecretsEqual(Request.AuthToken, mDriverToken)) {
      Call.ByDriver = true;
      return true;
    }
    ExpireSessions();
    std::string Hash = Sha256Hex(Request.AuthToken);
    for (SESSION &Session : mSessions) {
      if (SecretsEqual(Session.TokenHash, Hash)) {
        const ACCOUNT *Account = FindAccount(Session.User);
        if (Account == nullptr || !Account->Enabled) {
          return Refuse();
        }
        Session.LastUsed = Now();
        Call.User = Session.User;
        Call.Role = Account->Role;
        Call.SessionId = Session.Id;
        return true;
      }
    }
    return Refuse();
  }
  if (Request.Authorization.compare(0, 6, "Basic ") != 0) {
    return Refuse();
  }
  std::string Pair;
  size_t Colon = std::string::npos;
  if (!DecodeBase64(Request.Authorization.substr(6), &Pair) ||
      (Colon = Pair.find(':')) == std::string::npos) {
    return Refuse();
  }
  std::string User = Pair.substr(0, Colon);
  if (Locked(User, Request.Client)) {
    NoteFailure(User, Request.Client);
    *Refusal = Failure(401, "NoValidSession");
    return false;
  }
  const ACCOUNT *Account = FindAccount(User);
  if (Account == nullptr || !Account->Accepts(Pair.substr(Colon + 1)) || !Account->Enabled) {
    NoteFailure(User, Request.Client);
    return Refuse();
  }
  Call.User = Account->User;
  Call.Role = Account->Role;
  return true;
}

StoreResponse RedfishStore::Generated(CALL &Call, const std::string &Body) {
  StoreResponse Response;
  std::string Tag = EntityTag(Body);
  Response.Headers.emplace_back("ETag", Tag);
  if (!Call.Request.IfNoneMatch.empty() && !IfNoneMatchHolds(Call.Request.IfNoneMatch, Tag)) {
    Response.Code = 304;
    return Response;
  }
  Response.Body = Body;
  return Response;
}

bool RedfishStore::WaitForBoot(Clock::time_point Until) {
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

void RedfishStore::BootStarted() {
  std::lock_guard<std::mutex> Guard(mLock);
  mBooting = true;
  for (TASK &Task : mTasks) {
    Task.Booted = Task.Booted || !Task.Frozen;
  }
  Touch();
}

void RedfishStore::BootEnded() {
  std::lock_guard<std::mutex> Guard(mLock);
  mBooting = false;
  RefreshTasks();
  Touch();
}

void RedfishStore::SetInventory(const std::string &Model) {
  std::lock_guard<std::mutex> Guard(mLock);
  if (mInventory != Model) {
    mInventory = Model;
    Touch();
  }
}

std::string RedfishStore::Snapshot(uint64_t *Version) {
  std::lock_guard<std::mutex> Guard(mLock);
  *Version = mVersion;
  return SnapshotLocked();
}

std::string RedfishStore::SnapshotLocked() const {
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
                     {"message", Task.Message},
                     {"startTime", Task.StartTime},
                     {"endTime", Task.EndTime},
                     {"booted", Task.Booted},
                     {"monitorTaken", Task.MonitorTaken},
                     {"parameters", Task.Parameters}});
  }
  // Sessions outlive a restart, as a BMC's do; their tokens are kept only
  // as hashes, so the state file gives no one a session.
  Json Sessions = Json::array();
  for (const SESSION &Session : mSessions) {
    Sessions.push_back({{"id", Session.Id},
                        {"tokenSha256", Session.TokenHash},
                        {"user", Session.User},
                        {"client", Session.Client},
                        {"created", Session.Created}});
  }
  Json Accounts = Json::array();
  for (const ACCOUNT &Account : mAccounts) {
    Accounts.push_back({{"id", Account.Id},
                        {"user", Account.User},
                        {"salt", Account.Salt},
                        {"passwordSha256", Account.PasswordHash},
                        {"role", RoleName(Account.Role)},
                        {"enabled", Account.Enabled},
                        {"passwordChangeRequired", Account.PasswordChangeRequired}});
  }
  return Dump(Json{{"documents", Documents},
                   {"accounts", Accounts},
                   {"nextAccount", mNextAccount},
                   {"lockout",
                    {{"threshold", mLimits.LockoutThreshold},
                     {"seconds", mLimits.LockoutSeconds},
                     {"resetSeconds", mLimits.LockoutResetSeconds}}},
                   {"tasks", Tasks},
                   {"nextTask", mNextTask},
                   {"sessions", Sessions},
                   {"nextSession", mNextSession},
                   {"sessionTimeout", mLimits.SessionTimeout},
                   {"poweredOn", mPoweredOn},
                   {"boot", ParseStored(mBootJson)},
                   {"inventory", mInventory},
                   {"uuid", mUuid}});
}

bool RedfishStore::Restore(const std::string &Text) {
  std::lock_guard<std::mutex> Guard(mLock);
  return RestoreLocked(Text);
}

bool RedfishStore::RestoreLocked(const std::string &Text) {
  Json State = ParseStored(Text);
  std::vector<std::pair<std::string, std::string>> Documents;
  std::deque<TASK> Tasks;
  std::deque<SESSION> Sessions;
  try {
    for (const Json &Pair : State.at("documents")) {
      Documents.emplace_back(Pair.at(0).get<std::string>(), Pair.at(1).get<std::string>());
    }
    for (const Json &Task : State.at("tasks")) {
      TASK Read;
      Read.Id = Task.at("id").get<uint64_t>();
      Read.ActionName = Task.at("actionName").get<std::string>();
      Read.ActionUri = Task.at("actionUri").get<std::string>();
      Read.Frozen = Task.at("frozen").get<bool>();
      Read.State = Task.at("state").get<std::string>();
      Read.Message = Task.at("message").get<std::string>();
      Read.StartTime = Task.value("startTime", int64_t{0});
      Read.EndTime = Task.value("endTime", int64_t{0});
      Read.Booted = Task.value("booted", false);
      Read.MonitorTaken = Task.value("monitorTaken", false);
      Read.Parameters = Task.value("parameters", std::string("{}"));
      Tasks.push_back(Read);
    }
    // A session's inactivity counts from the restart.
    for (const Json &Session : State.value("sessions", Json::array())) {
      Sessions.push_back(
          SESSION{Session.at("id").get<std::string>(), Session.at("tokenSha256").get<std::string>(),
                  Session.at("user").get<std::string>(), Session.at("client").get<std::string>(),
                  Session.at("created").get<int64_t>(), Now()});
    }
    // The accounts as they were changed (a password, a role) outlive a
    // restart; a state without them keeps the scenario's.
    std::vector<ACCOUNT> Accounts = mAccounts;
    uint64_t NextAccount = mNextAccount;
    if (State.contains("accounts")) {
      Accounts.clear();
      NextAccount = 1;
      for (const Json &Account : State.at("accounts")) {
        ROLE Role = ROLE::ReadOnly;
        if (!ParseRole(Account.at("role").get<std::string>(), &Role)) {
          return false;
        }
        // A state written before accounts had Ids numbers them in order.
        std::string Id = Account.value("id", std::to_string(Accounts.size() + 1));
        if (Id.empty() || Id.size() > 6 ||
            Id.find_first_not_of("0123456789") != std::string::npos) {
          return false;
        }
        NextAccount = std::max<uint64_t>(NextAccount, std::stoull(Id) + 1);
        Accounts.push_back(
            {Id, Account.at("user").get<std::string>(), Account.at("salt").get<std::string>(),
             Account.at("passwordSha256").get<std::string>(), Role, Account.value("enabled", true),
             Account.value("passwordChangeRequired", false)});
      }
      NextAccount = std::max(NextAccount, State.value("nextAccount", uint64_t{1}));
    }
    STORE_LIMITS Limits = mLimits;
    if (State.contains("lockout")) {
      const Json &Lockout = State.at("lockout");
      Limits.LockoutThreshold = Lockout.at("threshold").get<unsigned>();
      Limits.LockoutSeconds = Lockout.at("seconds").get<unsigned>();
      Limits.LockoutResetSeconds = Lockout.at("resetSeconds").get<unsigned>();
    }
    uint64_t NextTask = State.at("nextTask").get<uint64_t>();
    uint64_t NextSession = State.value("nextSession", uint64_t{1});
    unsigned SessionTimeout = State.value("sessionTimeout", mLimits.SessionTimeout);
    bool PoweredOn = State.at("poweredOn").get<bool>();
    const Json &Boot = State.at("boot");
    std::string Inventory = State.value("inventory", std::string());
    std::string Uuid = State.at("uuid").get<std::string>();
    if (!Boot.is_object() || SessionTimeout < 30 || SessionTimeout > 86400) {
      return false;
    }
    mDocuments = std::move(Documents);
    mAccounts = std::move(Accounts);
    mNextAccount = NextAccount;
    mLimits = Limits;
    mTasks = std::move(Tasks);
    mSessions = std::move(Sessions);
    mNextTask = NextTask;
    mNextSession = NextSession;
    mLimits.SessionTimeout = SessionTimeout;
    mPoweredOn = PoweredOn;
    mBootJson = Dump(Boot);
    mInventory = Inventory;
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
