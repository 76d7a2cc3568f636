// Reading the trace of one fuzz input: the REST requests the driver sent,
// the NVDIMM operations it called, and its status reports, each report
// checked for the shape every report must have.
#pragma once

#include <cJSON.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "sim/trace/Trace.h"

/// One "rest" event.
struct FuzzRestCall {
  std::string Method;
  std::string Uri;
  std::vector<std::pair<std::string, std::string>> Headers;
  bool HasBody = false;
  std::string Body;
  bool Answered = false;  ///< a response came ("code" is not null)
  uint64_t Code = 0;
  std::string Status;
};

/// One "nvdimm" event; Args stays valid while the trace lives.
struct FuzzNvdimmCall {
  std::string Op;
  const cJSON *Args = nullptr;
  std::string Status;
};

/// One PATCH of ActionStatus, read from its body.
struct FuzzReport {
  std::string State;    ///< "Success", "Failed" or "Inprogress"
  std::string Message;  ///< StatusMessage
};

std::vector<FuzzRestCall> FuzzRestCalls(const Trace &Log);
std::vector<FuzzNvdimmCall> FuzzNvdimmCalls(const Trace &Log);

/// Every PATCH in the trace, each checked (the input fails otherwise): to
/// ActionStatus, with exactly the headers Content-Type, Content-Length (the
/// body's length) and OData-Version, a body that is the JSON library's
/// formatted print of an object with exactly the string members Status and
/// StatusMessage, and a Status of "Success", "Failed" or "Inprogress". No
/// request of another method than GET and PATCH is allowed either.
std::vector<FuzzReport> FuzzCheckedReports(const Trace &Log);

/// The reports must agree with the NVDIMM operations: a report of "Success"
/// or "Inprogress" only after an operation returned EFI_SUCCESS (or, when
/// GoalCompletion is allowed, the poll's completion of a goal), and after an
/// operation that failed, only "Failed". At most one operation and, but for
/// a goal, at most one report.
void FuzzCheckReportsAgree(const std::vector<FuzzReport> &Reports,
                           const std::vector<FuzzNvdimmCall> &Calls, bool GoalCompletion);

/// A member of an "args" object as text: a string as it stands, a number
/// as its decimal text, true / false, or "null"; "<absent>" when missing.
std::string FuzzArgText(const cJSON *Args, const char *Name);

/// The nesting limit of every JSON parse, the JSON library's own.
constexpr size_t FUZZ_JSON_NESTING_LIMIT = 64;

/// Where the driver's parse of Body stops: the remaining text from the
/// bracket that opens level 65, when the grammar reference (RefJsonNesting)
/// finds it before the first syntax error, otherwise from the JSON
/// library's error position; empty when Body parses. *Parses tells which.
/// The input fails when the library and the reference disagree on whether
/// a body without too deep a nesting parses.
std::string FuzzParseErrorText(const std::string &Body, bool *Parses);

/// The fixed texts and formats of the driver's reports.
constexpr const char *FUZZ_GOAL_COMPLETED = "(UEFI UPDATE): CreateGoal performed Successfully";
