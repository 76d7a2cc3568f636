#include "actions/JsonNumber.h"

#include "core/JsonScan.h"

namespace {

bool IsNumberChar(CHAR8 Char) {
  return (Char >= '0' && Char <= '9') || Char == '+' || Char == '-' || Char == 'e' || Char == 'E' ||
         Char == '.';
}

/// Steps over one value of any kind, without recursion; null if unended.
const CHAR8 *SkipValue(const CHAR8 *Cursor) {
  if (*Cursor == '"') {
    return JsonSkipString(Cursor);
  }
  if (*Cursor != '{' && *Cursor != '[') {
    while (*Cursor != '\0' && !JsonIsSpace(*Cursor) && *Cursor != ',' && *Cursor != '}' &&
           *Cursor != ']') {
      Cursor++;
    }
    return Cursor;
  }
  UINTN Depth = 0;
  for (;; Cursor++) {
    CHAR8 Char = *Cursor;
    if (Char == '"') {
      Cursor = JsonSkipString(Cursor);
      if (Cursor == nullptr) {
        return nullptr;
      }
      Cursor--;
      continue;
    }
    // Setting bit 5 maps '[' to '{' and ']' to '}'.
    CHAR8 Bracket = static_cast<CHAR8>(Char | 0x20);
    if (Bracket == '{') {
      Depth++;
    } else if (Bracket == '}') {
      if (--Depth == 0) {
        return Cursor + 1;
      }
    } else if (Char == '\0') {
      return nullptr;
    }
  }
}

}  // namespace

bool JsonNumberTextValue(const CHAR8 *Text, UINTN Length, UINT64 *Value) {
  UINTN Index = 0;
  bool Negative = false;
  if (Index < Length && Text[Index] == '-') {
    Negative = true;
    Index++;
  }
  if (Index == Length) {
    return false;
  }
  UINT64 Magnitude = 0;
  for (; Index < Length; Index++) {
    CHAR8 Char = Text[Index];
    if (Char == '.' || Char == 'e' || Char == 'E') {
      *Value = 0;
      return true;
    }
    if (Char < '0' || Char > '9') {
      return false;
    }
    // Integer digits beyond 64 bits wrap: the value is taken modulo 2^64.
    Magnitude = Magnitude * 10 + static_cast<UINT64>(Char - '0');
  }
  *Value = Negative ? (~Magnitude + 1) : Magnitude;
  return true;
}

bool FindMemberText(const CHAR8 *Body, const cJSON *Document, const cJSON *Member,
                    const CHAR8 **Text, UINTN *Length) {
  if (Body == nullptr || !cJSON_IsObject(Document) || Member == nullptr) {
    return false;
  }
  UINTN Position = 0;
  const cJSON *Child = Document->child;
  while (Child != nullptr && Child != Member) {
    Child = Child->next;
    Position++;
  }
  if (Child == nullptr) {
    return false;
  }

  const CHAR8 *Cursor = Body;
  // The library skips a UTF-8 byte order mark before the document.
  if (static_cast<UINT8>(Cursor[0]) == 0xEF && static_cast<UINT8>(Cursor[1]) == 0xBB &&
      static_cast<UINT8>(Cursor[2]) == 0xBF) {
    Cursor += 3;
  }
  Cursor = JsonSkipSpace(Cursor);
  if (*Cursor != '{') {
    return false;
  }
  Cursor++;
  for (UINTN Index = 0;; Index++) {
    Cursor = JsonSkipSpace(Cursor);
    if (*Cursor != '"') {
      return false;
    }
    Cursor = JsonSkipString(Cursor);
    if (Cursor == nullptr) {
      return false;
    }
    Cursor = JsonSkipSpace(Cursor);
    if (*Cursor != ':') {
      return false;
    }
    Cursor = JsonSkipSpace(Cursor + 1);
    const CHAR8 *End = SkipValue(Cursor);
    if (End == nullptr) {
      return false;
    }
    if (Index == Position) {
      *Text = Cursor;
      *Length = static_cast<UINTN>(End - Cursor);
      return true;
    }
    Cursor = JsonSkipSpace(End);
    if (*Cursor != ',') {
      return false;
    }
    Cursor++;
  }
}

bool JsonIntegerValue(const CHAR8 *Body, const cJSON *Document, const cJSON *Member,
                      UINT64 *Value) {
  if (!cJSON_IsNumber(Member)) {
    return false;
  }
  const CHAR8 *Text = nullptr;
  UINTN Length = 0;
  if (!FindMemberText(Body, Document, Member, &Text, &Length)) {
    return false;
  }
  UINTN NumberLength = 0;
  while (NumberLength < Length && IsNumberChar(Text[NumberLength])) {
    NumberLength++;
  }
  return JsonNumberTextValue(Text, NumberLength, Value);
}
