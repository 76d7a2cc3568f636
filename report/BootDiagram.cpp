#include "report/BootDiagram.h"

#include <cJSON.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "report/ReportText.h"

namespace {

// Geometry, in SVG pixels. Labels are 12px monospace, whose characters
// advance 0.6em (7.2px); CHARACTER leaves a little slack so that the cut
// labels stay inside the gap between two lanes in any monospace face.
constexpr double CHARACTER = 7.4;
constexpr double LINE = 15;
constexpr double PAD = 12;
constexpr double HEAD_TOP = 8;
constexpr double HEAD_HEIGHT = 28;
constexpr double ROWS_TOP = HEAD_TOP + HEAD_HEIGHT + 14;
constexpr double SYMBOL = 12;

enum Lane { PLATFORM, NVDIMM, DRIVER, REDFISH, OPERATOR, LANE_COUNT };
constexpr double LANE_X[LANE_COUNT] = {85, 255, 525, 875, 1085};
constexpr double LANE_HALF_WIDTH = 78;
const char *const LANE_NAME[LANE_COUNT] = {"Platform", "NVDIMM component", "Driver",
                                           "Redfish service", "Operator"};
const char *const LANE_CLASS[LANE_COUNT] = {"platform", "nvdimm", "driver", "redfish", "operator"};

struct JsonDeleter {
  void operator()(cJSON *Item) const { cJSON_Delete(Item); }
};

std::string Number(double Value) {
  char Text[32];
  std::snprintf(Text, sizeof(Text), "%g", Value);
  return Text;
}

/// Characters that fit between lanes A and B, padding aside.
size_t Room(Lane A, Lane B) {
  double Gap = LANE_X[A] > LANE_X[B] ? LANE_X[A] - LANE_X[B] : LANE_X[B] - LANE_X[A];
  return static_cast<size_t>((Gap - 2 * PAD) / CHARACTER);
}

const char *Reason(const std::string &Code) {
  static const struct {
    const char *Code;
    const char *Reason;
  } Reasons[] = {{"200", "OK"},
                 {"201", "Created"},
                 {"202", "Accepted"},
                 {"204", "No Content"},
                 {"400", "Bad Request"},
                 {"401", "Unauthorized"},
                 {"403", "Forbidden"},
                 {"404", "Not Found"},
                 {"405", "Method Not Allowed"},
                 {"409", "Conflict"},
                 {"412", "Precondition Failed"},
                 {"500", "Internal Server Error"},
                 {"503", "Service Unavailable"}};
  for (const auto &Entry : Reasons) {
    if (Code == Entry.Code) {
      return Entry.Reason;
    }
  }
  return nullptr;
}

std::string AnswerText(const std::string &Code) {
  if (Code.empty()) {
    return "no response";
  }
  const char *Phrase = Reason(Code);
  return Phrase != nullptr ? Code + " " + Phrase : Code;
}

const char *SeverityClass(int Severity) {
  return Severity == 2 ? " fail" : Severity == 1 ? " warn" : "";
}

/// The rows of one boot, drawn top to bottom.
class Rows {
 public:
  explicit Rows(double Width) : mWidth(Width) {}

  double Bottom() const { return mY; }
  const std::string &Svg() const { return mSvg; }

  void AddRest(const RunStep &Step);
  void AddNvdimm(const RunStep &Step);
  void AddReset(const RunStep &Step);
  void AddHttp(const RunStep &Step);
  void AddOther(const RunStep &Step);

 private:
  /// One label line at X on Baseline, with the severity's symbol in front
  /// and Title (the full text) shown on hover when it is not empty.
  /// BoldFrom: the byte from which the text is bold (a value after its name).
  void Label(double X, double Baseline, const std::string &Shown, const std::string &Class,
             const std::string &Title, int Severity = 0, size_t BoldFrom = std::string::npos);
  void Arrow(Lane From, Lane To, double Y, bool Answer, int Severity);
  void Open(const char *Class, const std::string &Title, const std::string &Data);
  void Close(double Height);
  /// Label lines for a PATCH body: its members, Status and StatusMessage
  /// first as the driver writes them.
  struct BodyLine {
    std::string Text;
    int Severity;
    size_t BoldFrom;
    std::string Title;
  };
  std::vector<BodyLine> BodyLines(const RunStep &Step, size_t Width);

  double mWidth;
  double mY = ROWS_TOP;
  std::string mSvg;
};

void Rows::Label(double X, double Baseline, const std::string &Shown, const std::string &Class,
                 const std::string &Title, int Severity, size_t BoldFrom) {
  if (Severity != 0) {
    mSvg += SeveritySymbol(Severity, X, Baseline - SYMBOL + 2, SYMBOL);
    X += SYMBOL + 4;
  }
  mSvg += "<text x=\"" + Number(X) + "\" y=\"" + Number(Baseline) + "\" class=\"" + Class +
          SeverityClass(Severity) + "\">";
  if (!Title.empty()) {
    mSvg += "<title>" + XmlEscaped(Title) + "</title>";
  }
  if (BoldFrom < Shown.size()) {
    mSvg += XmlEscaped(Shown.substr(0, BoldFrom)) + "<tspan class=\"strong\">" +
            XmlEscaped(Shown.substr(BoldFrom)) + "</tspan></text>";
  } else {
    mSvg += XmlEscaped(Shown) + "</text>";
  }
}

void Rows::Arrow(Lane From, Lane To, double Y, bool Answer, int Severity) {
  double Start = LANE_X[From];
  double End = LANE_X[To];
  double Direction = End > Start ? 1 : -1;
  std::string Class = std::string(Answer ? "answer" : "call") + SeverityClass(Severity);
  mSvg += "<line x1=\"" + Number(Start + Direction * 3) + "\" y1=\"" + Number(Y) + "\" x2=\"" +
          Number(End - Direction * 9) + "\" y2=\"" + Number(Y) + "\" class=\"" + Class + "\"/>";
  double Tip = End - Direction * 2;
  mSvg += "<path d=\"M" + Number(Tip) + " " + Number(Y) + " L" + Number(Tip - Direction * 10) +
          " " + Number(Y - 4.5) + " L" + Number(Tip - Direction * 10) + " " + Number(Y + 4.5) +
          " Z\" class=\"head " + Class + "\"/>";
}

void Rows::Open(const char *Class, const std::string &Title, const std::string &Data) {
  mSvg += std::string("<g class=\"") + Class + "\"" + Data + ">";
  mSvg += "<title>" + XmlEscaped(Title) + "</title>";
}

void Rows::Close(double Height) {
  mSvg += "</g>\n";
  mY += Height;
}

std::vector<Rows::BodyLine> Rows::BodyLines(const RunStep &Step, size_t Width) {
  std::vector<BodyLine> Lines;
  std::unique_ptr<cJSON, JsonDeleter> Body(
      cJSON_ParseWithLength(Step.Body.data(), Step.Body.size()));
  if (!cJSON_IsObject(Body.get())) {
    std::string Text = "body: " + ShownText(Step.Body);
    for (const std::string &Line : WrapText(Text, Width, 2)) {
      Lines.push_back({Line, 0, std::string::npos, Text});
    }
    return Lines;
  }
  for (const cJSON *Child = Body->child; Child != nullptr; Child = Child->next) {
    std::string Value;
    if (cJSON_IsString(Child)) {
      Value = ShownText(Child->valuestring);
    } else {
      char *Printed = cJSON_PrintUnformatted(Child);
      Value = ShownText(Printed != nullptr ? Printed : "");
      cJSON_free(Printed);
    }
    std::string Name = ShownText(Child->string != nullptr ? Child->string : "");
    std::string Text = Name + ": " + Value;
    bool Failed = Name == "Status" && Value == "Failed";
    size_t MaxLines = Name == "StatusMessage" ? 3 : 1;
    // The status is the news of the line: its value is bold.
    size_t BoldFrom = Name == "Status" ? Name.size() + 2 : std::string::npos;
    for (const std::string &Line : WrapText(Text, Failed ? Width - 2 : Width, MaxLines)) {
      Lines.push_back({Line, Failed ? 2 : 0, BoldFrom, Text});
    }
  }
  return Lines;
}

void Rows::AddRest(const RunStep &Step) {
  int Severity = RestFailed(Step) ? 2 : 0;
  std::string Uri = ShownText(Step.Uri);
  std::string Method = ShownText(Step.Method);
  std::string Answer = AnswerText(Step.Code) + " \xC2\xB7 " + Step.Status;
  std::string Title = Method + " " + Uri + "\n\xE2\x86\x90 " + Answer;
  if (Step.HasBody) {
    Title += "\nbody: " + ShownText(Step.Body);
  }
  Open("rest", Title,
       " data-method=\"" + XmlEscaped(Method) + "\" data-code=\"" + XmlEscaped(Step.Code) +
           "\" data-status=\"" + XmlEscaped(Step.Status) + "\"");
  size_t Width = Room(DRIVER, REDFISH);
  double X = LANE_X[DRIVER] + PAD;
  double Baseline = mY + 13;
  std::string Request =
      Method + " " + CutUri(Uri, Width > Method.size() + 1 ? Width - Method.size() - 1 : 1);
  Label(X, Baseline, Request, "label", Request != Method + " " + Uri ? Method + " " + Uri : "");
  if (Step.HasBody) {
    for (const BodyLine &Line : BodyLines(Step, Width)) {
      Baseline += LINE;
      Label(X, Baseline, Line.Text, "label note", Line.Title, Line.Severity, Line.BoldFrom);
    }
  }
  double ArrowY = Baseline + 8;
  Arrow(DRIVER, REDFISH, ArrowY, false, 0);
  double AnswerBaseline = ArrowY + 19;
  size_t AnswerRoom = Severity != 0 ? Width - 2 : Width;
  std::string AnswerShown = CutEnd(Answer, AnswerRoom);
  std::string AnswerTitle = AnswerShown != Answer ? Answer : std::string();
  if (Step.Code.empty()) {
    // Nothing came back: no answer arrow, a cross under the call.
    Label(X, AnswerBaseline, AnswerShown, "label", AnswerTitle, 2);
    Close(AnswerBaseline + 12 - mY);
    return;
  }
  Label(X, AnswerBaseline, AnswerShown, "label", AnswerTitle, Severity);
  Arrow(REDFISH, DRIVER, AnswerBaseline + 8, true, Severity);
  Close(AnswerBaseline + 20 - mY);
}

void Rows::AddNvdimm(const RunStep &Step) {
  int Severity = StatusSeverity(Step.Status);
  std::string Op = ShownText(Step.Op);
  std::string Answer = Step.Status;
  for (const auto &Extra : Step.Extra) {
    Answer += " " + ShownText(Extra.first) + "=" + ShownText(Extra.second);
  }
  std::string Title = Op;
  for (const auto &Argument : Step.Args) {
    Title += "\n  " + ShownText(Argument.first) + "=" + ShownText(Argument.second);
  }
  Title += "\n\xE2\x86\x90 " + Answer;
  Open("nvdimm", Title,
       " data-op=\"" + XmlEscaped(Op) + "\" data-status=\"" + XmlEscaped(Step.Status) + "\"");
  size_t Width = Room(NVDIMM, DRIVER);
  double X = LANE_X[NVDIMM] + PAD;
  double Baseline = mY + 13;
  Label(X, Baseline, CutEnd(Op, Width), "label op", CharacterCount(Op) > Width ? Op : "");
  for (const auto &Argument : Step.Args) {
    std::string Text = ShownText(Argument.first) + "=" + ShownText(Argument.second);
    Baseline += LINE;
    Label(X, Baseline, CutEnd(Text, Width), "label note", CharacterCount(Text) > Width ? Text : "");
  }
  double ArrowY = Baseline + 8;
  Arrow(DRIVER, NVDIMM, ArrowY, false, 0);
  double AnswerBaseline = ArrowY + 19;
  size_t AnswerRoom = Severity != 0 ? Width - 2 : Width;
  Label(X, AnswerBaseline, CutEnd(Answer, AnswerRoom), "label",
        CharacterCount(Answer) > AnswerRoom ? Answer : "", Severity);
  Arrow(NVDIMM, DRIVER, AnswerBaseline + 8, true, Severity);
  Close(AnswerBaseline + 20 - mY);
}

void Rows::AddReset(const RunStep &Step) {
  std::string Type = ShownText(Step.Type);
  std::string By = ShownText(Step.By);
  Open("reset", "ResetSystem(" + Type + ") by the " + By, "");
  std::string Call = "ResetSystem(" + Type + ")";
  if (Step.By == "driver") {
    double Baseline = mY + 13;
    Label(LANE_X[PLATFORM] + PAD, Baseline, CutEnd(Call, Room(PLATFORM, NVDIMM)), "label op", "");
    Arrow(DRIVER, PLATFORM, Baseline + 8, false, 0);
    Close(Baseline + 20 - mY);
    return;
  }
  // A reset the platform makes by itself: a note on its own lane.
  double Left = LANE_X[PLATFORM] - LANE_HALF_WIDTH;
  mSvg += "<rect x=\"" + Number(Left) + "\" y=\"" + Number(mY + 2) + "\" width=\"" +
          Number(2 * LANE_HALF_WIDTH) + "\" height=\"" + Number(2 * LINE + 8) +
          "\" rx=\"3\" class=\"self\"/>";
  Label(Left + 8, mY + 17, CutEnd(Call, 19), "label op", "");
  Label(Left + 8, mY + 17 + LINE, CutEnd("by the " + By, 19), "label note", "");
  Close(2 * LINE + 18);
}

void Rows::AddHttp(const RunStep &Step) {
  Lane From = Step.By == "driver" ? DRIVER : OPERATOR;
  int Severity = std::strtoul(Step.Code.c_str(), nullptr, 10) >= 400 || Step.Code.empty() ? 2 : 0;
  std::string Method = ShownText(Step.Method);
  std::string Request = Method + " " + ShownText(Step.Uri);
  std::string Answer = AnswerText(Step.Code);
  Open("http", "HTTP " + Request + " by the " + ShownText(Step.By) + "\n\xE2\x86\x90 " + Answer,
       "");
  size_t Width = Room(From, REDFISH);
  double X = (LANE_X[From] < LANE_X[REDFISH] ? LANE_X[From] : LANE_X[REDFISH]) + PAD;
  double Baseline = mY + 13;
  std::string Shown =
      Method + " " +
      CutUri(ShownText(Step.Uri), Width > Method.size() + 1 ? Width - Method.size() - 1 : 1);
  Label(X, Baseline, Shown, "label", Shown != Request ? Request : "");
  Arrow(From, REDFISH, Baseline + 8, false, 0);
  double AnswerBaseline = Baseline + 27;
  Label(X, AnswerBaseline, CutEnd(Answer, Width - 2), "label", "", Severity);
  Arrow(REDFISH, From, AnswerBaseline + 8, true, Severity);
  Close(AnswerBaseline + 20 - mY);
}

void Rows::AddOther(const RunStep &Step) {
  std::string Text = "event \"" + ShownText(Step.Event) + "\":";
  for (const auto &Member : Step.Extra) {
    Text += " " + ShownText(Member.first) + "=" + ShownText(Member.second);
  }
  Open("other", Text, "");
  size_t Width = static_cast<size_t>((mWidth - 2 * PAD) / CHARACTER);
  Label(PAD, mY + 13, CutEnd(Text, Width), "label note", "");
  Close(LINE + 10);
}

}  // namespace

std::string SeveritySymbol(int Severity, double X, double Y, double Size) {
  if (Severity == 0) {
    return std::string();
  }
  std::string Transform =
      "translate(" + Number(X) + " " + Number(Y) + ") scale(" + Number(Size / 16) + ")";
  if (Severity == 2) {
    // A cross in a circle.
    return "<g class=\"symbol fail\" transform=\"" + Transform +
           "\"><circle cx=\"8\" cy=\"8\" r=\"7.5\"/><path d=\"M5 5 L11 11 M11 5 L5 11\"/></g>";
  }
  // An exclamation mark in a triangle.
  return "<g class=\"symbol warn\" transform=\"" + Transform +
         "\"><path class=\"shape\" d=\"M8 0.5 L15.5 15 L0.5 15 Z\"/><path d=\"M8 5 L8 10 M8 12 L8 "
         "13\"/></g>";
}

std::string BootEnding(const RunBoot &Boot) {
  if (!Boot.Reset) {
    return "end of the boot plan";
  }
  return ShownText(Boot.ResetType) + " reset by the " + ShownText(Boot.ResetBy);
}

std::string BootMemory(const RunBoot &Boot) {
  if (!Boot.HasLeak) {
    return std::string();
  }
  std::string Held = Boot.LeakBlocks + " blocks, " + Boot.LeakBytes + " bytes";
  if (Boot.Reset) {
    return "held at reset: " + Held + " (a reset ends the boot; nothing is released)";
  }
  return Boot.LeakBlocks == "0" ? "nothing held at the end of the boot" : "leak: " + Held;
}

std::string BootDiagram(const RunBoot &Boot, bool WithOperator) {
  int LaneCount = WithOperator ? LANE_COUNT : OPERATOR;
  double Width = LANE_X[LaneCount - 1] + LANE_HALF_WIDTH + 10;
  Rows Body(Width);
  for (const RunStep &Step : Boot.Steps) {
    switch (Step.Kind) {
      case StepKind::Rest:
        Body.AddRest(Step);
        break;
      case StepKind::Nvdimm:
        Body.AddNvdimm(Step);
        break;
      case StepKind::Reset:
        Body.AddReset(Step);
        break;
      case StepKind::Http:
        Body.AddHttp(Step);
        break;
      case StepKind::Other:
        Body.AddOther(Step);
        break;
    }
  }
  double FooterTop = Body.Bottom() + 6;
  std::string Memory = BootMemory(Boot);
  double Height = FooterTop + (Memory.empty() ? 30 : 30 + LINE);

  std::string Svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"diagram\" id=\"boot-" +
                    std::to_string(Boot.Number) + "-diagram\" width=\"" + Number(Width) +
                    "\" height=\"" + Number(Height) + "\" viewBox=\"0 0 " + Number(Width) + " " +
                    Number(Height) + "\" role=\"img\" aria-label=\"Boot " +
                    std::to_string(Boot.Number) + "\">\n";
  Svg += "<g class=\"band\" data-boot=\"" + std::to_string(Boot.Number) + "\">";
  Svg += "<rect class=\"band-area\" x=\"0.5\" y=\"0.5\" width=\"" + Number(Width - 1) +
         "\" height=\"" + Number(Height - 1) + "\"/>\n";
  for (int Index = 0; Index < LaneCount; Index++) {
    double X = LANE_X[Index];
    Svg += "<line class=\"lifeline " + std::string(LANE_CLASS[Index]) + "\" x1=\"" + Number(X) +
           "\" y1=\"" + Number(HEAD_TOP + HEAD_HEIGHT) + "\" x2=\"" + Number(X) + "\" y2=\"" +
           Number(FooterTop) + "\"/>";
    Svg += "<rect class=\"lane " + std::string(LANE_CLASS[Index]) + "\" x=\"" +
           Number(X - LANE_HALF_WIDTH) + "\" y=\"" + Number(HEAD_TOP) + "\" width=\"" +
           Number(2 * LANE_HALF_WIDTH) + "\" height=\"" + Number(HEAD_HEIGHT) + "\" rx=\"4\"/>";
    Svg += "<text class=\"lane-name\" x=\"" + Number(X) + "\" y=\"" + Number(HEAD_TOP + 19) +
           "\">" + LANE_NAME[Index] + "</text>\n";
  }
  Svg += Body.Svg();
  Svg += "<line class=\"boot-end\" x1=\"8\" y1=\"" + Number(FooterTop) + "\" x2=\"" +
         Number(Width - 8) + "\" y2=\"" + Number(FooterTop) + "\"/>";
  Svg += "<text class=\"label end\" x=\"" + Number(PAD) + "\" y=\"" + Number(FooterTop + 19) +
         "\">Boot " + std::to_string(Boot.Number) + " ended: " + XmlEscaped(BootEnding(Boot)) +
         "</text>";
  if (!Memory.empty()) {
    int Severity = BootLeaked(Boot) ? 2 : 0;
    double X = PAD;
    if (Severity != 0) {
      Svg += SeveritySymbol(Severity, X, FooterTop + 19 + LINE - SYMBOL + 2, SYMBOL);
      X += SYMBOL + 4;
    }
    Svg += "<text class=\"label memory" + std::string(SeverityClass(Severity)) + "\" x=\"" +
           Number(X) + "\" y=\"" + Number(FooterTop + 19 + LINE) + "\">" + XmlEscaped(Memory) +
           "</text>";
  }
  Svg += "</g></svg>\n";
  return Svg;
}
