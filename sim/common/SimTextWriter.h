// A small text writer for the simulated platform: into a fixed buffer (cut at
// its size, always NUL-terminated) for one-line error messages, or in chunks
// to a sink for trace lines and the readable account.
#pragma once

#include "sim/common/TraceSink.h"

class SimTextWriter {
 public:
  /// Writes into Buffer of Size bytes; text past Size - 1 bytes is dropped.
  SimTextWriter(CHAR8 *Buffer, UINTN Size);
  /// Writes to Sink (nothing when its Write is null); flushed when destroyed.
  explicit SimTextWriter(const TraceSink &Sink);
  ~SimTextWriter() { Flush(); }
  SimTextWriter(const SimTextWriter &) = delete;
  SimTextWriter &operator=(const SimTextWriter &) = delete;

  /// Appends one byte, a NUL-terminated text, Length bytes as they are, or
  /// an unsigned decimal number.
  void Put(CHAR8 Byte);
  void Add(const CHAR8 *Text);
  void AddBytes(const CHAR8 *Bytes, UINTN Length);
  void AddUint(UINT64 Value);
  /// "0x" and upper-case hex digits, no leading zeros.
  void AddHex(UINT64 Value);
  /// Bytes with control characters escaped (\n, \r, \t, \xHH), so that any
  /// text stays on one line.
  void AddOneLine(const CHAR8 *Bytes, UINTN Length);
  /// Writes \uxxxx for one UTF-16 code unit (lower-case hexadecimal digits).
  void AddUnicodeEscape(UINT16 Unit);
  /// Bytes as the inside of a JSON string: quotation mark, backslash and
  /// control characters escaped; bytes of 0x80 and above as \u00xx when
  /// EscapeHigh, unchanged otherwise.
  void AddJsonEscaped(const CHAR8 *Bytes, UINTN Length, bool EscapeHigh);

  /// Hands buffered bytes to the sink (no effect on a fixed buffer).
  void Flush();
  /// TRUE when a fixed buffer dropped text.
  bool Truncated() const { return mTruncated; }
  /// Bytes written so far (to a fixed buffer: kept ones).
  UINTN Length() const { return mTotal; }

 private:
  static constexpr UINTN CHUNK_SIZE = 256;

  CHAR8 mChunk[CHUNK_SIZE];
  CHAR8 *mBuffer;
  UINTN mSize;
  UINTN mUsed = 0;
  UINTN mTotal = 0;
  bool mTruncated = false;
  const TraceSink *mSink = nullptr;
};
