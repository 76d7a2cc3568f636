#include "report/ReportPage.h"

#include "report/BootDiagram.h"
#include "report/ReportText.h"

namespace {

const char STYLE[] = R"(
body { font: 14px/1.45 "DejaVu Sans", "Liberation Sans", Arial, sans-serif; color: #1f2328;
       background: #fff; margin: 20px 24px; }
h1 { font-size: 20px; margin: 0 0 2px; }
h2 { font-size: 16px; margin: 22px 0 8px; }
p { margin: 4px 0; }
.quiet { color: #57606a; }
.legend svg, summary svg { vertical-align: -2px; }
nav ol { margin: 4px 0; padding-left: 22px; }
details.boot { border: 1px solid #d0d7de; border-radius: 6px; margin: 14px 0; background: #f6f8fa; }
details.boot > summary { padding: 7px 12px; cursor: pointer; font-weight: 700; }
details.boot[open] > summary { border-bottom: 1px solid #d0d7de; }
.failures { color: #b3261e; }
svg.diagram { display: block; max-width: 100%; height: auto; }
.band-area { fill: #fff; }
.lane { stroke-width: 1; }
.lane.platform { fill: #eceff2; stroke: #6e7781; }
.lane.nvdimm { fill: #f1e9fb; stroke: #8250df; }
.lane.driver { fill: #ddf4ff; stroke: #0969da; }
.lane.redfish { fill: #dafbe1; stroke: #1a7f37; }
.lane.operator { fill: #fff1e5; stroke: #bc4c00; }
.lane-name { font: 700 13px "DejaVu Sans", "Liberation Sans", Arial, sans-serif;
             text-anchor: middle; fill: #1f2328; }
.lifeline { stroke-width: 1.2; stroke-dasharray: 4 4; }
.lifeline.platform { stroke: #8c959f; }
.lifeline.nvdimm { stroke: #a475f9; }
.lifeline.driver { stroke: #218bff; }
.lifeline.redfish { stroke: #2da44e; }
.lifeline.operator { stroke: #e16f24; }
.label { font: 12px "DejaVu Sans Mono", "Liberation Mono", monospace; fill: #1f2328;
         white-space: pre; }
.label.op, .strong { font-weight: 700; }
.label.note { fill: #424a53; }
.label.end { font-weight: 700; }
text.fail { fill: #b3261e; font-weight: 700; }
text.warn { fill: #7d4e00; font-weight: 700; }
.call { stroke: #1f2328; stroke-width: 1.4; }
.answer { stroke: #57606a; stroke-width: 1.2; stroke-dasharray: 5 4; }
.head { stroke: none; stroke-dasharray: none; fill: #1f2328; }
.head.answer { fill: #57606a; }
.call.fail, .answer.fail { stroke: #b3261e; stroke-width: 1.8; }
.head.fail { fill: #b3261e; stroke: none; }
.symbol.fail circle { fill: #b3261e; }
.symbol.fail path { stroke: #fff; stroke-width: 2.2; stroke-linecap: round; fill: none; }
.symbol.warn .shape { fill: #e3a008; stroke: #7d4e00; stroke-width: 1; }
.symbol.warn path { stroke: #1f2328; stroke-width: 2; stroke-linecap: round; }
.self { fill: #fff8c5; stroke: #bf8700; }
.boot-end { stroke: #8c959f; stroke-width: 1; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 1px solid #d0d7de; padding: 5px 8px; text-align: left; vertical-align: top; }
th { background: #f6f8fa; }
td.uri { white-space: nowrap; font: 12px "DejaVu Sans Mono", "Liberation Mono", monospace; }
pre { margin: 0; font: 12px "DejaVu Sans Mono", "Liberation Mono", monospace;
      white-space: pre-wrap; overflow-wrap: anywhere; }
@media print {
  body { margin: 0; }
  details.boot { break-inside: auto; border-color: #8c959f; }
  details.boot > summary { list-style: none; }
}
)";

std::string Plural(size_t Count, const char *One, const char *Many) {
  return std::to_string(Count) + " " + (Count == 1 ? One : Many);
}

std::string Symbol(int Severity) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"14\" height=\"14\" "
         "viewBox=\"0 0 16 16\" aria-hidden=\"true\">" +
         SeveritySymbol(Severity, 0, 0, 16) + "</svg>";
}

size_t CountSteps(const RunBoot &Boot, StepKind Kind) {
  size_t Count = 0;
  for (const RunStep &Step : Boot.Steps) {
    Count += Step.Kind == Kind ? 1 : 0;
  }
  return Count;
}

std::string FailureText(size_t Failures) {
  if (Failures == 0) {
    return "no failure";
  }
  return Symbol(2) + " <span class=\"failures\">" + Plural(Failures, "failure", "failures") +
         "</span>";
}

std::string BootSummary(const RunBoot &Boot) {
  std::string Text =
      "Boot " + std::to_string(Boot.Number) + " \xC2\xB7 " + XmlEscaped(BootEnding(Boot)) +
      " \xC2\xB7 " + Plural(CountSteps(Boot, StepKind::Rest), "REST request", "REST requests") +
      " \xC2\xB7 " +
      Plural(CountSteps(Boot, StepKind::Nvdimm), "NVDIMM operation", "NVDIMM operations");
  size_t Failures = BootFailures(Boot);
  if (Failures != 0) {
    Text += " \xC2\xB7 " + FailureText(Failures);
  }
  return Text;
}

std::string Legend() {
  return "<p class=\"legend quiet\">"
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"34\" height=\"10\" "
         "aria-hidden=\"true\">"
         "<line x1=\"1\" y1=\"5\" x2=\"25\" y2=\"5\" class=\"call\"/>"
         "<path d=\"M33 5 L23 0.5 L23 9.5 Z\" class=\"head call\"/></svg> call "
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"34\" height=\"10\" "
         "aria-hidden=\"true\">"
         "<line x1=\"1\" y1=\"5\" x2=\"25\" y2=\"5\" class=\"answer\"/>"
         "<path d=\"M33 5 L23 0.5 L23 9.5 Z\" class=\"head answer\"/></svg> answer \xC2\xB7 " +
         Symbol(2) + " failure (red) \xC2\xB7 " + Symbol(1) +
         " warning (amber) \xC2\xB7 a cut label shows its full text on hover</p>\n";
}

std::string FinalPanel(const RunRecord &Record) {
  std::string Html = "<section class=\"final\"><h2>Resources at the end</h2>\n";
  if (!Record.HasFinal) {
    return Html + "<p>The trace has no final event: the run did not reach its end.</p></section>\n";
  }
  Html +=
      "<table><thead><tr><th>URI</th><th>Body as the service holds it</th></tr></thead><tbody>\n";
  for (const auto &Resource : Record.Resources) {
    Html += "<tr><td class=\"uri\">" + XmlEscaped(ShownText(Resource.first)) + "</td><td><pre>" +
            XmlEscaped(ShownText(Resource.second)) + "</pre></td></tr>\n";
  }
  return Html + "</tbody></table></section>\n";
}

}  // namespace

std::string ReportPage(const RunRecord &Record, const std::string &Title) {
  size_t Rest = 0;
  size_t Nvdimm = 0;
  size_t Failures = 0;
  for (const RunBoot &Boot : Record.Boots) {
    Rest += CountSteps(Boot, StepKind::Rest);
    Nvdimm += CountSteps(Boot, StepKind::Nvdimm);
    Failures += BootFailures(Boot);
  }
  bool Fold = Record.EventCount > REPORT_FOLD_EVENTS;
  std::string Name = XmlEscaped(ShownText(Title));

  std::string Html =
      "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\" "
      "xml:lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>" +
      Name + " \xE2\x80\x94 nvdimm-emu report</title>\n<style>" + STYLE +
      "</style>\n</head>\n<body>\n<header>\n";
  Html += "<h1>" + XmlEscaped(ShownText(RunOutcome(Record))) + "</h1>\n";
  Html += "<p class=\"quiet\">A run of " + Name + ", drawn by nvdimm-emu</p>\n";
  Html += "<p>" + Plural(Record.Boots.size(), "boot", "boots") + " \xC2\xB7 " +
          Plural(Rest, "REST request", "REST requests") + " \xC2\xB7 " +
          Plural(Nvdimm, "NVDIMM operation", "NVDIMM operations") + " \xC2\xB7 " +
          FailureText(Failures) + " \xC2\xB7 " + Plural(Record.EventCount, "event", "events") +
          "</p>\n";
  Html += Legend();
  if (Fold) {
    Html +=
        "<p class=\"quiet\">A long trace: boots but the first and the last start folded; "
        "open one by its line.</p>\n";
  }
  if (Fold || Record.Boots.size() > 3) {
    Html += "<nav><ol>\n";
    for (const RunBoot &Boot : Record.Boots) {
      // A link into the folded content: following it unfolds the boot.
      Html += "<li><a href=\"#boot-" + std::to_string(Boot.Number) + "-diagram\">" +
              BootSummary(Boot) + "</a></li>\n";
    }
    Html += "</ol></nav>\n";
  }
  Html += "</header>\n<main>\n";
  for (size_t Index = 0; Index < Record.Boots.size(); Index++) {
    const RunBoot &Boot = Record.Boots[Index];
    bool Open = !Fold || Index == 0 || Index + 1 == Record.Boots.size();
    Html += "<details class=\"boot\" id=\"boot-" + std::to_string(Boot.Number) + "\"" +
            (Open ? " open=\"open\"" : "") + ">\n<summary>" + BootSummary(Boot) + "</summary>\n";
    Html += BootDiagram(Boot, Record.HasOperator);
    Html += "</details>\n";
  }
  Html += FinalPanel(Record);
  Html += "</main>\n</body>\n</html>\n";
  return Html;
}
