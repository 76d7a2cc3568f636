#include "sim/common/SimTextWriter.h"

namespace {

constexpr CHAR8 mHexDigits[] = "0123456789ABCDEF";
constexpr CHAR8 mLowerHexDigits[] = "0123456789abcdef";

}  // namespace

SimTextWriter::SimTextWriter(CHAR8 *Buffer, UINTN Size) : mBuffer(Buffer), mSize(Size) {
  if (mSize > 0) {
    mBuffer[0] = '\0';
  }
}

SimTextWriter::SimTextWriter(const TraceSink &Sink)
    : mBuffer(mChunk), mSize(CHUNK_SIZE), mSink(&Sink) {}

void SimTextWriter::Put(CHAR8 Byte) {
  if (mSink != nullptr) {
    if (mUsed == mSize) {
      Flush();
    }
    mBuffer[mUsed++] = Byte;
    mTotal++;
    return;
  }
  // A fixed buffer keeps room for its NUL.
  if (mUsed + 1 >= mSize) {
    mTruncated = true;
    return;
  }
  mBuffer[mUsed++] = Byte;
  mBuffer[mUsed] = '\0';
  mTotal++;
}

void SimTextWriter::Add(const CHAR8 *Text) {
  while (*Text != '\0') {
    Put(*Text++);
  }
}

void SimTextWriter::AddBytes(const CHAR8 *Bytes, UINTN Length) {
  for (UINTN Index = 0; Index < Length; Index++) {
    Put(Bytes[Index]);
  }
}

void SimTextWriter::AddUint(UINT64 Value) {
  CHAR8 Digits[20];
  UINTN Count = 0;
  do {
    Digits[Count++] = static_cast<CHAR8>('0' + Value % 10);
    Value /= 10;
  } while (Value != 0);
  while (Count > 0) {
    Put(Digits[--Count]);
  }
}

void SimTextWriter::AddHex(UINT64 Value) {
  Add("0x");
  CHAR8 Digits[16];
  UINTN Count = 0;
  do {
    Digits[Count++] = mHexDigits[Value & 0xF];
    Value >>= 4;
  } while (Value != 0);
  while (Count > 0) {
    Put(Digits[--Count]);
  }
}

void SimTextWriter::AddOneLine(const CHAR8 *Bytes, UINTN Length) {
  for (UINTN Index = 0; Index < Length; Index++) {
    auto Byte = static_cast<UINT8>(Bytes[Index]);
    if (Byte == '\n') {
      Add("\\n");
    } else if (Byte == '\r') {
      Add("\\r");
    } else if (Byte == '\t') {
      Add("\\t");
    } else if (Byte < 0x20 || Byte == 0x7F) {
      Add("\\x");
      Put(mHexDigits[Byte >> 4]);
      Put(mHexDigits[Byte & 0xF]);
    } else {
      Put(static_cast<CHAR8>(Byte));
    }
  }
}

void SimTextWriter::AddUnicodeEscape(UINT16 Unit) {
  Add("\\u");
  for (int Shift = 12; Shift >= 0; Shift -= 4) {
    Put(mLowerHexDigits[(Unit >> Shift) & 0xF]);
  }
}

void SimTextWriter::AddJsonEscaped(const CHAR8 *Bytes, UINTN Length, bool EscapeHigh) {
  for (UINTN Index = 0; Index < Length; Index++) {
    auto Byte = static_cast<UINT8>(Bytes[Index]);
    switch (Byte) {
      case '"':
        Add("\\\"");
        continue;
      case '\\':
        Add("\\\\");
        continue;
      case '\b':
        Add("\\b");
        continue;
      case '\f':
        Add("\\f");
        continue;
      case '\n':
        Add("\\n");
        continue;
      case '\r':
        Add("\\r");
        continue;
      case '\t':
        Add("\\t");
        continue;
      default:
        break;
    }
    if (Byte < 0x20 || (EscapeHigh && Byte >= 0x80)) {
      Add("\\u00");
      Put(mLowerHexDigits[Byte >> 4]);
      Put(mLowerHexDigits[Byte & 0xF]);
    } else {
      Put(static_cast<CHAR8>(Byte));
    }
  }
}

void SimTextWriter::Flush() {
  if (mSink == nullptr || mUsed == 0) {
    return;
  }
  if (mSink->Write != nullptr) {
    mSink->Write(mSink->Context, mBuffer, mUsed);
  }
  mUsed = 0;
}
