// The integer value of a JSON number as this driver reads parameters: the
// number's own text, as a signed 64-bit integer taken modulo 2^64, and 0 for
// a number written with a fraction or an exponent part. The JSON library
// keeps only a double, so the value is read from the document's text.
#pragma once

#include <cJSON.h>

#include "uefi/UefiBaseType.h"

/// Value of a number's text (Length characters as the JSON library accepted
/// them). FALSE when the text is not a number.
bool JsonNumberTextValue(const CHAR8 *Text, UINTN Length, UINT64 *Value);

/// Finds the text of Member, a direct member of the object Document parsed
/// from Body (NUL-terminated, the same text the library parsed). FALSE when
/// Member is not a member of Document or Body does not match it.
bool FindMemberText(const CHAR8 *Body, const cJSON *Document, const cJSON *Member,
                    const CHAR8 **Text, UINTN *Length);

/// The integer value of Member, a number member of Document parsed from
/// Body. FALSE when Member is not a JSON number there.
bool JsonIntegerValue(const CHAR8 *Body, const cJSON *Document, const cJSON *Member, UINT64 *Value);
