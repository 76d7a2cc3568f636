// The number rule: a parameter's 64-bit integer value read from its text.
#include <gtest/gtest.h>

#include <string>

#include "actions/JsonNumber.h"

namespace {

/// Parses Body and returns the value of Name by the number rule.
bool ValueOf(const std::string &Body, const char *Name, UINT64 *Value) {
  cJSON *Document = cJSON_Parse(Body.c_str());
  EXPECT_NE(Document, nullptr) << Body;
  bool Found = JsonIntegerValue(Body.c_str(), Document, cJSON_GetObjectItem(Document, Name), Value);
  cJSON_Delete(Document);
  return Found;
}

UINT64 Value(const std::string &Body, const char *Name = "N") {
  UINT64 Result = 0x5A5A5A5A;
  EXPECT_TRUE(ValueOf(Body, Name, &Result)) << Body;
  return Result;
}

// Integers keep all 64 bits; negatives are two's complement; wider wraps.
TEST(JsonNumberTest, ReadsExactIntegers) {
  EXPECT_EQ(Value(R"({"N": 1024})"), 1024u);
  EXPECT_EQ(Value(R"({"N": -1})"), ~0ULL);
  EXPECT_EQ(Value(R"({"N": -0})"), 0u);
  EXPECT_EQ(Value(R"({"N": 4294967295})"), 0xFFFFFFFFu);
  EXPECT_EQ(Value(R"({"N": 9007199254740993})"), 9007199254740993ULL);
  EXPECT_EQ(Value(R"({"N": 18446744073709551615})"), ~0ULL);
  EXPECT_EQ(Value(R"({"N": 18446744073709551616})"), 0u);
  EXPECT_EQ(Value(R"({"N": 18446744073709551617})"), 1u);
  EXPECT_EQ(Value(R"({"N": -9223372036854775808})"), 0x8000000000000000ULL);
}

// A fraction or an exponent part makes the integer value 0.
TEST(JsonNumberTest, FractionOrExponentIsZero) {
  EXPECT_EQ(Value(R"({"N": 1024.0})"), 0u);
  EXPECT_EQ(Value(R"({"N": 1e3})"), 0u);
  EXPECT_EQ(Value(R"({"N": 3E2})"), 0u);
  EXPECT_EQ(Value(R"({"N": -2.5E+2})"), 0u);
  EXPECT_EQ(Value(R"({"N": 0.0})"), 0u);
}

// The member is found where the library found it: first case-insensitive
// match, after strings with escapes and nested values of every kind.
TEST(JsonNumberTest, LocatesTheMemberTheLibraryChose) {
  EXPECT_EQ(Value(R"({"n": 5, "N": 6})"), 5u);
  EXPECT_EQ(Value(R"({"a": "x\"}{,", "b": [1, {"N": 9}], "N": 7})"), 7u);
  EXPECT_EQ(Value("\xEF\xBB\xBF {\t\"N\"\r\n:\n42 }"), 42u);
  EXPECT_EQ(Value(R"({"a": {"b": [[], {}]}, "c": true, "d": null, "N": 3} trailing)"), 3u);
  EXPECT_EQ(Value(R"({"\u004e": 8, "N": 9})"), 8u);
}

// Anything but a JSON number is not a number parameter.
TEST(JsonNumberTest, OtherTypesAreAbsent) {
  UINT64 Result = 77;
  EXPECT_FALSE(ValueOf(R"({"N": "1024"})", "N", &Result));
  EXPECT_FALSE(ValueOf(R"({"N": true})", "N", &Result));
  EXPECT_FALSE(ValueOf(R"({"M": 1})", "N", &Result));
  EXPECT_EQ(Result, 77u);
}

// The text reader alone: malformed texts are refused.
TEST(JsonNumberTest, TextReaderRefusesNonNumbers) {
  UINT64 Result = 0;
  EXPECT_FALSE(JsonNumberTextValue("-", 1, &Result));
  EXPECT_FALSE(JsonNumberTextValue("", 0, &Result));
  EXPECT_FALSE(JsonNumberTextValue("1-2", 3, &Result));
  EXPECT_TRUE(JsonNumberTextValue("12", 2, &Result));
  EXPECT_EQ(Result, 12u);
}

}  // namespace
