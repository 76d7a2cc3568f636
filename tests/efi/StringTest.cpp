// The run-time's string functions and tolower against the C library's.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "tests/efi/RuntimeUnderTest.h"

namespace {

int Sign(int Value) { return (Value > 0) - (Value < 0); }

// Strings that differ at the start, the end, in length, and in bytes above
// 0x7F, where signed and unsigned char order apart.
const std::vector<std::string> &Samples() {
  static const std::vector<std::string> Strings = {"",
                                                   "a",
                                                   "b",
                                                   "ab",
                                                   "abc",
                                                   "abd",
                                                   "abcd",
                                                   "ABC",
                                                   "\x7F",
                                                   "\x80",
                                                   "\xFF",
                                                   "a\xFF",
                                                   "a\x01",
                                                   "Status",
                                                   "status",
                                                   "ActionName",
                                                   std::string(300, 'z'),
                                                   std::string(300, 'z') + "a"};
  return Strings;
}

class RuntimeStringTest : public ::testing::Test {};

// strlen counts the bytes before the NUL, high bytes included.
TEST_F(RuntimeStringTest, StrlenCountsToNul) {
  for (const auto &Text : Samples()) {
    EXPECT_EQ(EfiRtStrlen(Text.c_str()), Text.size());
  }
  EXPECT_EQ(EfiRtStrlen("ab\0cd"), 2u);
}

// strcmp orders every pair as the C library does.
TEST_F(RuntimeStringTest, StrcmpOrdersAsCLibrary) {
  for (const auto &A : Samples()) {
    for (const auto &B : Samples()) {
      ASSERT_EQ(Sign(EfiRtStrcmp(A.c_str(), B.c_str())), Sign(std::strcmp(A.c_str(), B.c_str())))
          << "'" << A << "' vs '" << B << "'";
    }
  }
}

// strncmp stops after Length bytes or at a NUL, whichever comes first.
TEST_F(RuntimeStringTest, StrncmpStopsAtLengthOrNul) {
  for (const auto &A : Samples()) {
    for (const auto &B : Samples()) {
      for (size_t Length : {size_t(0), size_t(1), size_t(2), size_t(3), size_t(4), size_t(300),
                            size_t(301), SIZE_MAX}) {
        ASSERT_EQ(Sign(EfiRtStrncmp(A.c_str(), B.c_str(), Length)),
                  Sign(std::strncmp(A.c_str(), B.c_str(), Length)))
            << "'" << A << "' vs '" << B << "' length " << Length;
      }
    }
  }
  // Bytes after a common NUL are never read as part of the comparison.
  EXPECT_EQ(EfiRtStrncmp("ab\0x", "ab\0y", 4), 0);
}

// strcpy copies the NUL and nothing after it, and returns the destination.
TEST_F(RuntimeStringTest, StrcpyCopiesThroughNul) {
  for (const auto &Text : Samples()) {
    std::vector<char> Buffer(Text.size() + 8, '#');
    EXPECT_EQ(EfiRtStrcpy(Buffer.data(), Text.c_str()), Buffer.data());
    EXPECT_EQ(std::string(Buffer.data()), Text);
    for (size_t Index = Text.size() + 1; Index < Buffer.size(); Index++) {
      ASSERT_EQ(Buffer[Index], '#');
    }
  }
}

// tolower maps A-Z and returns every other value unchanged, as in the "C"
// locale.
TEST_F(RuntimeStringTest, TolowerMatchesCLocale) {
  for (int Character = -1; Character <= 255; Character++) {
    ASSERT_EQ(EfiRtTolower(Character), std::tolower(Character)) << Character;
  }
  for (int Character : {256, 0x141, INT_MAX, INT_MIN, -129}) {
    EXPECT_EQ(EfiRtTolower(Character), Character);
  }
}

}  // namespace
