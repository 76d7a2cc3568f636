// The nesting limit checked before the JSON library parses a document.
#include <gtest/gtest.h>

#include <string>

#include "core/JsonDepth.h"

namespace {

/// Depth arrays nested inside one another: "[[...]]".
std::string Nested(size_t Depth) { return std::string(Depth, '[') + std::string(Depth, ']'); }

/// The offset JsonFindTooDeep reports in Text, or npos for none.
size_t TooDeepAt(const std::string &Text, UINTN MaxDepth) {
  const CHAR8 *Found = JsonFindTooDeep(Text.c_str(), MaxDepth);
  return Found == nullptr ? std::string::npos : static_cast<size_t>(Found - Text.c_str());
}

// Exactly MaxDepth levels pass; the bracket that opens one more is named.
TEST(JsonDepthTest, NamesTheBracketOneLevelTooDeep) {
  EXPECT_EQ(TooDeepAt(Nested(4), 4), std::string::npos);
  EXPECT_EQ(TooDeepAt(Nested(5), 4), 4u);
  EXPECT_EQ(TooDeepAt(R"({"a": {"b": [1, {"c": []}]}})", 5), std::string::npos);
  EXPECT_EQ(TooDeepAt(R"({"a": {"b": [1, {"c": []}]}})", 4), 22u);
  EXPECT_EQ(TooDeepAt(R"({"a": {"b": [1, {"c": []}]}})", 3), 16u);
  // Siblings do not add up: depth is how many are open at once.
  EXPECT_EQ(TooDeepAt("[[1],[2],[[3]],[4]]", 3), std::string::npos);
  EXPECT_EQ(TooDeepAt("[[1],[2],[[3]],[4]]", 2), 10u);
}

// Brackets inside strings, escaped quotation marks included, do not count.
TEST(JsonDepthTest, IgnoresBracketsInStrings) {
  EXPECT_EQ(TooDeepAt(R"({"[[[[": "{{{{"})", 1), std::string::npos);
  EXPECT_EQ(TooDeepAt(R"({"a": "\"[[[[", "b": "\\"})", 1), std::string::npos);
  EXPECT_EQ(TooDeepAt(R"({"a": "\\", "b": [[]]})", 2), 18u);
}

// Only the first value counts, as the parser stops after it; white space
// before it is skipped, and a scalar nests nothing.
TEST(JsonDepthTest, ScansTheFirstValueOnly) {
  EXPECT_EQ(TooDeepAt("{} " + Nested(10), 1), std::string::npos);
  EXPECT_EQ(TooDeepAt("\t\r\n " + Nested(3), 2), 6u);
  EXPECT_EQ(TooDeepAt("1 " + Nested(10), 1), std::string::npos);
  EXPECT_EQ(TooDeepAt("\"[[[[\"", 1), std::string::npos);
  EXPECT_EQ(TooDeepAt("", 1), std::string::npos);
}

// A broken document is the parser's to refuse: an unclosed one that goes
// too deep is still named, one that does not passes the check.
TEST(JsonDepthTest, LeavesBrokenDocumentsToTheParser) {
  EXPECT_EQ(TooDeepAt("[[[", 2), 2u);
  EXPECT_EQ(TooDeepAt("[[", 2), std::string::npos);
  EXPECT_EQ(TooDeepAt("[\"[[[", 1), std::string::npos);
  EXPECT_EQ(TooDeepAt("]]]]", 1), std::string::npos);
}

// The parse within the limit: at the limit it parses; one level deeper it
// does not, and the error position is the bracket that goes too deep.
TEST(JsonDepthTest, ParseRefusesPastTheLimit) {
  std::string AtLimit = "{\"Deep\":" + Nested(JSON_MAX_DEPTH - 1) + "}";
  cJSON *Document = JsonParseWithinDepth(AtLimit.c_str());
  EXPECT_NE(Document, nullptr);
  cJSON_Delete(Document);

  std::string TooDeep = "{\"Deep\":" + Nested(JSON_MAX_DEPTH) + "}";
  EXPECT_EQ(JsonParseWithinDepth(TooDeep.c_str()), nullptr);
  EXPECT_EQ(JsonParseErrorPosition(), TooDeep.c_str() + 8 + JSON_MAX_DEPTH - 1);
}

// A document within the limit that does not parse keeps the parser's own
// error position.
TEST(JsonDepthTest, KeepsTheParsersErrorPosition) {
  std::string Broken = "{\"a\": [1, 2 x]}";
  EXPECT_EQ(JsonParseWithinDepth(Broken.c_str()), nullptr);
  EXPECT_EQ(JsonParseErrorPosition(), cJSON_GetErrorPtr());
  EXPECT_EQ(std::string(JsonParseErrorPosition()), "x]}");
}

}  // namespace
