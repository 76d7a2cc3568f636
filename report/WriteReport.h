// The report command's work: a trace file in, a page out.
#pragma once

#include <string>

/// Reads the JSON Lines trace at TracePath and writes its page to PagePath;
/// Title names what ran (a scenario or the trace file). Returns true with
/// the run's outcome in *Outcome ("CreateGoal: Success after 2 boots"), or
/// false with one line in *Error naming the file and what is wrong.
[[nodiscard]] bool WriteReport(const std::string &TracePath, const std::string &PagePath,
                               const std::string &Title, std::string *Outcome, std::string *Error);
