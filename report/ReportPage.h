// The report: a run drawn as a sequence diagram in one self-contained page
// (XHTML that HTML parsers read the same way, inline SVG and CSS, no script,
// nothing fetched), readable offline and printable.
#pragma once

#include <string>

#include "report/RunRecord.h"

/// The page for Record. Title names what was run (a scenario or a trace file).
/// Each boot is a <details class="boot"> that folds; boots start folded,
/// but for the first and the last, when the trace has more than
/// REPORT_FOLD_EVENTS events.
std::string ReportPage(const RunRecord &Record, const std::string &Title);

constexpr size_t REPORT_FOLD_EVENTS = 400;
