// What one action handler must do with one action body: fetch or not, stay
// silent, report a parse failure or invalid parameters with an exact text,
// or call its NVDIMM operation with exact arguments and report its outcome.
// Worked out from the body with the JSON library and the reference models,
// not with the handler's own code.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum class FuzzAction {
  CreateGoal,
  CreateNamespace,
  DeleteNamespace,
  DeletePlatformConfigurationData,
  RunDiagnostics
};

/// How the simulated component answers, decided by the input.
struct FuzzOutcome {
  bool SystemUri =
      false;            ///< the all-modules URI (DeletePlatformConfigurationData, RunDiagnostics)
  bool Forced = false;  ///< the operation's outcome is forced (otherwise the model answers)
  uint64_t Status = 0;
  bool HasMessage = false;
  std::string Message;  ///< ErrorMessage text, or RunDiagnostics' result message
  std::vector<std::pair<uint64_t, std::string>> PcdResults;  ///< all-modules erase list
};

struct FuzzExpectation {
  bool Fetches = true;      ///< the handler GETs its URI (once)
  bool Silent = false;      ///< nothing reported, no operation called
  std::string FixedReport;  ///< a "Failed" report with this text and no operation
  std::string Op;           ///< otherwise: the one operation called
  std::vector<std::pair<std::string, std::string>> Args;
  std::string SuccessState = "Success";
  std::string SuccessText;  ///< the report when the operation succeeds
  std::string FailurePrefix;
  size_t MessageSize = 150;       ///< the buffer a failure text is formatted into
  bool FixedOutcomeText = false;  ///< the report's text does not depend on the status
  bool AnyText = false;           ///< the component's own text, not known here
};

/// The URI the handler is given.
std::string FuzzActionUri(FuzzAction Action, const FuzzOutcome &Outcome);

/// The expectation for Body (up to its first NUL) under Outcome.
FuzzExpectation FuzzExpect(FuzzAction Action, const std::string &Body, const FuzzOutcome &Outcome);

/// The failure text a forced outcome leads to: the component writes its
/// message cut to 79 bytes into ErrorMessage (nothing without a message).
std::string FuzzForcedErrorText(const FuzzOutcome &Outcome);
