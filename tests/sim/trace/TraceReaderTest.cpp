// Trace lines read back into the events the trace writer wrote them from.
#include "sim/trace/TraceReader.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/common/ExactJson.h"

namespace {

cJSON *ParseLine(const std::string &Line) { return ParseTraceLine(Line.data(), Line.size()); }

/// The string member Name of Event, as the bytes it holds.
std::string StringOf(const cJSON *Event, const char *Name) {
  const cJSON *Item = cJSON_GetObjectItemCaseSensitive(Event, Name);
  EXPECT_TRUE(cJSON_IsString(Item)) << Name;
  return cJSON_IsString(Item) ? std::string(Item->valuestring) : std::string();
}

// The writer's \u00xx escapes of bytes 0x80 and above become those bytes,
// not the UTF-8 of the code points; other escapes keep their meaning.
TEST(TraceReaderTest, UndoesHighByteEscapes) {
  cJSON *Event = ParseLine(
      R"({"event":"nvdimm","op":"X\u00c3\u00a9Y","quote":"a\"b\\u00c3","tab":"\t\u001f"})");
  ASSERT_NE(Event, nullptr);
  EXPECT_EQ(StringOf(Event, "op"), "X\xC3\xA9Y");
  EXPECT_EQ(StringOf(Event, "quote"), "a\"b\\u00c3");
  EXPECT_EQ(StringOf(Event, "tab"), "\t\x1F");
  cJSON_Delete(Event);
}

// Member names are strings too.
TEST(TraceReaderTest, UndoesEscapesInNames) {
  cJSON *Event = ParseLine(R"({"n\u00ff":1})");
  ASSERT_NE(Event, nullptr);
  ASSERT_NE(Event->child, nullptr);
  EXPECT_EQ(std::string(Event->child->string), "n\xFF");
  cJSON_Delete(Event);
}

// Numbers keep their exact text: 64-bit values do not pass through a double.
TEST(TraceReaderTest, KeepsExactNumbers) {
  cJSON *Event = ParseLine(R"({"boot":2,"args":{"DimmId":18446744073709551615}})");
  ASSERT_NE(Event, nullptr);
  const cJSON *Id =
      cJSON_GetObjectItemCaseSensitive(cJSON_GetObjectItemCaseSensitive(Event, "args"), "DimmId");
  UINT64 Value = 0;
  ASSERT_TRUE(ExactJsonNumberToUint(Id, &Value));
  EXPECT_EQ(Value, 18446744073709551615ULL);
  cJSON_Delete(Event);
}

// A line that is not one JSON value does not read.
TEST(TraceReaderTest, RefusesBrokenLines) {
  EXPECT_EQ(ParseLine(""), nullptr);
  EXPECT_EQ(ParseLine("{\"boot\":1"), nullptr);
  EXPECT_EQ(ParseLine("{\"boot\":1}{}"), nullptr);
}

}  // namespace
