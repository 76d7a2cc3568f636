// Fuzz target of the poll: ActionStatus holds the input's bytes up to the
// first NUL, and every other GET is answered 200 with the bytes after it (the
// action's resource, wherever ActionUri points). PollActionStatus runs as the
// driver with its context as the first block of the boot. Then nothing may
// leak, every report must be well formed and agree with the NVDIMM operation
// that ran, and the poll's own decisions must follow the ActionStatus
// document: nothing at all for a body that does not parse or a Status other
// than "Issued" or "Inprogress", exactly the goal's completion for
// "Inprogress" with an ActionName, a handler only for a known ActionName.
#include <cJSON.h>

#include "actions/Poll.h"
#include "fuzz/FuzzMachine.h"
#include "fuzz/FuzzReports.h"

namespace {

constexpr const char *mActionNames[] = {"CreateGoal", "CreateNamespace", "DeleteNamespace",
                                        "DeletePlatformConfigurationData", "RunDiagnostics"};

struct PollCall {
  ActionContext *Context;
  EFI_STATUS Status;
};

void CallPoll(void *Context) {
  auto *Call = static_cast<PollCall *>(Context);
  Call->Status = PollActionStatus(Call->Context);
}

/// What the poll must do with the ActionStatus body.
enum class Decision { Nothing, Unparsable, Complete, Dispatch };

Decision Decide(const std::string &Body) {
  if (Body.empty()) {
    return Decision::Nothing;
  }
  bool Parses = false;
  (void)FuzzParseErrorText(Body, &Parses);
  if (!Parses) {
    return Decision::Unparsable;
  }
  cJSON *Document = cJSON_Parse(Body.c_str());
  Decision Result = Decision::Nothing;
  const cJSON *State = cJSON_GetObjectItem(Document, "Status");
  const cJSON *Name = cJSON_GetObjectItem(Document, "ActionName");
  const cJSON *Uri = cJSON_GetObjectItem(Document, "ActionUri");
  if (cJSON_IsString(State) && std::string(State->valuestring) == "Issued" &&
      cJSON_IsString(Name) && cJSON_IsString(Uri)) {
    for (const char *Known : mActionNames) {
      if (std::string(Name->valuestring) == Known) {
        Result = Decision::Dispatch;
      }
    }
  } else if (cJSON_IsString(State) && std::string(State->valuestring) == "Inprogress" &&
             Name != nullptr) {
    Result = Decision::Complete;
  }
  cJSON_Delete(Document);
  return Result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Bytes, size_t Length) {
  std::string Input(reinterpret_cast<const char *>(Bytes), Length);
  size_t Nul = Input.find('\0');
  std::string StatusBody = Input.substr(0, Nul);
  std::string ActionBody =
      Nul == std::string::npos ? std::string() : FuzzCString(Input.substr(Nul + 1));

  REDFISH_RESOURCE_SETTING Resources[] = {
      {FUZZ_ACTION_STATUS_URI, StatusBody.c_str(), StatusBody.size()}};
  // ActionStatus keeps its own answer (a code alone overrides nothing
  // else); any other GET gets the action body.
  REDFISH_OVERRIDE_SETTING Overrides[2] = {};
  Overrides[0].Method = HttpMethodGet;
  Overrides[0].Uri = FUZZ_ACTION_STATUS_URI;
  Overrides[0].HasCode = true;
  Overrides[0].Code = 200;
  Overrides[1].Method = HttpMethodGet;
  Overrides[1].HasCode = true;
  Overrides[1].Code = 200;
  Overrides[1].HasBody = true;
  Overrides[1].Body = ActionBody.c_str();
  Overrides[1].BodyLength = ActionBody.size();
  REDFISH_CONFIG Redfish = {Resources, 1, Overrides, 2, EFI_SUCCESS, TPL_HIGH_LEVEL};
  NvdimmConfig Nvdimm;

  FuzzMachine Machine;
  FuzzPlatform Platform(Redfish, Nvdimm);
  auto *Context = static_cast<ActionContext *>(Machine.AllocateContext(sizeof(ActionContext)));
  Context->Nvdimm = Platform.Nvdimm();
  Context->Service = Platform.ServiceProtocol();
  Context->Rest = Platform.Rest();
  PollCall Call = {Context, EFI_SUCCESS};
  bool Reset = Machine.RunAsDriver(CallPoll, &Call);
  Machine.CheckClean(Reset);

  std::vector<FuzzReport> Reports = FuzzCheckedReports(Platform.Log());
  std::vector<FuzzNvdimmCall> Calls = FuzzNvdimmCalls(Platform.Log());
  FuzzCheckReportsAgree(Reports, Calls, true);
  std::vector<FuzzRestCall> Requests = FuzzRestCalls(Platform.Log());
  FUZZ_CHECK(
      !Requests.empty() && Requests[0].Method == "GET" && Requests[0].Uri == FUZZ_ACTION_STATUS_URI,
      "the poll did not begin with a GET of ActionStatus");
  switch (Decide(StatusBody)) {
    case Decision::Unparsable:
      FUZZ_CHECK(Call.Status == EFI_LOAD_ERROR, "an unparsable ActionStatus gave %llx",
                 static_cast<unsigned long long>(Call.Status));
      [[fallthrough]];
    case Decision::Nothing:
      FUZZ_CHECK(Requests.size() == 1 && Calls.empty() && !Reset,
                 "the poll acted on a document that asks for nothing");
      break;
    case Decision::Complete:
      FUZZ_CHECK(Requests.size() == 2 && Reports.size() == 1 && Reports[0].State == "Success" &&
                     Reports[0].Message == FUZZ_GOAL_COMPLETED && Calls.empty(),
                 "an Inprogress goal was not completed exactly once");
      break;
    case Decision::Dispatch:
      FUZZ_CHECK(Reset || Call.Status == EFI_SUCCESS, "a dispatch returned %llx",
                 static_cast<unsigned long long>(Call.Status));
      break;
  }
  return 0;
}
