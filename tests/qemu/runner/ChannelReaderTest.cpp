// The runner's reading of the trace channel: records split from the bytes
// the platform image wrote.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qemu/ChannelFormat.h"
#include "qemu/runner/ChannelReader.h"

namespace {

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

}  // namespace
