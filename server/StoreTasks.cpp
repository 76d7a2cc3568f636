// Tasks and their monitors: one task per issued action. Its state follows
// ActionStatus and the host's boots: New until a boot begins, Running while
// the boot that carries it out runs (and while the action is Inprogress,
// as CreateGoal is between its two boots), Pending when a boot ended without
// carrying it out, Completed or Exception at the end, Cancelled when a DELETE
// of its monitor came before any boot. The monitor answers 202 with the task
// until the action is final, then the final response once, then 404.
#include <ctime>

#include "server/BaseRegistry.h"
#include "server/RedfishStore.h"
#include "server/StoreTypes.h"
#include "server/StoreUris.h"

namespace {

bool Final(const std::string &State) {
  return State == "Completed" || State == "Exception" || State == "Cancelled";
}

/// How often a client polling a monitor should come back, in seconds.
constexpr char RETRY_AFTER[] = "1";

}  // namespace

RedfishStore::TASK *RedfishStore::FindTask(const std::string &Id) {
  for (TASK &Task : mTasks) {
    if (std::to_string(Task.Id) == Id) {
      return &Task;
    }
  }
  return nullptr;
}

void RedfishStore::TaskStateNow(const TASK &Task, std::string *State, std::string *Message) const {
  *State = Task.State;
  *Message = Task.Message;
  if (Task.Frozen) {
    return;
  }
  int Index = FindDocument(URI_ACTION_STATUS);
  Json Status = Index >= 0 ? ParseStored(mDocuments[static_cast<size_t>(Index)].second) : Json();
  if (!Status.is_object() || Status.value("ActionUri", Json()) != Json(Task.ActionUri)) {
    // ActionStatus names another action now: this one was replaced.
    *State = "Cancelled";
    return;
  }
  Json Value = Status.value("Status", Json());
  std::string Text = Value.is_string() ? Value.get<std::string>() : "";
  if (Text == "Issued") {
    *State = mBooting && Task.Booted ? "Running" : Task.Booted ? "Pending" : "New";
  } else if (mBooting && Task.Booted) {
    // Reported, but the run of boots that carries it out goes on: the task
    // ends with it, when the inventory shows what the action did.
    *State = "Running";
  } else {
    *State = Text == "Inprogress" ? "Running"
             : Text == "Success"  ? "Completed"
             : Text == "Failed"   ? "Exception"
                                  : "Pending";
  }
  Json StatusMessage = Status.value("StatusMessage", Json());
  *Message = StatusMessage.is_string() ? StatusMessage.get<std::string>() : "";
}

void RedfishStore::RefreshTasks() {
  for (TASK &Task : mTasks) {
    if (Task.Frozen || Task.EndTime != 0) {
      continue;
    }
    std::string State;
    std::string Message;
    TaskStateNow(Task, &State, &Message);
    if (Final(State)) {
      Task.EndTime = static_cast<int64_t>(std::time(nullptr));
    }
  }
}

std::string RedfishStore::TaskBody(const TASK &Task) const {
  std::string State;
  std::string Message;
  TaskStateNow(Task, &State, &Message);
  std::string Id = std::to_string(Task.Id);
  Json Messages = Json::array();
  if (State == "Running") {
    Messages.push_back(RegistryMessageObject("TaskEvent", "TaskStarted", {Id}));
  } else if (Final(State)) {
    Messages.push_back(RegistryMessageObject("TaskEvent",
                                             State == "Completed"   ? "TaskCompletedOK"
                                             : State == "Exception" ? "TaskAborted"
                                                                    : "TaskCancelled",
                                             {Id}));
  }
  if (!Message.empty()) {
    Messages.push_back(RegistryMessageObject(
        "VelkAction", State == "Exception" ? "ActionFailed" : "ActionSucceeded", {Message}));
  }
  Json Body = {{"@odata.id", std::string(URI_TASKS) + "/" + Id},
               {"@odata.type", TYPE_TASK},
               {"Id", Id},
               {"Name", "VIZ." + Task.ActionName},
               {"TaskState", State},
               {"TaskMonitor", std::string(URI_TASK_MONITORS) + "/" + Id},
               {"StartTime", Iso8601(Task.StartTime)}};
  if (Final(State)) {
    Body["EndTime"] = Iso8601(Task.EndTime != 0 ? Task.EndTime : std::time(nullptr));
    Body["TaskStatus"] = State == "Completed"   ? "OK"
                         : State == "Exception" ? "Critical"
                                                : "Warning";
  }
  Body["Messages"] = Messages;
  Body["HidePayload"] = false;
  Body["Payload"] = {
      {"TargetUri", Task.ActionUri}, {"HttpOperation", "POST"}, {"JsonBody", Task.Parameters}};
  return Dump(Body);
}

StoreResponse RedfishStore::ServeTaskService(CALL &Call) {
  Json Body = {{"@odata.id", URI_TASK_SERVICE},
               {"@odata.type", TYPE_TASK_SERVICE},
               {"Id", "TaskService"},
               {"Name", "Task Service"},
               {"ServiceEnabled", true},
               {"CompletedTaskOverWritePolicy", "Oldest"},
               {"LifeCycleEventOnTaskStateChange", false},
               {"DateTime", Iso8601(std::time(nullptr))},
               {"Tasks", Link(URI_TASKS)}};
  return Generated(Call, Dump(Body));
}

StoreResponse RedfishStore::ServeTasks(CALL &Call) {
  Json Members = Json::array();
  for (const TASK &Task : mTasks) {
    Members.push_back(Link(std::string(URI_TASKS) + "/" + std::to_string(Task.Id)));
  }
  Json Body = {{"@odata.id", URI_TASKS},
               {"@odata.type", TYPE_TASK_COLLECTION},
               {"Name", "Task Collection"},
               {"Members@odata.count", Members.size()},
               {"Members", Members}};
  return Generated(Call, Dump(Body));
}

StoreResponse RedfishStore::ServeTask(CALL &Call) {
  const TASK *Task = FindTask(Call.Segments[0]);
  if (Task == nullptr) {
    return Failure(404, "ResourceNotFound", {"Task", Call.Segments[0]});
  }
  return Generated(Call, TaskBody(*Task));
}

StoreResponse RedfishStore::ServeMonitor(CALL &Call) {
  TASK *Task = FindTask(Call.Segments[0]);
  if (Task == nullptr || Task->MonitorTaken) {
    return Failure(404, "ResourceNotFound", {"TaskMonitor", Call.Segments[0]});
  }
  std::string State;
  std::string Message;
  TaskStateNow(*Task, &State, &Message);
  StoreResponse Response;
  if (!Final(State)) {
    Response.Code = 202;
    Response.Body = TaskBody(*Task);
    Response.Headers.emplace_back("Location", Call.Path);
    Response.Headers.emplace_back("Retry-After", RETRY_AFTER);
    return Response;
  }
  // The action's outcome, once: what its POST would have answered had the
  // platform carried it out at once.
  Task->MonitorTaken = true;
  Touch();
  if (State == "Completed") {
    Json Messages = Json::array({RegistryMessageObject("Base", "Success", {})});
    if (!Message.empty()) {
      Messages.push_back(RegistryMessageObject("VelkAction", "ActionSucceeded", {Message}));
    }
    Response.Body = Dump(Json{{"@Message.ExtendedInfo", Messages}});
    return Response;
  }
  Json Failed =
      RegistryMessageObject("VelkAction", State == "Cancelled" ? "ActionCancelled" : "ActionFailed",
                            {State == "Cancelled" ? "VIZ." + Task->ActionName : Message});
  Response.Code = State == "Cancelled" ? 409 : 400;
  Response.Body = Dump(Json{{"error",
                             {{"code", Failed["MessageId"]},
                              {"message", Failed["Message"]},
                              {"@Message.ExtendedInfo", Json::array({Failed})}}}});
  return Response;
}

StoreResponse RedfishStore::CancelMonitor(CALL &Call) {
  TASK *Task = FindTask(Call.Segments[0]);
  if (Task == nullptr || Task->MonitorTaken) {
    return Failure(404, "ResourceNotFound", {"TaskMonitor", Call.Segments[0]});
  }
  std::string State;
  std::string Message;
  TaskStateNow(*Task, &State, &Message);
  // Only an action no boot has begun to carry out can be called back: the
  // driver may be reading it already.
  if (State != "New") {
    return Failure(409, "ResourceInUse");
  }
  int Index = FindDocument(URI_ACTION_STATUS);
  Json Status = ParseStored(mDocuments[static_cast<size_t>(Index)].second);
  Json Cancelled =
      RegistryMessageObject("VelkAction", "ActionCancelled", {"VIZ." + Task->ActionName});
  Status["Status"] = "Failed";
  Status["StatusMessage"] = Cancelled["Message"];
  mDocuments[static_cast<size_t>(Index)].second = Dump(Status);
  Task->Frozen = true;
  Task->State = "Cancelled";
  Task->Message = "";
  Task->EndTime = static_cast<int64_t>(std::time(nullptr));
  Task->MonitorTaken = true;
  return Applied();
}
