// The pieces of a boot on the emulated machine that `nvdimm-emu run` and
// `nvdimm-emu serve` share: the JSON library on the emulated pool while the
// platform runs alone, the driver's dispatch, and the reset and leak events
// that end a boot.
#pragma once

#include <cstdint>
#include <string>

#include "emulator/Pool.h"
#include "emulator/Side.h"
#include "sim/scenario/Scenario.h"
#include "sim/trace/Trace.h"
#include "uefi/UefiTables.h"

/// Routes the JSON library's allocations to the emulated pool (the driver
/// installs its own hooks at entry).
void InstallPlatformJsonAllocator();

/// Dispatches the driver: its entry point runs on the driver's side.
EFI_STATUS StartDriverOnHost(void *Context, EFI_SYSTEM_TABLE *SystemTable);

/// The "reset" event of a boot that Type ended, called by By.
void EmitReset(Trace &Log, EFI_RESET_TYPE Type, Side By);

/// The "leak" event: what the driver held at the end of the boot.
void EmitLeak(Trace &Log, const HeldMemory &Held);

/// Reads the scenario file at Path into Text and Into; false, with one line
/// on standard error naming the file and the problem, when it cannot be read
/// or used.
bool ReadScenarioFile(const std::string &Path, std::string *Text, Scenario *Into);

/// A decimal count given on the command line; false for anything else.
bool ParseCount(const char *Text, uint64_t *Value);
