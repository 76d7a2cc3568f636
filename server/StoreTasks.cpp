// Tasks: one per issued action, whose state follows ActionStatus until the
// next action is issued.
#include <ctime>

#include "server/BaseRegistry.h"
#include "server/RedfishStore.h"
#include "server/StoreUris.h"

namespace {

Json Link(const std::string &Uri) { return Json{{"@odata.id", Uri}}; }

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
  std::string Uri = std::string(URI_TASKS) + "/" + std::to_string(Task.Id);
  Json Messages = Json::array();
  if (!Message.empty()) {
    Json Entry = BaseMessageObject(State == "Exception" ? "GeneralError" : "Success", {});
    Entry["Message"] = Message;
    Messages.push_back(Entry);
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

StoreResponse RedfishStore::ServeTaskService(CALL &Call) {
  Json Body = {{"@odata.id", URI_TASK_SERVICE}, {"@odata.type", "#TaskService.v1_1_5.TaskService"},
               {"Id", "TaskService"},           {"Name", "Task Service"},
               {"ServiceEnabled", true},        {"Tasks", Link(URI_TASKS)}};
  return Generated(Call, Dump(Body));
}

StoreResponse RedfishStore::ServeTasks(CALL &Call) {
  Json Members = Json::array();
  for (const TASK &Task : mTasks) {
    Members.push_back(Link(std::string(URI_TASKS) + "/" + std::to_string(Task.Id)));
  }
  Json Body = {{"@odata.id", URI_TASKS},
               {"@odata.type", "#TaskCollection.TaskCollection"},
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
