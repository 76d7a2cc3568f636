#include "core/JsonDepth.h"

#include "core/JsonScan.h"

namespace {

const CHAR8 *mTooDeep = nullptr;

}  // namespace

const CHAR8 *JsonFindTooDeep(const CHAR8 *Text, UINTN MaxDepth) {
  const CHAR8 *Cursor = Text != nullptr ? JsonSkipSpace(Text) : nullptr;
  if (Cursor == nullptr || (*Cursor != '[' && *Cursor != '{')) {
    return nullptr;
  }
  UINTN Depth = 0;
  for (; *Cursor != '\0'; Cursor++) {
    if (*Cursor == '"') {
      Cursor = JsonSkipString(Cursor);
      if (Cursor == nullptr) {
        return nullptr;
      }
      Cursor--;  // the closing quotation mark; the loop steps past it
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
