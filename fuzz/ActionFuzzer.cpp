// Fuzz target of one action handler (chosen at build time by FUZZ_ACTION):
// the action's resource holds the input's bytes up to the first NUL; the
// bytes after it decide how the NVDIMM component answers (the all-modules
// URI, a forced status and message, an erase's result list). The handler
// runs as the driver on the emulated machine against the simulated Redfish
// service and component; then nothing may leak, every report must be well
// formed, and what the handler did must be exactly what the expectation
// worked out from the body says.
#include <fuzzer/FuzzedDataProvider.h>

#include "actions/Handlers.h"
#include "fuzz/ActionExpectations.h"
#include "fuzz/FuzzMachine.h"
#include "fuzz/FuzzReports.h"

#ifndef FUZZ_ACTION
#error "FUZZ_ACTION names the handler under test"
#endif

namespace {

constexpr FuzzAction mAction = FuzzAction::FUZZ_ACTION;

constexpr ACTION_HANDLER mHandlers[] = {
    CreateGoalAction, CreateNamespaceAction, DeleteNamespaceAction,
    DeletePlatformConfigurationDataAction, RunDiagnosticsAction};

// Statuses a forced outcome takes: success, errors, a warning (a failure
// too) and a value the standard does not name.
constexpr EFI_STATUS mStatuses[] = {EFI_SUCCESS,          EFI_DEVICE_ERROR,
                                    EFI_NOT_FOUND,        EFI_WARN_STALE_DATA,
                                    EFI_OUT_OF_RESOURCES, 0x8000000000000063ULL};

constexpr const char *ACTION_STATUS_BODY = "{\"Status\":\"Issued\"}";

struct HandlerCall {
  const CHAR16 *Uri;
  EFI_REST_PROTOCOL *Rest;
  NVDIMM_ACTION_PROTOCOL *Nvdimm;
};

void CallHandler(void *Context) {
  auto *Call = static_cast<HandlerCall *>(Context);
  // As the poll dispatches it: with the action's record, which keeps a
  // report the service refuses.
  ActionRecord Record = {};
  mHandlers[static_cast<int>(mAction)](Call->Uri, Call->Rest, Call->Nvdimm, &Record);
}

FuzzOutcome ReadOutcome(const std::string &Control) {
  FuzzedDataProvider Data(reinterpret_cast<const uint8_t *>(Control.data()), Control.size());
  FuzzOutcome Outcome;
  Outcome.SystemUri = (mAction == FuzzAction::DeletePlatformConfigurationData ||
                       mAction == FuzzAction::RunDiagnostics) &&
                      Data.ConsumeBool();
  Outcome.Forced = Data.ConsumeBool();
  Outcome.Status = Data.PickValueInArray(mStatuses);
  Outcome.HasMessage = !Data.ConsumeBool();
  Outcome.Message = Data.ConsumeRandomLengthString(400);
  if (mAction == FuzzAction::DeletePlatformConfigurationData && Outcome.SystemUri) {
    size_t Count = Data.ConsumeIntegralInRange<size_t>(0, 12);
    for (size_t Index = 0; Index < Count; Index++) {
      uint64_t Id = Data.ConsumeIntegral<uint64_t>();
      Outcome.PcdResults.emplace_back(Id, FuzzCString(Data.ConsumeRandomLengthString(100)));
    }
  }
  return Outcome;
}

/// The component's configuration for Outcome; the texts point into Outcome
/// and Results, which outlive the platform.
NvdimmConfig ConfigFor(const FuzzOutcome &Outcome, std::vector<NvdimmPcdResult> &Results) {
  NvdimmConfig Config;
  NvdimmForcedResult Forced;
  Forced.Forced = Outcome.Forced;
  Forced.Status = Outcome.Status;
  Forced.Message = Outcome.HasMessage ? Outcome.Message.c_str() : nullptr;
  switch (mAction) {
    case FuzzAction::CreateGoal:
      Config.CreateGoal = Forced;
      break;
    case FuzzAction::CreateNamespace:
      Config.CreateNamespace = Forced;
      break;
    case FuzzAction::DeleteNamespace:
      Config.DeleteNamespace = Forced;
      break;
    case FuzzAction::DeletePlatformConfigurationData:
      Config.DeletePlatformConfigurationData = Forced;
      break;
    default:
      Config.DiagnosticsForced = Outcome.Forced;
      Config.DiagnosticsStatus = Outcome.Status;
      Config.DiagnosticsMessage = Forced.Message;
      break;
  }
  if (Outcome.SystemUri && mAction == FuzzAction::DeletePlatformConfigurationData) {
    for (const auto &Entry : Outcome.PcdResults) {
      Results.push_back({Entry.first, Entry.second.c_str()});
    }
    Config.HasPcdResults = true;
    Config.PcdResults = Results.data();
    Config.PcdResultCount = Results.size();
  }
  return Config;
}

void Compare(const FuzzExpectation &Expect, const FuzzOutcome &Outcome, const Trace &Log,
             const std::string &Uri, bool Reset, const NVDIMM_ACTION_PROTOCOL *Record) {
  size_t Gets = 0;
  for (const FuzzRestCall &Call : FuzzRestCalls(Log)) {
    if (Call.Method == "GET") {
      FUZZ_CHECK(Call.Uri == Uri, "a GET of %s", Call.Uri.c_str());
      Gets++;
    }
  }
  FUZZ_CHECK(Gets == (Expect.Fetches ? 1U : 0U), "%zu GETs of the action resource", Gets);
  std::vector<FuzzReport> Reports = FuzzCheckedReports(Log);
  std::vector<FuzzNvdimmCall> Calls = FuzzNvdimmCalls(Log);
  FuzzCheckReportsAgree(Reports, Calls, false);

  if (Expect.Silent) {
    FUZZ_CHECK(Reports.empty() && Calls.empty(), "an empty body led to a report or operation");
    return;
  }
  if (!Expect.FixedReport.empty()) {
    FUZZ_CHECK(Calls.empty(), "the operation ran although: %s", Expect.FixedReport.c_str());
    FUZZ_CHECK(Reports.size() == 1 && Reports[0].State == "Failed" &&
                   Reports[0].Message == Expect.FixedReport,
               "expected the report \"%s\", got \"%s\"", Expect.FixedReport.c_str(),
               Reports.empty() ? "<none>" : Reports[0].Message.c_str());
    return;
  }
  FUZZ_CHECK(Calls.size() == 1 && Calls[0].Op == Expect.Op, "expected one %s operation",
             Expect.Op.c_str());
  for (const auto &Arg : Expect.Args) {
    std::string Actual = FuzzArgText(Calls[0].Args, Arg.first.c_str());
    FUZZ_CHECK(Actual == Arg.second, "%s %s is \"%s\", expected \"%s\"", Expect.Op.c_str(),
               Arg.first.c_str(), Actual.c_str(), Arg.second.c_str());
  }
  bool Succeeded = Calls[0].Status == "EFI_SUCCESS";
  bool GoalReset = Succeeded && Expect.SuccessState == "Inprogress";
  FUZZ_CHECK(Reset == GoalReset && (!GoalReset || Record->ResetPending == 1),
             "reset %d, ResetPending %d after %s", Reset, Record->ResetPending,
             Calls[0].Status.c_str());
  FUZZ_CHECK(Reports.size() == 1, "%zu reports", Reports.size());
  const FuzzReport &Report = Reports[0];
  FUZZ_CHECK(Report.State == (Succeeded ? Expect.SuccessState : std::string("Failed")),
             "reported \"%s\" after %s", Report.State.c_str(), Calls[0].Status.c_str());
  std::string Text;
  if (Expect.AnyText) {
    return;
  }
  if (Expect.FixedOutcomeText || Succeeded) {
    Text = Expect.SuccessText;
  } else if (Outcome.Forced) {
    Text = FuzzCut(Expect.FailurePrefix + FuzzForcedErrorText(Outcome), Expect.MessageSize);
  } else {
    // The model's own text: only its frame is known.
    FUZZ_CHECK(Report.Message.compare(0, Expect.FailurePrefix.size(), Expect.FailurePrefix) == 0 &&
                   Report.Message.size() <= Expect.FailurePrefix.size() + 79,
               "failure text \"%s\"", Report.Message.c_str());
    return;
  }
  FUZZ_CHECK(Report.Message == Text, "reported \"%s\", expected \"%s\"", Report.Message.c_str(),
             Text.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Bytes, size_t Length) {
  std::string Input(reinterpret_cast<const char *>(Bytes), Length);
  size_t Nul = Input.find('\0');
  std::string Body = Input.substr(0, Nul);
  FuzzOutcome Outcome =
      ReadOutcome(Nul == std::string::npos ? std::string() : Input.substr(Nul + 1));
  std::string Uri = FuzzActionUri(mAction, Outcome);
  std::u16string WideUri = FuzzWiden(Uri);
  std::vector<NvdimmPcdResult> Results;
  NvdimmConfig Config = ConfigFor(Outcome, Results);
  REDFISH_RESOURCE_SETTING Resources[] = {{FUZZ_ACTION_STATUS_URI, ACTION_STATUS_BODY,
                                           std::char_traits<char>::length(ACTION_STATUS_BODY)},
                                          {Uri.c_str(), Body.c_str(), Body.size()}};
  REDFISH_CONFIG Redfish = {Resources, 2, nullptr, 0, EFI_SUCCESS, TPL_HIGH_LEVEL};

  FuzzMachine Machine;
  FuzzPlatform Platform(Redfish, Config);
  (void)Machine.AllocateContext(sizeof(UINT64));
  HandlerCall Call = {reinterpret_cast<const CHAR16 *>(WideUri.c_str()), Platform.Rest(),
                      Platform.Nvdimm()};
  bool Reset = Machine.RunAsDriver(CallHandler, &Call);
  Machine.CheckClean(Reset);
  Compare(FuzzExpect(mAction, Body, Outcome), Outcome, Platform.Log(), Uri, Reset,
          Platform.Nvdimm());
  return 0;
}
