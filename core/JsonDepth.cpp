#include "core/JsonDepth.h"

namespace {

const CHAR8 *mTooDeep = nullptr;

/// The closing quotation mark of the string whose opening one is at Quote,
/// or null when the text ends inside the string. Brackets in it do not
/// count; a backslash escapes the byte after it, as in the parser.
const CHAR8 *StringEnd(const CHAR8 *Quote) {
  for (const CHAR8 *Cursor = Quote + 1;; Cursor++) {
    CHAR8 Byte = *Cursor;
    // Bytes above the backslash (letters, most text) pass with one test.
    if (static_cast<UINT8>(Byte) > '\\') {
      continue;
    }
    if (Byte == '"') {
      return Cursor;
    }
    if (Byte == '\\') {
      Cursor++;  // the escaped byte, whatever it is
    }
    if (*Cursor == '\0') {
      return nullptr;
    }
  }
}

/// The first byte of Text that is not white space as the parser sees it:
/// every byte up to 0x20.
const CHAR8 *SkipWhiteSpace(const CHAR8 *Text) {
  while (*Text != '\0' && static_cast<UINT8>(*Text) <= 0x20) {
    Text++;
  }
  return Text;
}

}  // namespace

const CHAR8 *JsonFindTooDeep(const CHAR8 *Text, UINTN MaxDepth) {
  const CHAR8 *Cursor = Text != nullptr ? SkipWhiteSpace(Text) : nullptr;
  if (Cursor == nullptr || (*Cursor != '[' && *Cursor != '{')) {
    return nullptr;
  }
  UINTN Depth = 0;
  for (; *Cursor != '\0'; Cursor++) {
    if (*Cursor == '"') {
      Cursor = StringEnd(Cursor);
      if (Cursor == nullptr) {
        return nullptr;
      }
      continue;
    }
    // Setting bit 5 maps '[' to '{' and ']' to '}'.
    CHAR8 Bracket = static_cast<CHAR8>(*Cursor | 0x20);
    if (Bracket == '{' && ++Depth > MaxDepth) {
      return Cursor;
    }
    if (Bracket == '}' && --Depth == 0) {
      return nullptr;
    }
  }
  return nullptr;
}

cJSON *JsonParseWithinDepth(const CHAR8 *Text) {
  mTooDeep = JsonFindTooDeep(Text, JSON_MAX_DEPTH);
  return mTooDeep != nullptr ? nullptr : cJSON_Parse(Text);
}

const CHAR8 *JsonParseErrorPosition() {
  return mTooDeep != nullptr ? mTooDeep : cJSON_GetErrorPtr();
}
