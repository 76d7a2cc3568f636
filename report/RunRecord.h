// A run read back from its JSON Lines trace, in the shape the report draws:
// boots in order, each with the calls the driver made and how it ended, and
// the resources the service held at the end.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

using NamedTexts = std::vector<std::pair<std::string, std::string>>;

enum class StepKind { Rest, Nvdimm, Reset, Http, Other };

/// One event of a boot. Text members hold the bytes the trace recorded
/// (escapes undone); numbers hold their decimal text.
struct RunStep {
  StepKind Kind = StepKind::Other;
  std::string Method;  ///< rest, http
  std::string Uri;     ///< rest: the URI; http: the path
  bool HasBody = false;
  std::string Body;    ///< rest: the request body when HasBody
  std::string Code;    ///< rest, http: the HTTP status; empty without an answer
  std::string Status;  ///< rest, nvdimm: the EFI status name
  std::string Op;      ///< nvdimm: the operation
  NamedTexts Args;     ///< nvdimm: arguments as they read (strings quoted)
  NamedTexts Extra;    ///< nvdimm: further members (pending=false); other: every member
  std::string Type;    ///< reset: warm, cold, ...
  std::string By;      ///< reset: driver or platform; http: operator or driver
  std::string Event;   ///< other: the event kind
};

struct RunBoot {
  unsigned long Number = 0;
  std::vector<RunStep> Steps;
  bool Reset = false;     ///< a reset event ended this boot
  std::string ResetType;  ///< when Reset
  std::string ResetBy;    ///< when Reset
  bool HasLeak = false;   ///< the boot has its leak event (host emulator only)
  std::string LeakBlocks;
  std::string LeakBytes;
};

struct RunRecord {
  std::vector<RunBoot> Boots;
  size_t EventCount = 0;
  bool HasFinal = false;
  std::string FinalBoots;
  NamedTexts Resources;      ///< URI and body text, as the service held them at the end
  bool HasOperator = false;  ///< the trace has http events not made by the driver (a served run)
};

/// Reads a JSON Lines trace into Record. False, with one line in Error
/// ("line 3: not a JSON object"), for a line that is not an event.
/// Unknown event kinds are kept as StepKind::Other.
[[nodiscard]] bool ReadRunRecord(const std::string &Text, RunRecord *Record, std::string *Error);

/// The REST calls of a boot that failed: no answer, an HTTP error or an EFI
/// status other than EFI_SUCCESS.
bool RestFailed(const RunStep &Step);
/// Whether a PATCH reports a failed action ("Status": "Failed").
bool PatchReportsFailure(const RunStep &Step);
/// The severity of an EFI status name: 0 for EFI_SUCCESS, 1 for a warning,
/// 2 for an error.
int StatusSeverity(const std::string &Status);
/// Whether the boot ended holding memory without a reset (a leak).
bool BootLeaked(const RunBoot &Boot);
/// How many steps of a boot failed (a call, or a PATCH reporting a failed
/// action), a leak counted as one.
size_t BootFailures(const RunBoot &Boot);

/// One line on what the run did to the action it found, from the resource
/// that names one at the end: "CreateGoal: Success after 2 boots"; without
/// such a resource "3 boots; no resource names an action".
std::string RunOutcome(const RunRecord &Record);
