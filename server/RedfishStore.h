// The twin's Redfish service: one store of resources that the operator's
// clients and the driver reach over HTTP alike. It holds the scenario's
// resources (served byte for byte, patched with the merge rules of the
// simulated service), the resources of its own (service root, system,
// sessions, accounts, tasks), the accounts, the sessions and the host's
// power state.
//
// Serve() answers one request whole under one lock: a request either applies
// entirely or changes nothing, and requests from several threads are served
// one after the other. A request is routed through one table (StoreRoutes.cpp)
// that names, for each URI pattern and method, the handler and the privilege
// it needs; the handlers of each part live in a file of their own. Nothing
// here uses cJSON, whose allocator belongs to the emulated machine's thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "server/StoreJson.h"

/// One HTTP request as the front end read it.
struct StoreRequest {
  std::string Method;  ///< upper case, as on the wire
  std::string Path;    ///< percent-decoded, without the query
  std::string Query;   ///< after "?", as sent ("" when none)
  std::string Body;
  std::string Authorization;  ///< the headers the service looks at ("" when absent)
  std::string AuthToken;      ///< X-Auth-Token
  std::string IfMatch;
  std::string IfNoneMatch;
  std::string ODataVersion;  ///< OData-Version
  std::string Client;        ///< the client's address ("" for the host's own)
};

/// The answer, and who asked.
struct StoreResponse {
  int Code = 200;
  std::string Body;  ///< JSON text (or the CSDL of $metadata); empty for no body
  std::vector<std::pair<std::string, std::string>> Headers;
  bool ByDriver = false;  ///< the platform's REST producer asked
  std::string User;       ///< the account that asked ("" when not authenticated)
  bool Changed = false;   ///< the request changed the store
  std::string ContentType = "application/json;charset=utf-8";
  /// The methods the URI takes (for Allow on a GET or HEAD).
  std::string Allow;
};

/// The predefined roles.
enum class ROLE { Administrator, Operator, ReadOnly };

/// "Administrator", "Operator", "ReadOnly", and back.
const char *RoleName(ROLE Role);
bool ParseRole(const std::string &Name, ROLE *Role);

struct StoreAccount {
  std::string User;
  std::string Password;
  ROLE Role = ROLE::Administrator;
};

/// What the store keeps at most, and what guards its logins. Each limit is
/// refused with a Redfish error when reached (docs/serve.md).
struct STORE_LIMITS {
  size_t ActionResources = 32;        ///< action URIs holding parameters
  size_t ActionBytes = 8u << 20;      ///< their parameters together
  size_t DocumentBytes = 1u << 20;    ///< one stored document after a PATCH or POST
  size_t Sessions = 64;               ///< open sessions
  size_t Tasks = 32;                  ///< tasks kept (the oldest ended one goes first)
  unsigned SessionTimeout = 1800;     ///< seconds of inactivity (30 to 86400)
  unsigned LockoutThreshold = 5;      ///< failed logins of an account before it locks
  unsigned LockoutSeconds = 60;       ///< how long it stays locked
  unsigned LockoutResetSeconds = 60;  ///< a failure older than this no longer counts
  unsigned ClientFailures = 20;       ///< failed logins of one client address ...
  unsigned ClientSeconds = 60;        ///< ... within this window before it waits that long
};

/// Reads a PATCH body: a JSON object, less the annotations a client echoes
/// back ("@odata.etag"), which change nothing. False with the refusal in
/// *Refusal: MalformedJSON, or NoOperation when only annotations were sent.
bool ReadPatch(const std::string &Text, Json *Patch, StoreResponse *Refusal);

/// One entry of the route table (StoreRoutes.cpp).
struct STORE_ROUTE;

/// The published JSON schema of an @odata.type ("#Memory.v1_23_0.Memory":
/// http://redfish.dmtf.org/schemas/v1/Memory.v1_23_0.json), the twin's own
/// schema for its OEM types; "" for no type.
std::string SchemaLinkOf(const std::string &Type);

/// The privileges DMTF's privilege registry names, as bits.
enum PRIVILEGE : unsigned {
  PRIVILEGE_NONE = 0,  ///< no authentication
  PRIVILEGE_LOGIN = 1,
  PRIVILEGE_CONFIGURE_MANAGER = 2,
  PRIVILEGE_CONFIGURE_USERS = 4,
  PRIVILEGE_CONFIGURE_SELF = 8,
  PRIVILEGE_CONFIGURE_COMPONENTS = 16,
};

class RedfishStore {
 public:
  using Clock = std::chrono::steady_clock;

  /// Resources: the scenario's (URI, body text) pairs, in order.
  RedfishStore(std::vector<std::pair<std::string, std::string>> Resources,
               std::vector<StoreAccount> Accounts, STORE_LIMITS Limits = STORE_LIMITS());
  RedfishStore(const RedfishStore &) = delete;
  RedfishStore &operator=(const RedfishStore &) = delete;

  /// The token that marks the platform's own requests.
  const std::string &DriverToken() const { return mDriverToken; }

  /// Writes the state that Snapshot() would give, under the store's lock,
  /// after every request that changed it; false when it could not be
  /// written, and the change is then undone and refused.
  using Persist = std::function<bool(const std::string &Snapshot, std::string *Problem)>;
  void SetPersist(Persist Writer) { mPersist = std::move(Writer); }

  StoreResponse Serve(const StoreRequest &Request);

  /// Waits until an operator's reset asks for a boot (true, once however
  /// many resets came meanwhile) or Until passes (false).
  bool WaitForBoot(Clock::time_point Until);
  /// Whether the host is on (a stored state may say it is off).
  bool PoweredOn();
  void PowerOff();

  /// A boot is starting or has ended: tasks of an issued action follow it
  /// (Running from the start of the boot that carries it out).
  void BootStarted();
  void BootEnded();

  /// The NVDIMM model after a boot (the simulated component's state text),
  /// from which the standard memory inventory is served.
  void SetInventory(const std::string &Model);

  /// The store as JSON text, with a number that grows with every change, so
  /// that a writer can tell the newer of two snapshots.
  std::string Snapshot(uint64_t *Version);
  /// Restores a Snapshot; false, changing nothing, for text that is not one.
  bool Restore(const std::string &Text);

  /// The stored documents, in order (for the "final" event).
  std::vector<std::pair<std::string, std::string>> Documents();

  /// Why the last failed state write failed ("" when none did): for the log.
  std::string TakePersistProblem();

  /// The clock that sessions and lockouts follow (tests give their own).
  void UseClock(std::function<Clock::time_point()> Now) { mClock = std::move(Now); }

  // -- The parts' handlers and what they share (called under the lock). --

  /// One request being served: the request, its normalized path, the
  /// pattern's captured segments, and who asked.
  struct CALL {
    const StoreRequest &Request;
    const std::string &Path;
    std::vector<std::string> Segments;
    std::string User;  ///< "" for the driver and for no authentication
    bool ByDriver = false;
    ROLE Role = ROLE::Administrator;
    std::string SessionId;  ///< the session the request came with
  };
  using HANDLER = StoreResponse (RedfishStore::*)(CALL &Call);

  StoreResponse ServeVersion(CALL &Call);
  StoreResponse ServeRoot(CALL &Call);
  StoreResponse ServeOData(CALL &Call);
  StoreResponse ServeMetadata(CALL &Call);
  StoreResponse ServeOemSchema(CALL &Call);
  StoreResponse ServeRegistries(CALL &Call);
  StoreResponse ServeRegistryFile(CALL &Call);
  StoreResponse ServeRegistry(CALL &Call);
  StoreResponse ServeMemoryCollection(CALL &Call);
  StoreResponse ServeMemory(CALL &Call);
  StoreResponse ServeMemoryMetrics(CALL &Call);
  StoreResponse ServeMemoryDomains(CALL &Call);
  StoreResponse ServeMemoryDomain(CALL &Call);
  StoreResponse ServeMemoryChunksCollection(CALL &Call);
  StoreResponse ServeMemoryChunk(CALL &Call);
  StoreResponse ServeAccountService(CALL &Call);
  StoreResponse PatchAccountService(CALL &Call);
  StoreResponse ServeAccounts(CALL &Call);
  StoreResponse ServeAccount(CALL &Call);
  StoreResponse PatchAccount(CALL &Call);
  StoreResponse CreateAccount(CALL &Call);
  StoreResponse DeleteAccount(CALL &Call);
  StoreResponse ServeRoles(CALL &Call);
  StoreResponse ServeRole(CALL &Call);
  StoreResponse ServeMonitor(CALL &Call);
  StoreResponse CancelMonitor(CALL &Call);
  StoreResponse ServeSystems(CALL &Call);
  StoreResponse ServeSystem(CALL &Call);
  StoreResponse PatchSystem(CALL &Call);
  StoreResponse Reset(CALL &Call);
  StoreResponse ServeSessionService(CALL &Call);
  StoreResponse PatchSessionService(CALL &Call);
  StoreResponse ServeSessions(CALL &Call);
  StoreResponse Login(CALL &Call);
  StoreResponse ServeSession(CALL &Call);
  StoreResponse Logout(CALL &Call);
  StoreResponse ServeTaskService(CALL &Call);
  StoreResponse ServeTasks(CALL &Call);
  StoreResponse ServeTask(CALL &Call);
  StoreResponse IssueAction(CALL &Call);

  /// A GET or HEAD answer of Body, with its ETag, 304 when If-None-Match
  /// names it.
  StoreResponse Generated(CALL &Call, const std::string &Body);
  /// The answers for a stored document at Index (the scenario's and the
  /// actions' parameters): GET, HEAD and PATCH.
  StoreResponse ServeDocument(CALL &Call, size_t Index);
  StoreResponse PatchDocument(CALL &Call, size_t Index);

 private:
  /// An account as the store keeps it: the password only as a salted
  /// SHA-256, so that the state file holds no password.
  struct ACCOUNT {
    std::string Id;  ///< the last segment of its URI, never reused
    std::string User;
    std::string Salt;
    std::string PasswordHash;
    ROLE Role;
    bool Enabled = true;
    /// Until its password is changed, the account may only log in, read
    /// itself and PATCH its Password.
    bool PasswordChangeRequired = false;
    /// Whether Password is this account's password (constant time).
    bool Accepts(const std::string &Password) const;
  };
  struct SESSION {
    std::string Id;
    std::string TokenHash;  ///< SHA-256 of the token: the token itself is never kept
    std::string User;
    std::string Client;
    int64_t Created = 0;  ///< seconds since the epoch
    Clock::time_point LastUsed;
  };
  struct LOCKOUT {
    std::deque<Clock::time_point> Failures;
    Clock::time_point LockedUntil;
  };
  struct TASK {
    uint64_t Id = 0;
    std::string ActionName;
    std::string ActionUri;
    bool Frozen = false;  ///< the state below stays; otherwise it follows ActionStatus
    std::string State;
    std::string Message;
    int64_t StartTime = 0;      ///< seconds since the epoch
    int64_t EndTime = 0;        ///< 0 while not ended
    bool Booted = false;        ///< a boot has begun since it was issued
    bool MonitorTaken = false;  ///< the monitor gave its final response, or was cancelled
    std::string Parameters;     ///< the POST's body, as JSON text
  };

  StoreResponse Route(const StoreRequest &Request, const std::string &Path);
  StoreResponse RouteAndServe(const StoreRequest &Request, const std::string &Path);
  /// An authenticated request: actions, stored documents, then Route (the
  /// table's entry for the method, null when none) among the URI's Methods.
  StoreResponse ServeAuthenticated(CALL &Call, const std::string &Method, const STORE_ROUTE *Route,
                                   const std::vector<std::string> &Methods);
  /// Cache-Control on every answer; Allow and the schema's Link on a GET's.
  void Decorate(const StoreRequest &Request, StoreResponse *Response) const;
  /// Who asks: the driver, a session or Basic credentials. False with the
  /// refusal in *Refusal.
  bool Authenticate(CALL &Call, StoreResponse *Refusal);
  /// One failed authentication of User from Client; whether it locks.
  void NoteFailure(const std::string &User, const std::string &Client);
  bool Locked(const std::string &User, const std::string &Client);
  const ACCOUNT *FindAccount(const std::string &User) const;
  /// The index of the account whose Id is Id; -1 for none.
  int AccountById(const std::string &Id) const;
  std::string AccountUri(const ACCOUNT &Account) const;
  /// Whether the account at Index is the only enabled Administrator.
  bool LastAdministrator(size_t Index) const;
  /// Ends every session of User.
  void EndSessionsOf(const std::string &User);
  std::string AccountBody(size_t Index) const;
  /// For an account that must change its password first: the refusal of
  /// anything but reading itself, changing its password and logging out.
  bool PasswordChangeRefused(const CALL &Call, const std::string &Method,
                             StoreResponse *Refusal) const;
  std::string AccountServiceBody() const;
  void ExpireSessions();

  std::string SystemBody() const;
  /// The system's MemorySummary, from the NVDIMM model.
  Json MemorySummary() const;
  std::string TaskBody(const TASK &Task) const;
  /// The live task's state from ActionStatus now.
  void TaskStateNow(const TASK &Task, std::string *State, std::string *Message) const;
  TASK *FindTask(const std::string &Id);
  /// Notes when the live task became final (its EndTime).
  void RefreshTasks();
  int FindDocument(const std::string &Uri) const;
  /// Whether an action may not be issued now with Stored as its parameters
  /// at Path: one still waiting, or the limits; the refusal in *Refusal.
  bool ActionRefused(const std::string &Path, const std::string &Stored,
                     StoreResponse *Refusal) const;
  /// Stores Body at Uri, in its place or as a new document.
  void Put(const std::string &Uri, const std::string &Body);
  /// The action parameter documents' count and bytes, Except one URI.
  void ActionUse(const std::string &Except, size_t *Count, size_t *Bytes) const;
  std::string SnapshotLocked() const;
  bool RestoreLocked(const std::string &Text);
  void Touch() { mVersion++; }
  Clock::time_point Now() const { return mClock ? mClock() : Clock::now(); }

  STORE_LIMITS mLimits;
  std::mutex mLock;
  std::condition_variable mPowerChanged;
  std::vector<std::pair<std::string, std::string>> mDocuments;
  std::vector<ACCOUNT> mAccounts;
  uint64_t mNextAccount = 1;
  std::deque<SESSION> mSessions;
  uint64_t mNextSession = 1;
  std::map<std::string, LOCKOUT> mAccountFailures;
  std::map<std::string, LOCKOUT> mClientFailures;
  std::deque<TASK> mTasks;
  uint64_t mNextTask = 1;
  std::string mDriverToken;
  std::string mUuid;
  bool mPoweredOn = true;
  bool mBooting = false;  ///< a boot of the host is running
  uint64_t mBootRequests = 0;
  std::string mBootJson;   ///< the system's Boot object
  std::string mInventory;  ///< the NVDIMM model's text ("" before the first boot)
  uint64_t mVersion = 1;
  Persist mPersist;
  std::string mPersistProblem;
  std::function<Clock::time_point()> mClock;
};
