// The one scanner of raw JSON text in the driver, for the few questions the
// JSON library's tree cannot answer (where a member's text is). It reads
// text the way the library's parser does and neither allocates nor recurses.
#pragma once

#include "uefi/UefiBaseType.h"

/// TRUE for a byte the parser skips as white space: every byte from 0x01 to
/// 0x20 (the NUL ends the text).
inline bool JsonIsSpace(CHAR8 Byte) { return static_cast<UINT8>(Byte) <= 0x20 && Byte != '\0'; }

/// The first byte at or after Cursor that is not white space.
inline const CHAR8 *JsonSkipSpace(const CHAR8 *Cursor) {
  while (JsonIsSpace(*Cursor)) {
    Cursor++;
  }
  return Cursor;
}

/// The byte after the string whose opening quotation mark is at Quote, or
/// null when the text ends inside it. A backslash escapes the byte after it,
/// as in the parser.
inline const CHAR8 *JsonSkipString(const CHAR8 *Quote) {
  for (const CHAR8 *Cursor = Quote + 1;; Cursor++) {
    CHAR8 Byte = *Cursor;
    // Bytes above the backslash (letters, most text) end nothing: one test
    // passes the bulk of a text.
    if (static_cast<UINT8>(Byte) > '\\') {
      continue;
    }
    if (Byte == '"') {
      return Cursor + 1;
    }
    if (Byte == '\\') {
      Cursor++;
      Byte = *Cursor;
    }
    if (Byte == '\0') {
      return nullptr;
    }
  }
}
