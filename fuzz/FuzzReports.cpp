#include "fuzz/FuzzReports.h"

#include <cstdlib>

#include "fuzz/FuzzMachine.h"
#include "fuzz/Reference.h"

namespace {

/// A trace string: a plain cJSON string, or a raw item holding the escaped
/// text of bytes with a NUL (which the driver's requests never carry).
std::string TraceString(const cJSON *Item) {
  if (cJSON_IsString(Item)) {
    return Item->valuestring;
  }
  FUZZ_CHECK(!cJSON_IsRaw(Item), "a trace string holds a NUL byte");
  return std::string();
}

/// A request URI of the trace as the bytes the driver widened: a plain
/// string, or a raw item (escaped text) for a URI with code units above 0xFF,
/// each of which must be a byte above 0x7F widened by sign extension.
std::string TraceUri(const cJSON *Item) {
  if (!cJSON_IsRaw(Item)) {
    return TraceString(Item);
  }
  const std::string Text = Item->valuestring;
  FUZZ_CHECK(Text.size() >= 2 && Text.front() == '"' && Text.back() == '"',
             "a raw trace URI is not a JSON string");
  std::string Bytes;
  for (size_t Index = 1; Index + 1 < Text.size(); Index++) {
    char Char = Text[Index];
    if (Char != '\\') {
      Bytes += Char;
      continue;
    }
    char Escape = Text[++Index];
    if (Escape == 'u') {
      unsigned long Unit = std::strtoul(Text.substr(Index + 1, 4).c_str(), nullptr, 16);
      Index += 4;
      FUZZ_CHECK(Unit != 0, "a trace URI holds a NUL");
      FUZZ_CHECK(Unit < 0x100 || Unit >= 0xFF80,
                 "a URI code unit above 0xFF is not a byte widened by sign extension");
      Bytes += static_cast<char>(Unit & 0xFF);
      continue;
    }
    static const std::string Escaped = "\"\\/bfnrt";
    static const std::string Plain = "\"\\/\b\f\n\r\t";
    size_t Found = Escaped.find(Escape);
    FUZZ_CHECK(Found != std::string::npos, "a trace URI holds an unknown escape");
    Bytes += Plain[Found];
  }
  return Bytes;
}

/// A trace integer, written as raw decimal text.
uint64_t TraceUint(const cJSON *Item) {
  FUZZ_CHECK(cJSON_IsRaw(Item), "a trace integer is not exact text");
  return std::strtoull(Item->valuestring, nullptr, 10);
}

std::vector<const cJSON *> EventsOf(const Trace &Log, const char *Kind) {
  std::vector<const cJSON *> Found;
  const cJSON *Events = Log.Events();
  for (const cJSON *Event = Events != nullptr ? Events->child : nullptr; Event != nullptr;
       Event = Event->next) {
    if (TraceString(cJSON_GetObjectItemCaseSensitive(Event, "event")) == Kind) {
      Found.push_back(Event);
    }
  }
  return Found;
}

const char *const mStates[] = {"Success", "Failed", "Inprogress"};

}  // namespace

std::vector<FuzzRestCall> FuzzRestCalls(const Trace &Log) {
  std::vector<FuzzRestCall> Calls;
  for (const cJSON *Event : EventsOf(Log, "rest")) {
    FuzzRestCall Call;
    Call.Method = TraceString(cJSON_GetObjectItemCaseSensitive(Event, "method"));
    Call.Uri = TraceUri(cJSON_GetObjectItemCaseSensitive(Event, "uri"));
    const cJSON *Headers = cJSON_GetObjectItemCaseSensitive(Event, "headers");
    for (const cJSON *Pair = Headers != nullptr ? Headers->child : nullptr; Pair != nullptr;
         Pair = Pair->next) {
      Call.Headers.emplace_back(TraceString(cJSON_GetArrayItem(Pair, 0)),
                                TraceString(cJSON_GetArrayItem(Pair, 1)));
    }
    const cJSON *Body = cJSON_GetObjectItemCaseSensitive(Event, "body");
    Call.HasBody = !cJSON_IsNull(Body);
    Call.Body = Call.HasBody ? TraceString(Body) : std::string();
    const cJSON *Code = cJSON_GetObjectItemCaseSensitive(Event, "code");
    Call.Answered = !cJSON_IsNull(Code);
    Call.Code = Call.Answered ? TraceUint(Code) : 0;
    Call.Status = TraceString(cJSON_GetObjectItemCaseSensitive(Event, "status"));
    Calls.push_back(Call);
  }
  return Calls;
}

std::vector<FuzzNvdimmCall> FuzzNvdimmCalls(const Trace &Log) {
  std::vector<FuzzNvdimmCall> Calls;
  for (const cJSON *Event : EventsOf(Log, "nvdimm")) {
    FuzzNvdimmCall Call;
    Call.Op = TraceString(cJSON_GetObjectItemCaseSensitive(Event, "op"));
    Call.Args = cJSON_GetObjectItemCaseSensitive(Event, "args");
    Call.Status = TraceString(cJSON_GetObjectItemCaseSensitive(Event, "status"));
    Calls.push_back(Call);
  }
  return Calls;
}

std::vector<FuzzReport> FuzzCheckedReports(const Trace &Log) {
  std::vector<FuzzReport> Reports;
  for (const FuzzRestCall &Call : FuzzRestCalls(Log)) {
    FUZZ_CHECK(Call.Method == "GET" || Call.Method == "PATCH", "the driver sent a %s request",
               Call.Method.c_str());
    if (Call.Method != "PATCH") {
      FUZZ_CHECK(!Call.HasBody, "a GET carries a body");
      continue;
    }
    FUZZ_CHECK(Call.Uri == FUZZ_ACTION_STATUS_URI, "a PATCH of %s", Call.Uri.c_str());
    const std::vector<std::pair<std::string, std::string>> Headers = {
        {"Content-Type", "application/json;charset=utf-8"},
        {"Content-Length", std::to_string(Call.Body.size())},
        {"OData-Version", "4.0"}};
    FUZZ_CHECK(Call.HasBody && Call.Headers == Headers, "a PATCH with wrong headers or no body");

    cJSON *Document = cJSON_Parse(Call.Body.c_str());
    FUZZ_CHECK(cJSON_IsObject(Document), "a report that is not a JSON object: %s",
               Call.Body.c_str());
    const cJSON *State = Document->child;
    const cJSON *Message = State != nullptr ? State->next : nullptr;
    bool Shaped = cJSON_IsString(State) && std::string(State->string) == "Status" &&
                  cJSON_IsString(Message) && std::string(Message->string) == "StatusMessage" &&
                  Message->next == nullptr;
    char *Printed = Shaped ? cJSON_Print(Document) : nullptr;
    bool Layout = Printed != nullptr && Call.Body == Printed;
    FuzzReport Report;
    if (Shaped) {
      Report.State = State->valuestring;
      Report.Message = Message->valuestring;
    }
    cJSON_free(Printed);
    cJSON_Delete(Document);
    FUZZ_CHECK(Shaped && Layout, "a report not shaped as {Status, StatusMessage}: %s",
               Call.Body.c_str());
    bool Known = false;
    for (const char *Name : mStates) {
      Known = Known || Report.State == Name;
    }
    FUZZ_CHECK(Known, "a report of Status \"%s\"", Report.State.c_str());
    Reports.push_back(Report);
  }
  return Reports;
}

void FuzzCheckReportsAgree(const std::vector<FuzzReport> &Reports,
                           const std::vector<FuzzNvdimmCall> &Calls, bool GoalCompletion) {
  std::vector<const FuzzNvdimmCall *> Operations;
  for (const FuzzNvdimmCall &Call : Calls) {
    if (Call.Op != "GetLocalRequestPending") {
      Operations.push_back(&Call);
    }
  }
  FUZZ_CHECK(Operations.size() <= 1, "%zu NVDIMM operations for one action", Operations.size());
  bool Succeeded = !Operations.empty() && Operations[0]->Status == "EFI_SUCCESS";
  bool Goal = !Operations.empty() && Operations[0]->Op == "CreateGoal";
  FUZZ_CHECK(Reports.size() <= 1 || (Goal && Reports.size() == 2), "%zu reports for one action",
             Reports.size());
  for (const FuzzReport &Report : Reports) {
    if (Report.State == "Failed") {
      // A goal whose reset came back reports its failure after "Inprogress".
      FUZZ_CHECK(!Succeeded || (Goal && Reports.size() == 2),
                 "\"Failed\" after the operation succeeded: %s", Report.Message.c_str());
      continue;
    }
    bool Completion = GoalCompletion && Operations.empty() && Report.State == "Success" &&
                      Report.Message == FUZZ_GOAL_COMPLETED;
    FUZZ_CHECK(Succeeded || Completion, "\"%s\" without a successful operation: %s",
               Report.State.c_str(), Report.Message.c_str());
    FUZZ_CHECK(Completion || (Report.State == "Inprogress") == Goal, "\"%s\" reported for %s",
               Report.State.c_str(),
               Operations.empty() ? "no operation" : Operations[0]->Op.c_str());
  }
}

std::string FuzzArgText(const cJSON *Args, const char *Name) {
  const cJSON *Item = cJSON_GetObjectItemCaseSensitive(Args, Name);
  if (Item == nullptr) {
    return "<absent>";
  }
  if (cJSON_IsRaw(Item)) {
    return Item->valuestring;
  }
  if (cJSON_IsString(Item)) {
    return Item->valuestring;
  }
  if (cJSON_IsBool(Item)) {
    return cJSON_IsTrue(Item) ? "true" : "false";
  }
  return "null";
}

std::string FuzzParseErrorText(const std::string &Body, bool *Parses) {
  // The nesting limit is the JSON library's own (compiled in with
  // CJSON_NESTING_LIMIT); the reference finds the bracket that goes too
  // deep, when it comes before the first syntax error, without the library.
  RefNesting Nesting = RefJsonNesting(Body, FUZZ_JSON_NESTING_LIMIT);
  cJSON *Document = cJSON_Parse(Body.c_str());
  *Parses = Document != nullptr;
  cJSON_Delete(Document);
  const char *Position = *Parses ? nullptr : cJSON_GetErrorPtr();
  if (Nesting.Result == RefNesting::TOO_DEEP) {
    // The driver's parse, whatever the library does, must stop there.
    *Parses = false;
    return Body.substr(Nesting.Position, Body.find('\0', Nesting.Position) - Nesting.Position);
  }
  FUZZ_CHECK(*Parses == (Nesting.Result == RefNesting::COMPLETE),
             "the JSON library %s a body the grammar reference %s (at byte %zu)",
             *Parses ? "parses" : "refuses", *Parses ? "refuses" : "accepts", Nesting.Position);
  if (*Parses) {
    return std::string();
  }
  FUZZ_CHECK(
      Position != nullptr && Position >= Body.c_str() && Position <= Body.c_str() + Body.size(),
      "the JSON library's error position is outside the body");
  return std::string(Position);
}
