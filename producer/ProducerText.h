// The little text work the REST producer does: building its URLs and header
// values within fixed buffers, and reading its configuration text.
#pragma once

#include "uefi/Http.h"

/// Length of Text up to its NUL or Size bytes, whichever comes first.
UINTN BoundedLength(const CHAR8 *Text, UINTN Size);

/// Appends to a fixed ASCII buffer, always NUL-terminated; text that does
/// not fit is cut and marks the builder as overflowed.
class TEXT_BUILDER {
 public:
  TEXT_BUILDER(CHAR8 *Buffer, UINTN Size) : mBuffer(Buffer), mSize(Size) {
    if (Size != 0) {
      Buffer[0] = '\0';
    }
  }

  void Add(const CHAR8 *Text);
  /// At most Size bytes of Text, stopping at its NUL.
  void AddBounded(const CHAR8 *Text, UINTN Size);
  void AddDecimal(UINT64 Value);
  /// The Base64 encoding (RFC 4648, padded) of Length bytes.
  void AddBase64(const CHAR8 *Bytes, UINTN Length);

  [[nodiscard]] UINTN Length() const { return mLength; }
  [[nodiscard]] bool Overflowed() const { return mOverflowed; }

 private:
  void Put(CHAR8 Byte);

  CHAR8 *mBuffer;
  UINTN mSize;
  UINTN mLength = 0;
  bool mOverflowed = false;
};

/// Reads "name=value" words of a configuration text.
class TEXT_READER {
 public:
  TEXT_READER(const CHAR8 *Text, UINTN Length) : mText(Text), mLength(Length) {}

  /// Skips blanks; FALSE at the end of the text.
  bool SkipBlanks();
  /// Consumes Word when the text goes on with it exactly.
  bool Take(const CHAR8 *Word);
  /// A dotted IPv4 address, four decimal parts of at most 255.
  bool ReadAddress(EFI_IPv4_ADDRESS *Address);
  /// A port, 1 to 65535.
  bool ReadPort(UINT16 *Port);
  /// A prefix length, 0 to 32.
  bool ReadPrefix(UINT8 *Bits);
  /// A time in milliseconds, 1 to 600000.
  bool ReadMilliseconds(UINT32 *Milliseconds);
  /// TRUE at a blank or the end.
  [[nodiscard]] bool AtBlankOrEnd() const;

 private:
  bool ReadNumber(UINT32 Limit, UINTN MaxDigits, UINT32 *Value);

  const CHAR8 *mText;
  UINTN mLength;
  UINTN mAt = 0;
};
