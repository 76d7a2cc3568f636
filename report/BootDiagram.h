// The sequence diagram of one boot: a lane per party (platform, NVDIMM
// component, driver, Redfish service, and the operator in a served run), an
// arrow per call and its answer, and how the boot ended, as inline SVG.
#pragma once

#include <string>

#include "report/RunRecord.h"

/// How the boot ended, in words: "warm reset by the driver", "end of the
/// boot plan".
std::string BootEnding(const RunBoot &Boot);

/// What the driver held when the boot ended, in words: "held at reset: 27
/// blocks, 1125 bytes (a reset ends the boot; nothing is released)", "leak:
/// 3 blocks, 120 bytes", "nothing held"; empty without a leak event.
std::string BootMemory(const RunBoot &Boot);

/// One <svg> element for the boot (the band, its lanes and rows), whose id
/// is "boot-N-diagram". Every REST
/// call is one <g class="rest">, every NVDIMM operation one <g class="nvdimm">;
/// failures are drawn in red with a cross in a circle, warnings in amber with
/// an exclamation mark in a triangle. Full texts are in <title> elements
/// (shown on hover) where a label is cut.
std::string BootDiagram(const RunBoot &Boot, bool WithOperator);

/// The failure (Severity 2) or warning (1) symbol at X, Y (its top left
/// corner), Size pixels square, as SVG elements; empty for 0.
std::string SeveritySymbol(int Severity, double X, double Y, double Size);
