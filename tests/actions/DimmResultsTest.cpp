// The per-module result text of an all-modules erase.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "actions/DimmResults.h"

namespace {

// The result text reads each status within its 80 bytes and skips a list
// without entries.
TEST(DimmResultsTest, ReadsStatusesWithinTheirRecords) {
  DIMM_RESULT Results[2] = {};
  Results[0].DimmId = 0x100000001ULL;
  std::memset(Results[0].Status, 'A', sizeof(Results[0].Status));
  Results[1].DimmId = 0x11;
  std::strcpy(Results[1].Status, "Success");
  CHAR8 Text[DIMM_RESULT_TEXT_SIZE] = {};
  FormatDimmResults(DIMM_RESULT_LIST{2, Results}, Text);
  // 22 characters of frame and 80 of status make 104: the line is cut at 99.
  std::string Expected =
      "DimmId:0x0001; Status:" + std::string(77, 'A') + "DimmId:0x0011; Status:Success; ";
  EXPECT_EQ(std::string(Text), Expected);
  CHAR8 Empty[DIMM_RESULT_TEXT_SIZE] = {};
  FormatDimmResults(DIMM_RESULT_LIST{5, nullptr}, Empty);
  EXPECT_STREQ(Empty, "");
}

}  // namespace
