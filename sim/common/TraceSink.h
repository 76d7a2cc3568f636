// Where the simulated platform's text goes: a write function and its context.
// The trace (sim/trace/) writes its JSON lines and readable account through
// sinks, and SimTextWriter writes to one in chunks.
#pragma once

#include "uefi/UefiBaseType.h"

struct TraceSink {
  void (*Write)(void *Context, const CHAR8 *Bytes, UINTN Length);
  void *Context;
};
