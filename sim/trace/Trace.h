// The trace: one JSON object per event, written as JSON Lines, and a
// human-readable account of the same events. Both platforms (nvdimm-emu and
// the platform image inside OVMF) write it through this one writer, so that
// their traces can be compared byte for byte.
//
// Events are built as cJSON objects. Integers are stored as raw number text
// (exact 64-bit values); strings hold raw bytes and are written with every
// byte of 0x80 or above as \u00xx (lower-case hex digits, as cJSON writes
// its own \u escapes). A string holding a NUL byte, which a cJSON string cannot
// hold, is stored as a raw item of its escaped text.
#pragma once

#include <cJSON.h>

#include "sim/common/TraceSink.h"
#include "uefi/UefiBaseType.h"

class SimTextWriter;

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
/// Adds Item under Name, or to the end of Object when it is an array (Name
/// is then ignored). Object takes Item, which is deleted on failure. Every
/// TraceAdd function works on arrays the same way.
bool TraceAddItem(cJSON *Object, const CHAR8 *Name, cJSON *Item);

/// A detached string item holding Length raw bytes (a raw item holding the
/// escaped string when the bytes contain a NUL); null on failure. The caller
/// owns it until it is added somewhere.
cJSON *TraceNewBytes(const CHAR8 *Bytes, UINTN Length);
/// A detached string item holding Length UCS-2 code units: the bytes they
/// narrow to when every unit is below 0x100, otherwise a raw item of the
/// escaped string in which each unit above 0xFF is written \uxxxx. Null on
/// failure.
cJSON *TraceNewCodeUnits(const CHAR16 *Units, UINTN Length);

/// A detached exact unsigned integer item; null on failure.
cJSON *TraceNewUint(UINT64 Value);

/// Writes Value as one line of JSON (no line feed) through Sink, with the
/// escaping described above.
void TraceWriteJson(const cJSON *Value, const TraceSink &Sink);
/// The same, into Writer.
void TraceWriteJsonTo(const cJSON *Value, SimTextWriter &Writer);

/// Writes the readable account of one event (one line, or for "final" one
/// line per resource) through Sink. AfterReset tells a "leak" event of a
/// boot that a reset ended (what was held then) from a leak.
void TraceWriteAccount(const cJSON *Event, bool AfterReset, const TraceSink &Sink);

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
  /// failure, and when nothing would see the event (no event is kept and
  /// neither sink writes). Pass it to Emit, which takes ownership.
  cJSON *NewEvent(const CHAR8 *Kind);

  /// Writes the event to both sinks and keeps it for Events() (or, with
  /// KeepEvents(false), releases it).
  void Emit(cJSON *Event);

  /// Whether Emit keeps events for Events(), as it does by default. A long
  /// run (a benchmark) turns keeping off so that memory does not grow with
  /// its events; the events kept before stay.
  void KeepEvents(bool Keep) { mKeepEvents = Keep; }

  /// Writes one free line of the readable account (a step, a note).
  void Note(const CHAR8 *Text);

  /// Every event emitted so far, in order (a JSON array owned by the trace).
  const cJSON *Events() const { return mEvents; }

 private:
  TraceSink mLines;
  TraceSink mAccount;
  UINT32 mBoot = 1;
  UINT32 mResetBoot = 0;  ///< the boot a "reset" event ended; 0 for none
  bool mKeepEvents = true;
  cJSON *mEvents = nullptr;
};
