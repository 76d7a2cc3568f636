#include "core/JsonDepth.h"

namespace {

const CHAR8 *mTooDeep = nullptr;

}  // namespace

const CHAR8 *JsonFindTooDeep(const CHAR8 *Text, UINTN MaxDepth) {
  if (Text == nullptr) {
    return nullptr;
  }
  const CHAR8 *Cursor = Text;
  // The parser skips every byte up to 0x20 before a value.
  while (*Cursor != '\0' && static_cast<UINT8>(*Cursor) <= 0x20) {
    Cursor++;
  }
  if (*Cursor != '[' && *Cursor != '{') {
    return nullptr;
  }
  UINTN Depth = 0;
  bool InString = false;
  for (; *Cursor != '\0'; Cursor++) {
    CHAR8 Byte = *Cursor;
    if (InString) {
      if (Byte == '\\' && Cursor[1] != '\0') {
        Cursor++;
      } else if (Byte == '"') {
        InString = false;
      }
    } else if (Byte == '"') {
      InString = true;
    } else if (Byte == '[' || Byte == '{') {
      if (++Depth > MaxDepth) {
        return Cursor;
      }
    } else if (Byte == ']' || Byte == '}') {
      if (--Depth == 0) {
        return nullptr;
      }
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
