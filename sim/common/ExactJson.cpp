#include "sim/common/ExactJson.h"

#include "sim/common/SimMemory.h"
#include "sim/common/SimTextWriter.h"

namespace {

/// A number reduced to Digits x 10^Exponent, Digits without leading or
/// trailing zeros; zero has no digits.
struct DECIMAL_VALUE {
  bool Negative;
  CHAR8 Digits[EXACT_JSON_NUMBER_SIZE];
  UINTN Count;
  INT64 Exponent;
};

constexpr INT64 EXPONENT_LIMIT = 1000000000000000LL;

bool IsNumberByte(CHAR8 Byte) {
  return (Byte >= '0' && Byte <= '9') || Byte == '+' || Byte == '-' || Byte == 'e' || Byte == 'E' ||
         Byte == '.';
}

bool IsDigit(CHAR8 Byte) { return Byte >= '0' && Byte <= '9'; }

bool ParseDecimal(const CHAR8 *Text, DECIMAL_VALUE *Value) {
  SimZeroBytes(Value, sizeof(*Value));
  UINTN Index = 0;
  if (Text[Index] == '-') {
    Value->Negative = true;
    Index++;
  }
  bool SawDigit = false;
  bool InFraction = false;
  for (;; Index++) {
    CHAR8 Byte = Text[Index];
    if (Byte == '.' && !InFraction) {
      InFraction = true;
      continue;
    }
    if (!IsDigit(Byte)) {
      break;
    }
    SawDigit = true;
    if (Byte == '0' && Value->Count == 0) {
      // Leading zeros carry no value; fraction zeros still scale it.
    } else if (Value->Count < EXACT_JSON_NUMBER_SIZE) {
      Value->Digits[Value->Count++] = Byte;
    } else {
      return false;
    }
    if (InFraction) {
      Value->Exponent--;
    }
  }
  if (!SawDigit) {
    return false;
  }
  if (Text[Index] == 'e' || Text[Index] == 'E') {
    Index++;
    bool NegativeExponent = Text[Index] == '-';
    if (Text[Index] == '-' || Text[Index] == '+') {
      Index++;
    }
    if (!IsDigit(Text[Index])) {
      return false;
    }
    INT64 Exponent = 0;
    for (; IsDigit(Text[Index]); Index++) {
      if (Exponent < EXPONENT_LIMIT) {
        Exponent = Exponent * 10 + (Text[Index] - '0');
      }
    }
    Value->Exponent += NegativeExponent ? -Exponent : Exponent;
  }
  if (Text[Index] != '\0') {
    return false;
  }
  while (Value->Count > 0 && Value->Digits[Value->Count - 1] == '0') {
    Value->Count--;
    Value->Exponent++;
  }
  if (Value->Count == 0) {
    Value->Negative = false;
    Value->Exponent = 0;
  }
  return true;
}

bool ExactDecimal(const cJSON *Item, DECIMAL_VALUE *Value) {
  CHAR8 Text[EXACT_JSON_NUMBER_SIZE];
  return ExactJsonNumberText(Item, Text) && ParseDecimal(Text, Value);
}

/// Writes "line L, column C: Problem" for the byte at Offset.
void WritePositionError(const CHAR8 *Text, UINTN Offset, const CHAR8 *Problem, CHAR8 *Error,
                        UINTN ErrorSize) {
  if (Error == nullptr) {
    return;
  }
  UINTN Line = 1;
  UINTN Column = 1;
  for (UINTN Index = 0; Index < Offset; Index++) {
    if (Text[Index] == '\n') {
      Line++;
      Column = 1;
    } else {
      Column++;
    }
  }
  SimTextWriter Writer(Error, ErrorSize);
  Writer.Add("line ");
  Writer.AddUint(Line);
  Writer.Add(", column ");
  Writer.AddUint(Column);
  Writer.Add(": ");
  Writer.Add(Problem);
}

UINTN SkipByteOrderMark(const CHAR8 *Text, UINTN Length) {
  if (Length >= 3 && static_cast<UINT8>(Text[0]) == 0xEF && static_cast<UINT8>(Text[1]) == 0xBB &&
      static_cast<UINT8>(Text[2]) == 0xBF) {
    return 3;
  }
  return 0;
}

/// Walks the tokens of text that cJSON accepted: the n-th number token is
/// the n-th number of the parsed tree in document order.
class NumberTokens {
 public:
  NumberTokens(const CHAR8 *Text, UINTN Length)
      : mText(Text), mLength(Length), mOffset(SkipByteOrderMark(Text, Length)) {}

  bool Next(const CHAR8 **Start, UINTN *Length) {
    while (mOffset < mLength) {
      CHAR8 Byte = mText[mOffset];
      if (Byte == '"') {
        SkipString();
      } else if (Byte == '-' || IsDigit(Byte)) {
        UINTN First = mOffset;
        while (mOffset < mLength && IsNumberByte(mText[mOffset])) {
          mOffset++;
        }
        *Start = mText + First;
        *Length = mOffset - First;
        return true;
      } else {
        mOffset++;
      }
    }
    return false;
  }

  /// Offset of the first bracket nested deeper than Limit, or Length.
  UINTN FindTooDeep(UINTN Limit) {
    UINTN Depth = 0;
    while (mOffset < mLength) {
      CHAR8 Byte = mText[mOffset];
      if (Byte == '"') {
        SkipString();
        continue;
      }
      if (Byte == '[' || Byte == '{') {
        if (++Depth > Limit) {
          return mOffset;
        }
      } else if ((Byte == ']' || Byte == '}') && Depth > 0) {
        Depth--;
      }
      mOffset++;
    }
    return mLength;
  }

 private:
  void SkipString() {
    mOffset++;
    while (mOffset < mLength && mText[mOffset] != '"') {
      mOffset += mText[mOffset] == '\\' ? 2 : 1;
    }
    mOffset++;
  }

  const CHAR8 *mText;
  UINTN mLength;
  UINTN mOffset;
};

bool AnnotateNumbers(cJSON *Item, NumberTokens &Tokens) {
  for (; Item != nullptr; Item = Item->next) {
    if (cJSON_IsNumber(Item)) {
      const CHAR8 *Start = nullptr;
      UINTN Length = 0;
      if (!Tokens.Next(&Start, &Length)) {
        return false;
      }
      Item->valuestring = SimDuplicateBytes(Start, Length);
      if (Item->valuestring == nullptr) {
        return false;
      }
    }
    if ((cJSON_IsArray(Item) || cJSON_IsObject(Item)) && !AnnotateNumbers(Item->child, Tokens)) {
      return false;
    }
  }
  return true;
}

}  // namespace

cJSON *ExactJsonParse(const CHAR8 *Text, UINTN Length, CHAR8 *Error, UINTN ErrorSize) {
  if (Text == nullptr || Length == 0) {
    WritePositionError("", 0, "no JSON value", Error, ErrorSize);
    return nullptr;
  }
  UINTN TooDeep = NumberTokens(Text, Length).FindTooDeep(EXACT_JSON_MAX_DEPTH);
  if (TooDeep < Length) {
    WritePositionError(Text, TooDeep, "nested deeper than 64 levels", Error, ErrorSize);
    return nullptr;
  }
  const CHAR8 *End = nullptr;
  cJSON *Root = cJSON_ParseWithLengthOpts(Text, Length, &End, false);
  if (Root == nullptr) {
    UINTN Offset = End != nullptr ? static_cast<UINTN>(End - Text) : 0;
    WritePositionError(Text, Offset, "not valid JSON", Error, ErrorSize);
    return nullptr;
  }
  // cJSON stops after the first value; anything but white space (which for
  // cJSON is every byte up to 0x20) may follow it.
  UINTN Offset = static_cast<UINTN>(End - Text);
  while (Offset < Length && static_cast<UINT8>(Text[Offset]) <= 0x20) {
    Offset++;
  }
  if (Offset < Length) {
    cJSON_Delete(Root);
    WritePositionError(Text, Offset, "unexpected text after the JSON value", Error, ErrorSize);
    return nullptr;
  }
  NumberTokens Tokens(Text, Length);
  if (!AnnotateNumbers(Root, Tokens)) {
    cJSON_Delete(Root);
    WritePositionError(Text, 0, "out of memory", Error, ErrorSize);
    return nullptr;
  }
  return Root;
}

void ExactJsonNumbersToRaw(cJSON *Item) {
  if (Item == nullptr) {
    return;
  }
  if (cJSON_IsNumber(Item) && Item->valuestring != nullptr) {
    Item->type = (Item->type & ~0xFF) | cJSON_Raw;
  }
  for (cJSON *Child = Item->child; Child != nullptr; Child = Child->next) {
    ExactJsonNumbersToRaw(Child);
  }
}

bool ExactJsonIsNumber(const cJSON *Item) {
  if (cJSON_IsNumber(Item)) {
    return true;
  }
  return cJSON_IsRaw(Item) && Item->valuestring != nullptr &&
         (Item->valuestring[0] == '-' || IsDigit(Item->valuestring[0]));
}

bool ExactJsonNumberText(const cJSON *Item, CHAR8 (&Text)[EXACT_JSON_NUMBER_SIZE]) {
  if (!ExactJsonIsNumber(Item)) {
    return false;
  }
  SimTextWriter Writer(Text, EXACT_JSON_NUMBER_SIZE);
  if (Item->valuestring != nullptr) {
    Writer.Add(Item->valuestring);
    return !Writer.Truncated();
  }
  // A number built in memory: exact only while it is an integer that a
  // double and an INT64 both hold.
  double Number = Item->valuedouble;
  if (!(Number > -9.2e18 && Number < 9.2e18)) {
    return false;
  }
  auto Integer = static_cast<INT64>(Number);
  if (static_cast<double>(Integer) != Number) {
    return false;
  }
  if (Integer < 0) {
    Writer.Put('-');
  }
  Writer.AddUint(Integer < 0 ? 0 - static_cast<UINT64>(Integer) : static_cast<UINT64>(Integer));
  return true;
}

bool ExactJsonNumberToUint(const cJSON *Item, UINT64 *Value) {
  DECIMAL_VALUE Decimal;
  if (!ExactDecimal(Item, &Decimal) || Decimal.Negative || Decimal.Exponent < 0 ||
      Decimal.Count + static_cast<UINT64>(Decimal.Exponent) > 20) {
    return false;
  }
  UINT64 Result = 0;
  for (UINTN Index = 0; Index < Decimal.Count + static_cast<UINTN>(Decimal.Exponent); Index++) {
    UINT64 Digit = Index < Decimal.Count ? static_cast<UINT64>(Decimal.Digits[Index] - '0') : 0;
    if (Result > (static_cast<UINT64>(-1) - Digit) / 10) {
      return false;
    }
    Result = Result * 10 + Digit;
  }
  *Value = Result;
  return true;
}

bool ExactJsonNumbersEqual(const cJSON *A, const cJSON *B) {
  DECIMAL_VALUE Left;
  DECIMAL_VALUE Right;
  if (!ExactDecimal(A, &Left) || !ExactDecimal(B, &Right)) {
    return false;
  }
  if (Left.Negative != Right.Negative || Left.Count != Right.Count ||
      Left.Exponent != Right.Exponent) {
    return false;
  }
  for (UINTN Index = 0; Index < Left.Count; Index++) {
    if (Left.Digits[Index] != Right.Digits[Index]) {
      return false;
    }
  }
  return true;
}
