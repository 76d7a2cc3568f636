// Fuzz target of the JSON number rule (actions/JsonNumber): any body the
// JSON library accepts, every member of it. For each direct member the text
// found must be that member's own value (it parses alone to an equal value),
// a number member's integer value must follow the rule (digits modulo 2^64,
// 0 with a fraction or an exponent) and agree with the library's double
// wherever a double is exact, and nothing that is not a direct number member
// has a value.
#include <cJSON.h>

#include <cmath>
#include <string>

#include "actions/JsonNumber.h"
#include "fuzz/FuzzCheck.h"

namespace {

bool IsNumberChar(char Char) {
  return (Char >= '0' && Char <= '9') || Char == '-' || Char == '+' || Char == '.' || Char == 'e' ||
         Char == 'E';
}

/// The number rule on the characters the library read as the number.
bool ReferenceValue(const std::string &Text, uint64_t *Value, bool *Written) {
  size_t Index = Text.empty() || Text[0] != '-' ? 0 : 1;
  bool Negative = Index == 1;
  if (Index == Text.size()) {
    return false;
  }
  uint64_t Magnitude = 0;
  for (; Index < Text.size(); Index++) {
    char Char = Text[Index];
    if (Char == '.' || Char == 'e' || Char == 'E') {
      *Value = 0;
      *Written = true;
      return true;
    }
    if (Char < '0' || Char > '9') {
      return false;
    }
    Magnitude = Magnitude * 10 + static_cast<uint64_t>(Char - '0');
  }
  *Value = Negative ? 0 - Magnitude : Magnitude;
  *Written = false;
  return true;
}

void CheckMember(const std::string &Body, const cJSON *Document, const cJSON *Member) {
  const CHAR8 *Text = nullptr;
  UINTN Length = 0;
  FUZZ_CHECK(FindMemberText(Body.c_str(), Document, Member, &Text, &Length),
             "member \"%s\" not found in its own body", Member->string);
  FUZZ_CHECK(Text >= Body.c_str() && Text + Length <= Body.c_str() + Body.size(),
             "member text outside the body");
  // Compared as printed: the library's own comparison fails for objects
  // with a member name given twice and for infinite numbers.
  cJSON *Alone = cJSON_ParseWithLength(Text, Length);
  char *AlonePrinted = Alone != nullptr ? cJSON_PrintUnformatted(Alone) : nullptr;
  char *MemberPrinted = cJSON_PrintUnformatted(Member);
  bool Same = AlonePrinted != nullptr && MemberPrinted != nullptr &&
              std::string(AlonePrinted) == MemberPrinted;
  cJSON_free(AlonePrinted);
  cJSON_free(MemberPrinted);
  cJSON_Delete(Alone);
  FUZZ_CHECK(Same, "the text found for \"%s\" is not its value: %.*s", Member->string,
             static_cast<int>(Length), Text);

  UINT64 Value = 0;
  bool Found = JsonIntegerValue(Body.c_str(), Document, Member, &Value);
  if (!cJSON_IsNumber(Member)) {
    FUZZ_CHECK(!Found, "member \"%s\" is not a number but has a value", Member->string);
    return;
  }
  std::string Number;
  for (UINTN Index = 0; Index < Length && IsNumberChar(Text[Index]); Index++) {
    Number += Text[Index];
  }
  uint64_t Expected = 0;
  bool Written = false;
  bool Valid = ReferenceValue(Number, &Expected, &Written);
  FUZZ_CHECK(Found == Valid && (!Valid || Value == Expected),
             "number \"%s\" gave %llu, expected %llu", Number.c_str(),
             static_cast<unsigned long long>(Value), static_cast<unsigned long long>(Expected));
  // Where the library's double is exact, it must agree.
  double Double = Member->valuedouble;
  if (Valid && !Written && std::fabs(Double) < 9007199254740992.0) {
    FUZZ_CHECK(Value == static_cast<uint64_t>(static_cast<int64_t>(Double)),
               "number \"%s\" gave %llu, the library reads %.17g", Number.c_str(),
               static_cast<unsigned long long>(Value), Double);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Bytes, size_t Length) {
  std::string Body = FuzzCString(std::string(reinterpret_cast<const char *>(Bytes), Length));

  // The rule on raw text, whatever it holds.
  UINT64 Value = 0;
  uint64_t Expected = 0;
  bool Written = false;
  std::string Head = Body.substr(0, 40);
  bool Valid = ReferenceValue(Head, &Expected, &Written);
  bool Read = JsonNumberTextValue(Head.c_str(), Head.size(), &Value);
  FUZZ_CHECK(Read == Valid && (!Valid || Value == Expected), "number text \"%s\" misread",
             Head.c_str());

  cJSON *Document = cJSON_Parse(Body.c_str());
  if (Document == nullptr) {
    return 0;
  }
  const CHAR8 *Text = nullptr;
  UINTN TextLength = 0;
  FUZZ_CHECK(!FindMemberText(Body.c_str(), Document, Document, &Text, &TextLength),
             "the document found as its own member");
  if (cJSON_IsObject(Document)) {
    for (const cJSON *Member = Document->child; Member != nullptr; Member = Member->next) {
      CheckMember(Body, Document, Member);
      // A member of a member is not a member of the document.
      if (Member->child != nullptr) {
        FUZZ_CHECK(!JsonIntegerValue(Body.c_str(), Document, Member->child, &Value) &&
                       !FindMemberText(Body.c_str(), Document, Member->child, &Text, &TextLength),
                   "a nested member found at the top");
      }
    }
  } else {
    for (const cJSON *Item = Document->child; Item != nullptr; Item = Item->next) {
      FUZZ_CHECK(!JsonIntegerValue(Body.c_str(), Document, Item, &Value),
                 "an element of a non-object document has a value");
    }
  }
  cJSON_Delete(Document);
  return 0;
}
