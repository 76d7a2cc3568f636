#include "sim/trace/TraceReader.h"

#include "sim/common/ExactJson.h"
#include "sim/common/SimMemory.h"

namespace {

/// The byte an escape \u00XX at Line[Index] stands for when XX is 80 to FF;
/// -1 for any other text.
int HighByteEscape(const CHAR8 *Line, UINTN Length, UINTN Index) {
  if (Index + 6 > Length || Line[Index + 1] != 'u' || Line[Index + 2] != '0' ||
      Line[Index + 3] != '0') {
    return -1;
  }
  int High = SimHexDigitValue(Line[Index + 4]);
  int Low = SimHexDigitValue(Line[Index + 5]);
  if (High < 8 || Low < 0) {
    return -1;
  }
  return High * 16 + Low;
}

}  // namespace

cJSON *ParseTraceLine(const CHAR8 *Line, UINTN Length) {
  // The JSON library keeps bytes of 0x80 and above in a string as they
  // stand, so the escapes are undone in the text before it parses it. The
  // text never grows.
  SimBlock Text(static_cast<CHAR8 *>(cJSON_malloc(Length + 1)));
  if (!Text) {
    return nullptr;
  }
  CHAR8 *Out = Text.Get();
  UINTN Written = 0;
  bool InString = false;
  for (UINTN Index = 0; Index < Length; Index++) {
    CHAR8 Byte = Line[Index];
    if (!InString) {
      InString = Byte == '"';
      Out[Written++] = Byte;
      continue;
    }
    if (Byte == '"') {
      InString = false;
      Out[Written++] = Byte;
    } else if (Byte == '\\' && Index + 1 < Length) {
      int Raw = HighByteEscape(Line, Length, Index);
      if (Raw >= 0) {
        Out[Written++] = static_cast<CHAR8>(Raw);
        Index += 5;
      } else {
        // Any other escape stays as it is, its second character included,
        // so that an escaped quotation mark does not end the string.
        Out[Written++] = Byte;
        Out[Written++] = Line[++Index];
      }
    } else {
      Out[Written++] = Byte;
    }
  }
  Out[Written] = '\0';
  return ExactJsonParse(Out, Written, nullptr, 0);
}
