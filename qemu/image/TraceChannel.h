// The platform image's side of the trace channel (ChannelFormat.h): records
// written to QEMU's isa-debugcon port.
#pragma once

#include "qemu/ChannelFormat.h"
#include "sim/trace/Trace.h"

/// Writes one whole record: Tag, Length bytes of payload, a line feed.
void ChannelWriteRecord(CHAR8 Tag, const CHAR8 *Payload, UINTN Length);

/// The same with a NUL-terminated payload.
void ChannelWriteRecord(CHAR8 Tag, const CHAR8 *Payload);

/// A trace sink that turns every line written through it into a record with
/// one tag. The trace writer hands over a line in pieces; the tag goes out
/// before the first byte of each line.
class ChannelLineSink {
 public:
  explicit ChannelLineSink(CHAR8 Tag) : mTag(Tag) {}
  ChannelLineSink(const ChannelLineSink &) = delete;
  ChannelLineSink &operator=(const ChannelLineSink &) = delete;

  /// The sink for Trace; this object must outlive the trace.
  TraceSink Sink() { return {Write, this}; }

 private:
  static void Write(void *Context, const CHAR8 *Bytes, UINTN Length);

  CHAR8 mTag;
  bool mAtLineStart = true;
};
