// The scenario file, as every host command reads it: the text and the
// scenario read from it, or one line on standard error naming the file and
// what is wrong with it.
#pragma once

#include <string>

#include "sim/scenario/Scenario.h"

/// Reads the scenario file at Path into Text and Into; false, with one line
/// on standard error naming the file and the problem, when it cannot be read
/// or used.
[[nodiscard]] bool ReadScenarioFile(const std::string &Path, std::string *Text, Scenario *Into);
