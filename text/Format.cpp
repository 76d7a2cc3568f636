#include "text/TextHelpers.h"

namespace {

/// Writes characters into a buffer, cutting everything past Size - 1.
class BoundedWriter {
 public:
  BoundedWriter(CHAR8 *Buffer, UINTN Size) : mBuffer(Buffer), mCapacity(Size - 1) {}

  void Put(CHAR8 Char) {
    if (mLength < mCapacity) {
      mBuffer[mLength++] = Char;
    }
  }

  void PutString(const CHAR8 *String) {
    for (; *String != '\0' && mLength < mCapacity; String++) {
      mBuffer[mLength++] = *String;
    }
  }

  bool Full() const { return mLength >= mCapacity; }

  UINTN Finish() {
    mBuffer[mLength] = '\0';
    return mLength;
  }

 private:
  CHAR8 *mBuffer;
  UINTN mCapacity;
  UINTN mLength = 0;
};

void PutUnsigned(BoundedWriter &Writer, UINT64 Value, UINT32 Base, UINTN Width) {
  CHAR8 Digits[24];
  UINTN Count = 0;
  do {
    UINT32 Digit = static_cast<UINT32>(Value % Base);
    Digits[Count++] = static_cast<CHAR8>(Digit < 10 ? '0' + Digit : 'A' + Digit - 10);
    Value /= Base;
  } while (Value != 0);
  for (UINTN Pad = Count; Pad < Width; Pad++) {
    Writer.Put('0');
  }
  while (Count > 0) {
    Writer.Put(Digits[--Count]);
  }
}

/// The caller's arguments, copied so that the conversions can read them in
/// turn from a helper.
class ArgumentList {
 public:
  explicit ArgumentList(va_list Arguments) { va_copy(mList, Arguments); }
  ~ArgumentList() { va_end(mList); }
  ArgumentList(const ArgumentList &) = delete;
  ArgumentList &operator=(const ArgumentList &) = delete;

  const CHAR8 *String() { return va_arg(mList, const CHAR8 *); }
  INT32 Signed() { return va_arg(mList, INT32); }
  UINT32 Unsigned() { return va_arg(mList, UINT32); }

 private:
  va_list mList;
};

/// Writes the line break at Cursor (a CR or an LF) and returns what follows
/// it: a lone CR stays; LF, CR LF and LF CR all become one CR LF.
const CHAR8 *PutLineBreak(BoundedWriter &Writer, const CHAR8 *Cursor) {
  CHAR8 First = *Cursor++;
  if (First == '\r' && *Cursor != '\n') {
    Writer.Put('\r');
    return Cursor;
  }
  if ((First == '\n' && *Cursor == '\r') || (First == '\r' && *Cursor == '\n')) {
    Cursor++;
  }
  Writer.Put('\r');
  Writer.Put('\n');
  return Cursor;
}

/// Writes the conversion at Cursor (a '%': width digits, then the type) and
/// returns what follows it.
const CHAR8 *PutConversion(BoundedWriter &Writer, const CHAR8 *Cursor, ArgumentList &Arguments) {
  const CHAR8 *Start = Cursor++;
  UINTN Width = 0;
  while (*Cursor >= '0' && *Cursor <= '9' && Width < 64) {
    Width = Width * 10 + static_cast<UINTN>(*Cursor++ - '0');
  }
  switch (*Cursor) {
    case 'a': {
      const CHAR8 *String = Arguments.String();
      Writer.PutString(String != nullptr ? String : "<null string>");
      return Cursor + 1;
    }
    case 'd': {
      INT32 Value = Arguments.Signed();
      auto Magnitude = static_cast<UINT64>(Value < 0 ? -static_cast<INT64>(Value) : Value);
      if (Value < 0) {
        Writer.Put('-');
      }
      PutUnsigned(Writer, Magnitude, 10, Width);
      return Cursor + 1;
    }
    case 'X':
      PutUnsigned(Writer, Arguments.Unsigned(), 16, Width);
      return Cursor + 1;
    case '%':
      Writer.Put('%');
      return Cursor + 1;
    default:
      // Not a conversion this driver uses: the text is copied as it stands.
      for (; Start != Cursor; Start++) {
        Writer.Put(*Start);
      }
      return Cursor;
  }
}

bool FormatWithinLimit(const CHAR8 *Format) {
  for (UINTN Index = 0; Index <= TEXT_MAX_LENGTH; Index++) {
    if (Format[Index] == '\0') {
      return true;
    }
  }
  return false;
}

}  // namespace

UINTN BoundedFormatV(CHAR8 *Buffer, UINTN Size, const CHAR8 *Format, va_list Arguments) {
  if (Buffer == nullptr || Format == nullptr || Size == 0 || Size > TEXT_MAX_LENGTH ||
      !FormatWithinLimit(Format)) {
    return 0;
  }
  BoundedWriter Writer(Buffer, Size);
  ArgumentList List(Arguments);
  const CHAR8 *Cursor = Format;
  while (*Cursor != '\0' && !Writer.Full()) {
    if (*Cursor == '\n' || *Cursor == '\r') {
      Cursor = PutLineBreak(Writer, Cursor);
    } else if (*Cursor == '%') {
      Cursor = PutConversion(Writer, Cursor, List);
    } else {
      Writer.Put(*Cursor++);
    }
  }
  return Writer.Finish();
}

// The text helpers keep the C variadic interface of UEFI's print functions;
// only the conversions the format names read arguments, and every format the
// driver passes is a literal.
// NOLINTNEXTLINE(cert-dcl50-cpp)
UINTN BoundedFormat(CHAR8 *Buffer, UINTN Size, const CHAR8 *Format, ...) {
  va_list Arguments;
  va_start(Arguments, Format);
  UINTN Written = BoundedFormatV(Buffer, Size, Format, Arguments);
  va_end(Arguments);
  return Written;
}
