// The twin's Redfish service: one store of resources that the operator's
// clients and the driver reach over HTTP alike. It holds the scenario's
// resources (served byte for byte, patched with the merge rules of the
// simulated service), the resources of its own (service root, system,
// sessions, tasks), the accounts, the sessions and the host's power state.
//
// Serve() answers one request whole under one lock: a request either applies
// entirely or changes nothing, and requests from several threads are served
// one after the other. Nothing here uses cJSON, whose allocator belongs to
// the emulated machine's thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

/// One HTTP request as the front end read it.
struct StoreRequest {
  std::string Method;  ///< upper case, as on the wire
  std::string Path;    ///< without the query
  std::string Body;
  std::string Authorization;  ///< the headers the service looks at ("" when absent)
  std::string AuthToken;      ///< X-Auth-Token
  std::string IfMatch;
  std::string IfNoneMatch;
};

/// The answer, and who asked.
struct StoreResponse {
  int Code = 200;
  std::string Body;  ///< JSON text; empty for no body
  std::vector<std::pair<std::string, std::string>> Headers;
  bool ByDriver = false;  ///< the platform's REST producer asked
  std::string User;       ///< the account that asked ("" when not authenticated)
  bool Changed = false;   ///< the request changed the store
};

struct StoreAccount {
  std::string User;
  std::string Password;
};

/// The Redfish error body of a Base registry message, e.g.
/// RedfishErrorBody("ResourceNotFound", "...").
std::string RedfishErrorBody(const std::string &MessageKey, const std::string &Message);

class RedfishStore {
 public:
  /// Resources: the scenario's (URI, body text) pairs, in order.
  RedfishStore(std::vector<std::pair<std::string, std::string>> Resources,
               std::vector<StoreAccount> Accounts);
  RedfishStore(const RedfishStore &) = delete;
  RedfishStore &operator=(const RedfishStore &) = delete;

  /// The token that marks the platform's own requests.
  const std::string &DriverToken() const { return mDriverToken; }

  StoreResponse Serve(const StoreRequest &Request);

  /// Waits until an operator's reset asks for a boot (true, once however
  /// many resets came meanwhile) or Until passes (false).
  bool WaitForBoot(std::chrono::steady_clock::time_point Until);
  /// Whether the host is on (a stored state may say it is off).
  bool PoweredOn();
  void PowerOff();

  /// The store as JSON text, with a number that grows with every change, so
  /// that a writer can tell the newer of two snapshots.
  std::string Snapshot(uint64_t *Version);
  /// Restores a Snapshot; false, changing nothing, for text that is not one.
  bool Restore(const std::string &Text);

  /// The stored documents, in order (for the "final" event).
  std::vector<std::pair<std::string, std::string>> Documents();

 private:
  struct TASK {
    uint64_t Id;
    std::string ActionName;
    std::string ActionUri;
    bool Frozen;  ///< the state below stays; otherwise it follows ActionStatus
    std::string State;
    std::string Message;
  };
  struct SESSION {
    std::string Id;
    std::string Token;
    std::string User;
  };

  /// Answers one request, Path without its trailing slashes, under the lock.
  /// The order matters: the documents that need no credentials (the version
  /// document, the service root) and the login come first; then the
  /// requester is authenticated; then an action POST is taken before a
  /// stored document of the same URI (a second POST of an action issues it
  /// again rather than hitting the stored parameters), stored documents
  /// before the twin's own resources (a scenario may hold any URI), and
  /// anything left is 404.
  StoreResponse Route(const StoreRequest &Request, const std::string &Path);
  bool Authenticate(const StoreRequest &Request, StoreResponse *Response);
  StoreResponse ServeDocument(const StoreRequest &Request, size_t Index);
  StoreResponse ServeSystem(const StoreRequest &Request);
  StoreResponse Login(const StoreRequest &Request);
  StoreResponse IssueAction(const StoreRequest &Request, const std::string &ActionName);
  StoreResponse Reset(const StoreRequest &Request);
  StoreResponse ServeGenerated(const StoreRequest &Request, const std::string &Body);

  std::string SystemBody() const;
  std::string TaskBody(const TASK &Task) const;
  /// The live task's state from ActionStatus now.
  void TaskStateNow(const TASK &Task, std::string *State, std::string *Message) const;
  int FindDocument(const std::string &Uri) const;
  void Touch() { mVersion++; }

  std::mutex mLock;
  std::condition_variable mPowerChanged;
  std::vector<std::pair<std::string, std::string>> mDocuments;
  std::vector<StoreAccount> mAccounts;
  std::deque<SESSION> mSessions;
  uint64_t mNextSession = 1;
  std::deque<TASK> mTasks;
  uint64_t mNextTask = 1;
  std::string mDriverToken;
  std::string mUuid;
  bool mPoweredOn = true;
  uint64_t mBootRequests = 0;
  std::string mBootJson;  ///< the system's Boot object
  uint64_t mVersion = 1;
};
