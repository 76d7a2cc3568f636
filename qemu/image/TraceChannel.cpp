#include "qemu/image/TraceChannel.h"

namespace {

void WriteBytes(const CHAR8 *Bytes, UINTN Length) {
  // One OUTSB per byte; REP lets the CPU (and QEMU) take them in one go.
  asm volatile("rep outsb" : "+S"(Bytes), "+c"(Length) : "d"(TRACE_CHANNEL_PORT) : "memory");
}

}  // namespace

void ChannelWriteRecord(CHAR8 Tag, const CHAR8 *Payload, UINTN Length) {
  WriteBytes(&Tag, 1);
  WriteBytes(Payload, Length);
  const CHAR8 LineFeed = '\n';
  WriteBytes(&LineFeed, 1);
}

void ChannelWriteRecord(CHAR8 Tag, const CHAR8 *Payload) {
  UINTN Length = 0;
  while (Payload[Length] != '\0') {
    Length++;
  }
  ChannelWriteRecord(Tag, Payload, Length);
}

void ChannelLineSink::Write(void *Context, const CHAR8 *Bytes, UINTN Length) {
  auto *Self = static_cast<ChannelLineSink *>(Context);
  UINTN Start = 0;
  for (UINTN Index = 0; Index < Length; Index++) {
    if (Self->mAtLineStart) {
      WriteBytes(&Self->mTag, 1);
      Self->mAtLineStart = false;
    }
    if (Bytes[Index] == '\n') {
      WriteBytes(Bytes + Start, Index + 1 - Start);
      Start = Index + 1;
      Self->mAtLineStart = true;
    }
  }
  if (Start < Length) {
    WriteBytes(Bytes + Start, Length - Start);
  }
}
