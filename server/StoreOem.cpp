// The OEM side: the scenario's documents (ActionStatus among them), served
// as they are and patched with the merge rule of the simulated service, and
// the five actions, whose POST stores the parameters the driver reads and
// sets ActionStatus to "Issued". What the actions keep is bounded.
#include <ctime>

#include "server/BaseRegistry.h"
#include "server/RedfishStore.h"
#include "server/StoreTypes.h"
#include "server/StoreUris.h"
#include "sim/common/MergeObject.h"

namespace {

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

/// Document with the @odata.id and @odata.type that every Redfish resource
/// carries put first (when it lacks them).
Json Annotated(const std::string &Uri, const Json &Document) {
  std::string Type = Uri == URI_ACTION_STATUS ? "#VelkActionStatus.v1_0_0.VelkActionStatus"
                                              : "#VelkActionParameters.v1_0_0.VelkActionParameters";
  Json Served = {{"@odata.id", Uri}, {"@odata.type", Type}};
  // ActionStatus is a resource like any other, with its Id and Name; the
  // parameters' documents are not (an action's parameter may be called Id).
  if (Uri == URI_ACTION_STATUS) {
    Served["Id"] = "ActionStatus";
    Served["Name"] = "Action Status";
  }
  for (auto Member = Document.begin(); Member != Document.end(); ++Member) {
    Served[Member.key()] = *Member;
  }
  return Served;
}

/// A body that is not JSON, nests too deep or is not an object.
StoreResponse BodyRefusal() { return Failure(400, "MalformedJSON"); }

}  // namespace

StoreResponse RedfishStore::ServeDocument(CALL &Call, size_t Index) {
  return Generated(Call, mDocuments[Index].second);
}

StoreResponse RedfishStore::PatchDocument(CALL &Call, size_t Index) {
  std::string &Body = mDocuments[Index].second;
  if (!Call.Request.IfMatch.empty() && !IfMatchHolds(Call.Request.IfMatch, EntityTag(Body))) {
    return Failure(412, "PreconditionFailed");
  }
  Json Patch;
  BODY_READ Read = ReadObjectBody(Call.Request.Body, &Patch);
  if (Read != BODY_READ::Object) {
    return BodyRefusal();
  }
  // A stored body that is not an object (a broken raw one) has nothing to keep.
  Json Merged = ParseStored(Body);
  if (Merged.is_object()) {
    MergeObject<StoreTree>(&Merged, &Patch);
  } else {
    Merged = Patch;
  }
  std::string Text = Dump(Merged);
  if (Text.size() > mLimits.DocumentBytes) {
    return Failure(413, "PayloadTooLarge");
  }
  Body = Text;
  StoreResponse Response = Applied();
  Response.Headers.emplace_back("ETag", EntityTag(Body));
  return Response;
}

bool RedfishStore::ActionRefused(const std::string &Path, const std::string &Stored,
                                 StoreResponse *Refusal) const {
  int StatusIndex = FindDocument(URI_ACTION_STATUS);
  if (StatusIndex >= 0) {
    Json Status = ParseStored(mDocuments[static_cast<size_t>(StatusIndex)].second);
    Json Value = Status.is_object() ? Status.value("Status", Json()) : Json();
    if (Value == "Issued" || Value == "Inprogress") {
      *Refusal = Failure(409, "ResourceInUse");
      return true;
    }
  }
  // What the actions keep is bounded: a document, their number, their bytes.
  size_t Count = 0;
  size_t Bytes = 0;
  ActionUse(Path, &Count, &Bytes);
  if (Stored.size() > mLimits.DocumentBytes) {
    *Refusal = Failure(413, "PayloadTooLarge");
  } else if (FindDocument(Path) < 0 && Count >= mLimits.ActionResources) {
    *Refusal = Failure(400, "CreateLimitReachedForResource");
  } else if (Bytes + Stored.size() > mLimits.ActionBytes) {
    *Refusal = Failure(507, "InsufficientStorage");
  } else {
    return false;
  }
  return true;
}

void RedfishStore::Put(const std::string &Uri, const std::string &Body) {
  int Index = FindDocument(Uri);
  if (Index >= 0) {
    mDocuments[static_cast<size_t>(Index)].second = Body;
  } else {
    mDocuments.emplace_back(Uri, Body);
  }
}

StoreResponse RedfishStore::IssueAction(CALL &Call) {
  const std::string &Path = Call.Path;
  std::string ActionName = Path.substr(sizeof(URI_ACTION_PREFIX) - 1);
  ActionName = ActionName.substr(0, ActionName.find('/'));
  bool Known = false;
  for (const char *Name : ACTION_NAMES) {
    Known = Known || ActionName == Name;
  }
  if (!Known) {
    return Failure(400, "ActionNotSupported", {"VIZ." + ActionName});
  }
  Json Parameters;
  BODY_READ Read = ReadObjectBody(Call.Request.Body, &Parameters);
  if (Read != BODY_READ::Object && Read != BODY_READ::Empty) {
    return BodyRefusal();
  }
  // The driver carries every action out at the next boot: OnReset is the
  // one apply time there is. The annotation is the service's, not a
  // parameter the driver reads.
  auto ApplyTime = Parameters.find("@Redfish.OperationApplyTime");
  if (ApplyTime != Parameters.end()) {
    if (*ApplyTime != "OnReset") {
      return Failure(400, "ActionParameterValueNotInList",
                     {ApplyTime->is_string() ? ApplyTime->get<std::string>() : Dump(*ApplyTime),
                      "@Redfish.OperationApplyTime", "VIZ." + ActionName});
    }
    Parameters.erase(ApplyTime);
  }
  std::string Stored = Dump(Annotated(Path, Parameters));
  StoreResponse Refusal;
  if (ActionRefused(Path, Stored, &Refusal)) {
    return Refusal;
  }
  // The task of the previous action keeps the state it ended in.
  if (!mTasks.empty() && !mTasks.back().Frozen) {
    TaskStateNow(mTasks.back(), &mTasks.back().State, &mTasks.back().Message);
    mTasks.back().Frozen = true;
  }
  if (mTasks.size() >= mLimits.Tasks) {
    mTasks.pop_front();
  }
  Put(Path, Stored);
  Put(URI_ACTION_STATUS,
      Dump(Annotated(URI_ACTION_STATUS,
                     Json{{"Status", "Issued"}, {"ActionName", ActionName}, {"ActionUri", Path}})));
  TASK Task;
  Task.Id = mNextTask++;
  Task.ActionName = ActionName;
  Task.ActionUri = Path;
  Task.State = "New";
  Task.StartTime = static_cast<int64_t>(std::time(nullptr));
  Task.Parameters = Dump(Parameters);
  mTasks.push_back(Task);
  // 202 with the task monitor to follow, and the task itself.
  StoreResponse Response;
  Response.Code = 202;
  Response.Changed = true;
  Response.Body = TaskBody(mTasks.back());
  Response.Headers.emplace_back(
      "Location", std::string(URI_TASK_MONITORS) + "/" + std::to_string(mTasks.back().Id));
  Response.Headers.emplace_back("Retry-After", "1");
  return Response;
}
