// JSON documents whose numbers keep the text they were written with, so that
// 64-bit values and spellings survive: scenario files, resource bodies and
// PATCH bodies are parsed this way.
//
// A parsed number stays a cJSON number (valuedouble set, so any reader of the
// document works) and also holds its source text in valuestring, which
// cJSON_Delete releases. The trace stores numbers as raw items holding their
// text; both forms count as exact numbers below.
#pragma once

#include <cJSON.h>

#include "uefi/UefiBaseType.h"

/// The deepest nesting of arrays and objects accepted; deeper documents are
/// refused before they are parsed, so that no walk over a document recurses
/// without bound.
constexpr UINTN EXACT_JSON_MAX_DEPTH = 64;

/// Room for the text of any exact number (cJSON reads at most 63 characters
/// of one number) and its NUL.
constexpr UINTN EXACT_JSON_NUMBER_SIZE = 64;

/// Parses Length bytes of Text as exactly one JSON value, with white space
/// around it. Returns a document the caller releases with cJSON_Delete, or
/// null with "line L, column C: <problem>" in Error (when Error is not null).
[[nodiscard]] cJSON *ExactJsonParse(const CHAR8 *Text, UINTN Length, CHAR8 *Error, UINTN ErrorSize);

/// Turns every number under Item, Item included, that holds its text into a
/// raw item of that text, so that cJSON's printers write it unchanged.
void ExactJsonNumbersToRaw(cJSON *Item);

/// TRUE for a number item, or a raw item holding number text.
bool ExactJsonIsNumber(const cJSON *Item);

/// Writes the exact text of a number item into Text: its source or raw
/// text, or for a number built in memory its value when that is an integer
/// of at most 63 bits. Returns false when there is no exact text.
[[nodiscard]] bool ExactJsonNumberText(const cJSON *Item, CHAR8 (&Text)[EXACT_JSON_NUMBER_SIZE]);

/// Reads a number item as an unsigned 64-bit integer. Any spelling of an
/// integral value counts ("12", "1.2e1"); false for a fraction, a negative
/// value or one above 2^64 - 1.
[[nodiscard]] bool ExactJsonNumberToUint(const cJSON *Item, UINT64 *Value);

/// Compares two number items by their exact decimal values ("10" equals
/// "1e1" and "10.0"); false when either has no exact text.
bool ExactJsonNumbersEqual(const cJSON *A, const cJSON *B);
