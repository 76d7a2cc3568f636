#include "report/RunRecord.h"

#include <cJSON.h>

#include <cstdlib>
#include <memory>

#include "sim/common/ExactJson.h"
#include "sim/trace/TraceReader.h"

namespace {

struct JsonDeleter {
  void operator()(cJSON *Item) const { cJSON_Delete(Item); }
};
using JsonOwner = std::unique_ptr<cJSON, JsonDeleter>;

const cJSON *Member(const cJSON *Object, const char *Name) {
  return cJSON_GetObjectItemCaseSensitive(Object, Name);
}

/// A member's text: strings as their bytes, numbers as their decimal text,
/// anything else as compact JSON. Quote puts strings in quotation marks.
std::string ValueText(const cJSON *Item, bool Quote) {
  if (Item == nullptr) {
    return std::string();
  }
  if (cJSON_IsString(Item)) {
    std::string Text = Item->valuestring;
    return Quote ? "\"" + Text + "\"" : Text;
  }
  CHAR8 Number[EXACT_JSON_NUMBER_SIZE];
  if (ExactJsonIsNumber(Item) && ExactJsonNumberText(Item, Number)) {
    return Number;
  }
  if (cJSON_IsRaw(Item)) {
    return Item->valuestring;
  }
  char *Printed = cJSON_PrintUnformatted(Item);
  std::string Text = Printed != nullptr ? Printed : "";
  cJSON_free(Printed);
  return Text;
}

std::string StringMember(const cJSON *Object, const char *Name) {
  const cJSON *Item = Member(Object, Name);
  return Item == nullptr || cJSON_IsNull(Item) ? std::string() : ValueText(Item, false);
}

NamedTexts Members(const cJSON *Object, std::initializer_list<const char *> Skip) {
  NamedTexts Texts;
  if (!cJSON_IsObject(Object)) {
    return Texts;
  }
  for (const cJSON *Child = Object->child; Child != nullptr; Child = Child->next) {
    bool Skipped = Child->string == nullptr;
    for (const char *Name : Skip) {
      Skipped = Skipped || std::string(Child->string) == Name;
    }
    if (!Skipped) {
      Texts.emplace_back(Child->string, ValueText(Child, true));
    }
  }
  return Texts;
}

RunBoot &BootNumbered(RunRecord *Record, unsigned long Number) {
  while (Record->Boots.empty() || Record->Boots.back().Number < Number) {
    RunBoot Boot;
    Boot.Number = Record->Boots.empty() ? 1 : Record->Boots.back().Number + 1;
    Record->Boots.push_back(Boot);
  }
  // Events of an earlier boot after a later one do not occur in a trace;
  // they are kept with the latest boot rather than dropped.
  return Record->Boots.back();
}

void AddEvent(const cJSON *Event, const std::string &Kind, RunBoot &Boot, RunRecord *Record) {
  RunStep Step;
  if (Kind == "rest") {
    Step.Kind = StepKind::Rest;
    Step.Method = StringMember(Event, "method");
    Step.Uri = StringMember(Event, "uri");
    const cJSON *Body = Member(Event, "body");
    Step.HasBody = Body != nullptr && !cJSON_IsNull(Body);
    Step.Body = Step.HasBody ? ValueText(Body, false) : std::string();
    Step.Code = StringMember(Event, "code");
    Step.Status = StringMember(Event, "status");
  } else if (Kind == "nvdimm") {
    Step.Kind = StepKind::Nvdimm;
    Step.Op = StringMember(Event, "op");
    Step.Args = Members(Member(Event, "args"), {});
    Step.Status = StringMember(Event, "status");
    Step.Extra = Members(Event, {"boot", "event", "op", "args", "status"});
  } else if (Kind == "reset") {
    Step.Kind = StepKind::Reset;
    Step.Type = StringMember(Event, "type");
    Step.By = StringMember(Event, "by");
    Boot.Reset = true;
    Boot.ResetType = Step.Type;
    Boot.ResetBy = Step.By;
  } else if (Kind == "http") {
    Step.Kind = StepKind::Http;
    Step.By = StringMember(Event, "by");
    Step.Method = StringMember(Event, "method");
    Step.Uri = StringMember(Event, "path");
    Step.Code = StringMember(Event, "code");
    Record->HasOperator = Record->HasOperator || Step.By != "driver";
  } else if (Kind == "leak") {
    Boot.HasLeak = true;
    Boot.LeakBlocks = StringMember(Event, "blocks");
    Boot.LeakBytes = StringMember(Event, "bytes");
    return;
  } else {
    Step.Kind = StepKind::Other;
    Step.Event = Kind;
    Step.Extra = Members(Event, {"boot", "event"});
  }
  Boot.Steps.push_back(Step);
}

void AddFinal(const cJSON *Event, RunRecord *Record) {
  Record->HasFinal = true;
  Record->FinalBoots = StringMember(Event, "boots");
  const cJSON *Resources = Member(Event, "resources");
  if (!cJSON_IsObject(Resources)) {
    return;
  }
  for (const cJSON *Resource = Resources->child; Resource != nullptr; Resource = Resource->next) {
    Record->Resources.emplace_back(Resource->string != nullptr ? Resource->string : "",
                                   ValueText(Resource, false));
  }
}

}  // namespace

bool ReadRunRecord(const std::string &Text, RunRecord *Record, std::string *Error) {
  size_t Start = 0;
  for (size_t LineNumber = 1; Start < Text.size(); LineNumber++) {
    size_t End = Text.find('\n', Start);
    if (End == std::string::npos) {
      End = Text.size();
    }
    std::string Line = Text.substr(Start, End - Start);
    Start = End + 1;
    if (Line.find_first_not_of(" \t\r") == std::string::npos) {
      continue;
    }
    JsonOwner Event(ParseTraceLine(Line.data(), Line.size()));
    const cJSON *Kind = Member(Event.get(), "event");
    UINT64 Boot = 0;
    const cJSON *BootItem = Member(Event.get(), "boot");
    if (!cJSON_IsObject(Event.get()) || !cJSON_IsString(Kind) || BootItem == nullptr ||
        !ExactJsonNumberToUint(BootItem, &Boot) || Boot == 0 || Boot > 1000000) {
      *Error = "line " + std::to_string(LineNumber) +
               ": not a trace event (a JSON object with \"boot\" and \"event\")";
      return false;
    }
    Record->EventCount++;
    std::string KindText = Kind->valuestring;
    if (KindText == "final") {
      AddFinal(Event.get(), Record);
      (void)BootNumbered(Record, static_cast<unsigned long>(Boot));
    } else {
      AddEvent(Event.get(), KindText, BootNumbered(Record, static_cast<unsigned long>(Boot)),
               Record);
    }
  }
  unsigned long FinalBoots = std::strtoul(Record->FinalBoots.c_str(), nullptr, 10);
  if (Record->HasFinal && FinalBoots <= 1000000) {
    (void)BootNumbered(Record, FinalBoots);
  }
  return true;
}

int StatusSeverity(const std::string &Status) {
  if (Status == "EFI_SUCCESS") {
    return 0;
  }
  return Status.compare(0, 9, "EFI_WARN_") == 0 ? 1 : 2;
}

bool RestFailed(const RunStep &Step) {
  return Step.Code.empty() || std::strtoul(Step.Code.c_str(), nullptr, 10) >= 400 ||
         StatusSeverity(Step.Status) != 0;
}

bool BootLeaked(const RunBoot &Boot) {
  return Boot.HasLeak && !Boot.Reset && Boot.LeakBlocks != "0";
}

bool PatchReportsFailure(const RunStep &Step) {
  if (Step.Kind != StepKind::Rest || !Step.HasBody || Step.Method != "PATCH") {
    return false;
  }
  JsonOwner Body(cJSON_ParseWithLength(Step.Body.data(), Step.Body.size()));
  const cJSON *Status = Member(Body.get(), "Status");
  return cJSON_IsString(Status) && std::string(Status->valuestring) == "Failed";
}

size_t BootFailures(const RunBoot &Boot) {
  size_t Count = BootLeaked(Boot) ? 1 : 0;
  for (const RunStep &Step : Boot.Steps) {
    if ((Step.Kind == StepKind::Rest && (RestFailed(Step) || PatchReportsFailure(Step))) ||
        (Step.Kind == StepKind::Nvdimm && StatusSeverity(Step.Status) == 2) ||
        (Step.Kind == StepKind::Http && std::strtoul(Step.Code.c_str(), nullptr, 10) >= 400)) {
      Count++;
    }
  }
  return Count;
}

std::string RunOutcome(const RunRecord &Record) {
  size_t Boots = Record.Boots.size();
  std::string After = std::to_string(Boots) + (Boots == 1 ? " boot" : " boots");
  for (const auto &Resource : Record.Resources) {
    JsonOwner Body(cJSON_ParseWithLength(Resource.second.data(), Resource.second.size()));
    const cJSON *Action = Member(Body.get(), "ActionName");
    const cJSON *Status = Member(Body.get(), "Status");
    if (cJSON_IsString(Action) && cJSON_IsString(Status)) {
      return std::string(Action->valuestring) + ": " + Status->valuestring + " after " + After;
    }
  }
  return After + "; no resource names an action";
}
