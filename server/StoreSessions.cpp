// Sessions: login, logout, expiry after SessionTimeout of inactivity, and the
// lockout that follows repeated failed logins, by account and by client
// address. The driver's own token is none of this: nothing here slows it.
#include <ctime>

#include "server/BaseRegistry.h"
#include "server/RedfishStore.h"
#include "server/StoreTypes.h"
#include "server/StoreUris.h"

namespace {

/// Drops failures older than Window; whether Limit or more remain.
bool Reached(std::deque<RedfishStore::Clock::time_point> *Failures, unsigned Window, unsigned Limit,
             RedfishStore::Clock::time_point Now) {
  while (!Failures->empty() && Now - Failures->front() > std::chrono::seconds(Window)) {
    Failures->pop_front();
  }
  return Failures->size() >= Limit;
}

}  // namespace

void RedfishStore::ExpireSessions() {
  auto Now = this->Now();
  for (auto Session = mSessions.begin(); Session != mSessions.end();) {
    bool Expired = Now - Session->LastUsed > std::chrono::seconds(mLimits.SessionTimeout);
    Session = Expired ? mSessions.erase(Session) : std::next(Session);
  }
}

bool RedfishStore::Locked(const std::string &User, const std::string &Client) {
  auto Now = this->Now();
  auto Account = mAccountFailures.find(User);
  if (Account != mAccountFailures.end() && Now < Account->second.LockedUntil) {
    return true;
  }
  auto Address = mClientFailures.find(Client);
  return !Client.empty() && Address != mClientFailures.end() && Now < Address->second.LockedUntil;
}

void RedfishStore::NoteFailure(const std::string &User, const std::string &Client) {
  auto Now = this->Now();
  // Only accounts that exist lock (no table entry per name a client makes
  // up), and a locked one is not locked for longer by what it refuses.
  auto Known = mAccountFailures.find(User);
  bool AlreadyLocked = Known != mAccountFailures.end() && Now < Known->second.LockedUntil;
  bool Locking = mLimits.LockoutThreshold != 0 && mLimits.LockoutSeconds != 0;
  if (FindAccount(User) != nullptr && !AlreadyLocked && Locking) {
    LOCKOUT &Account = mAccountFailures[User];
    Account.Failures.push_back(Now);
    if (Reached(&Account.Failures, mLimits.LockoutResetSeconds, mLimits.LockoutThreshold, Now)) {
      Account.LockedUntil = Now + std::chrono::seconds(mLimits.LockoutSeconds);
      Account.Failures.clear();
    }
  }
  if (Client.empty()) {
    return;
  }
  if (mClientFailures.size() >= 1024 && mClientFailures.count(Client) == 0) {
    // A table that grows by client address is cut back to the locked ones.
    for (auto Entry = mClientFailures.begin(); Entry != mClientFailures.end();) {
      Entry = Now < Entry->second.LockedUntil ? std::next(Entry) : mClientFailures.erase(Entry);
    }
  }
  LOCKOUT &Address = mClientFailures[Client];
  Address.Failures.push_back(Now);
  if (Reached(&Address.Failures, mLimits.ClientSeconds, mLimits.ClientFailures, Now)) {
    Address.LockedUntil = Now + std::chrono::seconds(mLimits.ClientSeconds);
    Address.Failures.clear();
  }
}

StoreResponse RedfishStore::ServeSessionService(CALL &Call) {
  Json Body = {{"@odata.id", URI_SESSION_SERVICE}, {"@odata.type", TYPE_SESSION_SERVICE},
               {"Id", "SessionService"},           {"Name", "Session Service"},
               {"ServiceEnabled", true},           {"SessionTimeout", mLimits.SessionTimeout},
               {"Sessions", Link(URI_SESSIONS)}};
  return Generated(Call, Dump(Body));
}

StoreResponse RedfishStore::PatchSessionService(CALL &Call) {
  Json Patch;
  StoreResponse Refusal;
  if (!ReadPatch(Call.Request.Body, &Patch, &Refusal)) {
    return Refusal;
  }
  if (!Call.Request.IfMatch.empty()) {
    StoreResponse Current = ServeSessionService(Call);
    std::string Tag;
    for (const auto &Header : Current.Headers) {
      Tag = Header.first == "ETag" ? Header.second : Tag;
    }
    if (!IfMatchHolds(Call.Request.IfMatch, Tag)) {
      return Failure(412, "PreconditionFailed");
    }
  }
  unsigned Timeout = mLimits.SessionTimeout;
  for (auto Member = Patch.begin(); Member != Patch.end(); ++Member) {
    if (Member.key() != "SessionTimeout") {
      bool Known = Member.key() == "ServiceEnabled" || Member.key() == "Sessions" ||
                   Member.key() == "Id" || Member.key() == "Name";
      return Failure(400, Known ? "PropertyNotWritable" : "PropertyUnknown", {Member.key()});
    }
    if (!Member->is_number_integer()) {
      return Failure(400, "PropertyValueTypeError", {Dump(*Member), "SessionTimeout"});
    }
    int64_t Value = Member->get<int64_t>();
    if (Value < 30 || Value > 86400) {
      return Failure(400, "PropertyValueOutOfRange", {Dump(*Member), "SessionTimeout"});
    }
    Timeout = static_cast<unsigned>(Value);
  }
  mLimits.SessionTimeout = Timeout;
  return Applied();
}

StoreResponse RedfishStore::ServeSessions(CALL &Call) {
  ExpireSessions();
  Json Members = Json::array();
  for (const SESSION &Session : mSessions) {
    Members.push_back(Link(std::string(URI_SESSIONS) + "/" + Session.Id));
  }
  Json Body = {{"@odata.id", URI_SESSIONS},
               {"@odata.type", TYPE_SESSION_COLLECTION},
               {"Name", "Session Collection"},
               {"Members@odata.count", Members.size()},
               {"Members", Members}};
  return Generated(Call, Dump(Body));
}

StoreResponse RedfishStore::Login(CALL &Call) {
  Json Body;
  BODY_READ Read = ReadObjectBody(Call.Request.Body, &Body);
  if (Read == BODY_READ::NotJson || Read == BODY_READ::TooDeep || Read == BODY_READ::NotObject) {
    return Failure(400, "MalformedJSON");
  }
  for (const char *Needed : {"UserName", "Password"}) {
    auto Value = Body.find(Needed);
    if (Value == Body.end()) {
      return Failure(400, "PropertyMissing", {Needed});
    }
    if (!Value->is_string()) {
      return Failure(400, "PropertyValueTypeError", {Dump(*Value), Needed});
    }
  }
  std::string User = Body["UserName"].get<std::string>();
  const std::string &Client = Call.Request.Client;
  // A locked account (or client) is refused whatever the password, and
  // without looking at it; the attempt still counts against the client.
  if (Locked(User, Client)) {
    NoteFailure(User, Client);
    return Unauthorized();
  }
  const ACCOUNT *Account = FindAccount(User);
  if (Account == nullptr || !Account->Accepts(Body["Password"].get<std::string>()) ||
      !Account->Enabled) {
    NoteFailure(User, Client);
    return Unauthorized();
  }
  mAccountFailures.erase(User);
  ExpireSessions();
  if (mSessions.size() >= mLimits.Sessions) {
    return Failure(503, "SessionLimitExceeded");
  }
  std::string Token = NewToken();
  SESSION Session{std::to_string(mNextSession++),
                  Sha256Hex(Token),
                  User,
                  Client,
                  static_cast<int64_t>(std::time(nullptr)),
                  Now()};
  std::string Uri = std::string(URI_SESSIONS) + "/" + Session.Id;
  StoreResponse Response;
  Response.Code = 201;
  Response.User = User;
  Response.Changed = true;
  Json Created = {{"@odata.id", Uri},        {"@odata.type", TYPE_SESSION},
                  {"Id", Session.Id},        {"Name", "User Session"},
                  {"UserName", User},        {"Password", nullptr},
                  {"SessionType", "Redfish"}};
  // The session opens, but gets no further than changing the password.
  if (Account->PasswordChangeRequired) {
    Created["@Message.ExtendedInfo"] =
        Json::array({BaseMessageObject("PasswordChangeRequired", {AccountUri(*Account)})});
  }
  Response.Body = Dump(Created);
  Response.Headers.emplace_back("X-Auth-Token", Token);
  Response.Headers.emplace_back("Location", Uri);
  mSessions.push_back(std::move(Session));
  return Response;
}

StoreResponse RedfishStore::ServeSession(CALL &Call) {
  ExpireSessions();
  const std::string &Id = Call.Segments[0];
  for (const SESSION &Session : mSessions) {
    if (Session.Id == Id) {
      // ConfigureSelf opens one's own session only.
      bool Own = Session.Id == Call.SessionId || Session.User == Call.User;
      if (!Own && !Call.ByDriver && Call.Role != ROLE::Administrator) {
        return Failure(403, "InsufficientPrivilege");
      }
      Json Body = {{"@odata.id", Call.Path},   {"@odata.type", TYPE_SESSION},
                   {"Id", Session.Id},         {"Name", "User Session"},
                   {"UserName", Session.User}, {"Password", nullptr},
                   {"SessionType", "Redfish"}, {"CreatedTime", Iso8601(Session.Created)}};
      if (!Session.Client.empty()) {
        Body["ClientOriginIPAddress"] = Session.Client;
      }
      return Generated(Call, Dump(Body));
    }
  }
  return Failure(404, "ResourceNotFound", {"Session", Id});
}

void RedfishStore::EndSessionsOf(const std::string &User) {
  for (auto Session = mSessions.begin(); Session != mSessions.end();) {
    Session = Session->User == User ? mSessions.erase(Session) : std::next(Session);
  }
}

StoreResponse RedfishStore::Logout(CALL &Call) {
  ExpireSessions();
  const std::string &Id = Call.Segments[0];
  for (auto Session = mSessions.begin(); Session != mSessions.end(); ++Session) {
    if (Session->Id != Id) {
      continue;
    }
    // One's own session needs ConfigureSelf; another's ConfigureManager.
    bool Own = Session->Id == Call.SessionId || Session->User == Call.User;
    if (!Own && !Call.ByDriver && Call.Role != ROLE::Administrator) {
      return Failure(403, "InsufficientPrivilege");
    }
    mSessions.erase(Session);
    return Applied();
  }
  return Failure(404, "ResourceNotFound", {"Session", Id});
}
