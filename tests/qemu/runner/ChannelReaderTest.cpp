// The runner's reading of the trace channel: records split from the bytes
// the platform image wrote, and trace lines turned back into events.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qemu/runner/ChannelReader.h"
#include "qemu/ChannelFormat.h"
#include "sim/common/ExactJson.h"

namespace {

/// The string member Name of Event, as the bytes it holds.
std::string StringOf(const cJSON *Event, const char *Name) {
  const cJSON *Item = cJSON_GetObjectItemCaseSensitive(Event, Name);
  EXPECT_TRUE(cJSON_IsString(Item)) << Name;
  return cJSON_IsString(Item) ? std::string(Item->valuestring) : std::string();
}

// Each line is one record: its tag, then its payload.
TEST(ChannelReaderTest, SplitsRecordsByLine) {
  std::vector<ChannelRecord> Records;
  std::string Error;
  ASSERT_TRUE(SplitChannel("E{\"boot\":1}\nA  REST GET /x -> 200\nF\n", &Records, &Error));
  ASSERT_EQ(Records.size(), 3u);
  EXPECT_EQ(Records[0].Tag, CHANNEL_EVENT);
  EXPECT_EQ(Records[0].Payload, "{\"boot\":1}");
  EXPECT_EQ(Records[1].Tag, CHANNEL_ACCOUNT);
  EXPECT_EQ(Records[1].Payload, "  REST GET /x -> 200");
  EXPECT_EQ(Records[2].Tag, CHANNEL_RUN_OVER);
  EXPECT_EQ(Records[2].Payload, "");
}

// Bytes that stop inside a record, or an empty line, are refused.
TEST(ChannelReaderTest, RefusesCutOrEmptyRecords) {
  std::vector<ChannelRecord> Records;
  std::string Error;
  EXPECT_FALSE(SplitChannel("E{\"boot\":1}\nE{\"bo", &Records, &Error));
  EXPECT_NE(Error.find("ends inside a record"), std::string::npos) << Error;
  Records.clear();
  EXPECT_FALSE(SplitChannel("F\n\n", &Records, &Error));
  EXPECT_NE(Error.find("empty record"), std::string::npos) << Error;
  Records.clear();
  EXPECT_TRUE(SplitChannel("", &Records, &Error));
  EXPECT_TRUE(Records.empty());
}

// The writer's \u00xx escapes of bytes 0x80 and above become those bytes,
// not the UTF-8 of the code points; other escapes keep their meaning.
TEST(ChannelReaderTest, UndoesHighByteEscapes) {
  cJSON *Event = ParseTraceLine(
      R"({"event":"nvdimm","op":"X\u00c3\u00a9Y","quote":"a\"b\\u00c3","tab":"\t\u001f"})");
  ASSERT_NE(Event, nullptr);
  EXPECT_EQ(StringOf(Event, "op"), "X\xC3\xA9Y");
  EXPECT_EQ(StringOf(Event, "quote"), "a\"b\\u00c3");
  EXPECT_EQ(StringOf(Event, "tab"), "\t\x1F");
  cJSON_Delete(Event);
}

// Member names are strings too.
TEST(ChannelReaderTest, UndoesEscapesInNames) {
  cJSON *Event = ParseTraceLine(R"({"n\u00ff":1})");
  ASSERT_NE(Event, nullptr);
  ASSERT_NE(Event->child, nullptr);
  EXPECT_EQ(std::string(Event->child->string), "n\xFF");
  cJSON_Delete(Event);
}

// Numbers keep their exact text: 64-bit values do not pass through a double.
TEST(ChannelReaderTest, KeepsExactNumbers) {
  cJSON *Event = ParseTraceLine(R"({"boot":2,"args":{"DimmId":18446744073709551615}})");
  ASSERT_NE(Event, nullptr);
  const cJSON *Id =
      cJSON_GetObjectItemCaseSensitive(cJSON_GetObjectItemCaseSensitive(Event, "args"), "DimmId");
  UINT64 Value = 0;
  ASSERT_TRUE(ExactJsonNumberToUint(Id, &Value));
  EXPECT_EQ(Value, 18446744073709551615ULL);
  cJSON_Delete(Event);
}

// A line that is not one JSON value does not read.
TEST(ChannelReaderTest, RefusesBrokenLines) {
  EXPECT_EQ(ParseTraceLine(""), nullptr);
  EXPECT_EQ(ParseTraceLine("{\"boot\":1"), nullptr);
  EXPECT_EQ(ParseTraceLine("{\"boot\":1}{}"), nullptr);
}

}  // namespace
