// Small ASCII helpers for the simulated NVDIMM component: a bounded message
// builder and bounded string comparisons, so that the component needs no C
// library and never reads past what it was told to read.
#pragma once

#include "uefi/UefiBaseType.h"

/// Length of String, counting at most Max bytes; 0 for a null String.
UINTN NvdimmStrLen(const CHAR8 *String, UINTN Max);

/// Exact comparison; false when either string is null.
bool NvdimmStrEqual(const CHAR8 *A, const CHAR8 *B);

/// Comparison that ignores the case of A-Z; false when either is null.
bool NvdimmStrEqualNoCase(const CHAR8 *A, const CHAR8 *B);

/// Compares the Length bytes at A, ignoring case, with the whole string B.
bool NvdimmBytesEqualNoCase(const CHAR8 *A, UINTN Length, const CHAR8 *B);

/// Copies Source into Destination (Size bytes), cut to Size - 1 bytes and
/// always NUL-terminated. Nothing happens for a null Destination or Size 0.
void NvdimmStrCopy(CHAR8 *Destination, UINTN Size, const CHAR8 *Source);

/// Fills Length bytes at Buffer with zero.
void NvdimmZero(VOID *Buffer, UINTN Length);

/// Builds a NUL-terminated text in a caller's buffer. Output beyond the
/// buffer (Size - 1 characters) is dropped, so a message is cut, never
/// overflowed. The buffer is emptied when the builder is made.
class NvdimmMessage {
 public:
  NvdimmMessage(CHAR8 *Buffer, UINTN Size);
  NvdimmMessage(const NvdimmMessage &) = delete;
  NvdimmMessage &operator=(const NvdimmMessage &) = delete;

  /// Appends a NUL-terminated text; a null Text appends "(null)".
  NvdimmMessage &Add(const CHAR8 *Text);
  /// Appends at most Max bytes of Text, stopping at its NUL.
  NvdimmMessage &AddCut(const CHAR8 *Text, UINTN Max);
  /// Appends Value in decimal.
  NvdimmMessage &AddDecimal(UINT64 Value);
  /// Appends "0x" and Value in upper-case hexadecimal, at least 4 digits.
  NvdimmMessage &AddHex(UINT64 Value);
  /// Appends Text in single quotes, cut to 24 bytes so that the message
  /// around it stays readable.
  NvdimmMessage &AddQuoted(const CHAR8 *Text);

  /// Empties the text.
  void Clear();

  const CHAR8 *Text() const { return mBuffer; }
  UINTN Length() const { return mLength; }
  bool Empty() const { return mLength == 0; }

 private:
  void Put(CHAR8 Character);

  CHAR8 *mBuffer;
  UINTN mSize;
  UINTN mLength = 0;
};
