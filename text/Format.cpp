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
  const CHAR8 *Cursor = Format;
  while (*Cursor != '\0' && !Writer.Full()) {
    if (*Cursor == '\n' || *Cursor == '\r') {
      // A lone CR stays; LF, CR LF and LF CR all become one CR LF.
      CHAR8 First = *Cursor++;
      if (First == '\r' && *Cursor != '\n') {
        Writer.Put('\r');
        continue;
      }
      if ((First == '\n' && *Cursor == '\r') || (First == '\r' && *Cursor == '\n')) {
        Cursor++;
      }
      Writer.Put('\r');
      Writer.Put('\n');
      continue;
    }
    if (*Cursor != '%') {
      Writer.Put(*Cursor++);
      continue;
    }
    // A conversion: optional zero flag and width, then the type.
    const CHAR8 *Start = Cursor++;
    UINTN Width = 0;
    while (*Cursor >= '0' && *Cursor <= '9' && Width < 64) {
      Width = Width * 10 + static_cast<UINTN>(*Cursor++ - '0');
    }
    switch (*Cursor) {
      case 'a': {
        const CHAR8 *String = va_arg(Arguments, const CHAR8 *);
        Writer.PutString(String != nullptr ? String : "<null string>");
        Cursor++;
        break;
      }
      case 'd': {
        INT32 Value = va_arg(Arguments, INT32);
        auto Magnitude = static_cast<UINT64>(Value < 0 ? -static_cast<INT64>(Value) : Value);
        if (Value < 0) {
          Writer.Put('-');
        }
        PutUnsigned(Writer, Magnitude, 10, Width);
        Cursor++;
        break;
      }
      case 'X': {
        UINT32 Value = va_arg(Arguments, UINT32);
        PutUnsigned(Writer, Value, 16, Width);
        Cursor++;
        break;
      }
      case '%':
        Writer.Put('%');
        Cursor++;
        break;
      default:
        // Not a conversion this driver uses: the text is copied as it stands.
        for (; Start != Cursor; Start++) {
          Writer.Put(*Start);
        }
        break;
    }
  }
  return Writer.Finish();
}

UINTN BoundedFormat(CHAR8 *Buffer, UINTN Size, const CHAR8 *Format, ...) {
  va_list Arguments;
  va_start(Arguments, Format);
  UINTN Written = BoundedFormatV(Buffer, Size, Format, Arguments);
  va_end(Arguments);
  return Written;
}
