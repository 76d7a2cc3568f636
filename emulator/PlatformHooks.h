// The hooks through which the simulated platform tells the emulated machine
// when it runs and what it hands to the driver (sim/common/PlatformHost.h).
#pragma once

#include "sim/common/PlatformHost.h"

/// PlatformHost::EnterPlatform / LeavePlatform: a call from the driver into
/// a platform protocol begins / returns. Context is unused.
void EmulatorEnterPlatform(void *Context);
void EmulatorLeavePlatform(void *Context);

/// PlatformHost::HandOver: the platform block Block is now the driver's.
void EmulatorHandOver(void *Context, void *Block);

/// A PlatformHost for the emulated machine: its boot services and the three
/// hooks above. The record holds nothing that needs releasing.
PlatformHost EmulatorPlatformHost();
