// The trace: one JSON object per event, written as JSON Lines, and a
// human-readable account of the same events. Both platforms (nvdimm-emu and
// the platform image inside OVMF) write it through this one writer, so that
// their traces can be compared byte for byte.
//
// Events are built as cJSON objects. Integers are stored as raw number text
// (exact 64-bit values); strings hold raw bytes and are written with every
// byte of 0x80 or above as \u00XX.
#pragma once

#include <cJSON.h>

#include "uefi/UefiBaseType.h"

struct TraceSink {
  void (*Write)(void *Context, const CHAR8 *Bytes, UINTN Length);
  void *Context;
};

/// Adds an exact unsigned integer member. Returns false on allocation failure.
bool TraceAddUint(cJSON *Object, const CHAR8 *Name, UINT64 Value);
/// Adds a string member holding Length raw bytes.
bool TraceAddBytes(cJSON *Object, const CHAR8 *Name, const CHAR8 *Bytes, UINTN Length);
/// Adds a NUL-terminated string member.
bool TraceAddString(cJSON *Object, const CHAR8 *Name, const CHAR8 *String);
/// Adds a UEFI status member by its name ("EFI_SUCCESS", "EFI_DEVICE_ERROR").
bool TraceAddStatus(cJSON *Object, const CHAR8 *Name, EFI_STATUS Status);
bool TraceAddBool(cJSON *Object, const CHAR8 *Name, bool Value);
bool TraceAddNull(cJSON *Object, const CHAR8 *Name);

/// Writes Value as one line of JSON (no line feed) through Sink, with the
/// escaping described above.
void TraceWriteJson(const cJSON *Value, const TraceSink &Sink);

class Trace {
 public:
  /// Lines sinks get each event as a JSON line; Account gets the readable
  /// account. Either write function may be null.
  Trace(TraceSink Lines, TraceSink Account);
  ~Trace();
  Trace(const Trace &) = delete;
  Trace &operator=(const Trace &) = delete;

  /// Sets the 1-based number of the boot that events belong to.
  void SetBoot(UINT32 Boot) { mBoot = Boot; }
  UINT32 Boot() const { return mBoot; }

  /// A new event object with "boot" and "event" set; null on allocation
  /// failure. Pass it to Emit, which takes ownership.
  cJSON *NewEvent(const CHAR8 *Kind);

  /// Writes the event to both sinks and keeps it for Events().
  void Emit(cJSON *Event);

  /// Writes one free line of the readable account (a step, a note).
  void Note(const CHAR8 *Text);

  /// Every event emitted so far, in order (a JSON array owned by the trace).
  const cJSON *Events() const { return mEvents; }

 private:
  TraceSink mLines;
  TraceSink mAccount;
  UINT32 mBoot = 1;
  cJSON *mEvents = nullptr;
};
