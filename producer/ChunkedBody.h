// The body of a response sent with "Transfer-Encoding: chunked", decoded as
// its raw bytes arrive: EDK2's HttpDxe hands the chunk framing over as it
// came, so the producer takes it apart itself. Sizes, extensions, the final
// chunk and its trailer are checked by RFC 9112's grammar; anything else is a
// broken body.
#pragma once

#include "uefi/UefiBaseType.h"

enum class CHUNKED_STATE : UINT8 {
  Size,          ///< in a chunk-size line, before its CRLF
  Extension,     ///< in a chunk extension, before the line's CRLF
  SizeLineFeed,  ///< after the size line's CR
  Data,          ///< in a chunk's data
  DataReturn,    ///< after a chunk's data, before its CR
  DataLineFeed,  ///< after a chunk's data and CR
  Trailer,       ///< in the trailer, at the start of a line
  TrailerLine,   ///< in a trailer field line
  TrailerFeed,   ///< after a trailer line's CR
  FinalFeed,     ///< after the trailer's closing CR
  Done,          ///< the body is complete
  Broken,        ///< the framing is broken
};

class ChunkedBody {
 public:
  /// Output holds up to Capacity decoded bytes; a body that decodes to more
  /// is broken (too large).
  ChunkedBody(CHAR8 *Output, UINTN Capacity) : mOutput(Output), mCapacity(Capacity) {}

  /// Moves the output: Output holds the Length() bytes decoded so far and
  /// room for Capacity in all.
  void Relocate(CHAR8 *Output, UINTN Capacity) {
    mOutput = Output;
    mCapacity = Capacity;
  }

  /// Takes Length raw bytes. Returns how many it used: all of them, or fewer
  /// when the body ended (Done) before the last ones (they belong to the next
  /// message) or the framing broke (Broken).
  UINTN Take(const CHAR8 *Raw, UINTN Length);

  [[nodiscard]] CHUNKED_STATE State() const { return mState; }
  [[nodiscard]] bool Done() const { return mState == CHUNKED_STATE::Done; }
  [[nodiscard]] bool Broken() const { return mState == CHUNKED_STATE::Broken; }
  /// Decoded bytes so far.
  [[nodiscard]] UINTN Length() const { return mLength; }

 private:
  /// One byte outside a chunk's data; FALSE when it breaks the framing.
  bool TakeByte(CHAR8 Byte);
  /// The same in a chunk's size, and in the trailer section.
  bool TakeSizeByte(CHAR8 Byte);
  bool TakeTrailerByte(CHAR8 Byte);

  CHAR8 *mOutput;
  UINTN mCapacity;
  UINTN mLength = 0;
  CHUNKED_STATE mState = CHUNKED_STATE::Size;
  UINT64 mChunkLeft = 0;
  UINTN mSizeDigits = 0;
  UINTN mLineLength = 0;  ///< bytes of the current size or trailer line
};

/// The longest chunk-size line or trailer line accepted.
constexpr UINTN CHUNKED_MAX_LINE = 4096;
