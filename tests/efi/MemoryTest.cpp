// The run-time's memcpy, memmove, memset and memcmp against the C library's.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/efi/RuntimeUnderTest.h"

namespace {

constexpr size_t BUFFER_SIZE = 96;

// A buffer with a distinct, recognisable byte at every position.
std::vector<unsigned char> Pattern(unsigned Seed) {
  std::vector<unsigned char> Bytes(BUFFER_SIZE);
  for (size_t Index = 0; Index < Bytes.size(); Index++) {
    Bytes[Index] = static_cast<unsigned char>(Index * 37 + Seed * 101 + 1);
  }
  return Bytes;
}

int Sign(int Value) { return (Value > 0) - (Value < 0); }

class RuntimeMemoryTest : public ::testing::Test {};

// memcpy copies exactly Length bytes for every length and alignment, and
// returns the destination.
TEST_F(RuntimeMemoryTest, MemcpyCopiesExactRangeAtEveryOffset) {
  for (size_t From = 0; From < 8; From++) {
    for (size_t To = 0; To < 8; To++) {
      for (size_t Length = 0; Length <= 64; Length++) {
        auto Source = Pattern(1);
        auto Actual = Pattern(2);
        auto Expected = Actual;
        std::memcpy(Expected.data() + To, Source.data() + From, Length);
        EXPECT_EQ(EfiRtMemcpy(Actual.data() + To, Source.data() + From, Length),
                  Actual.data() + To);
        ASSERT_EQ(Actual, Expected) << "from " << From << " to " << To << " length " << Length;
      }
    }
  }
}

// memmove gives the C library's result for every overlap, in both directions.
TEST_F(RuntimeMemoryTest, MemmoveHandlesEveryOverlap) {
  for (size_t From = 0; From < 32; From++) {
    for (size_t To = 0; To < 32; To++) {
      for (size_t Length = 0; Length <= 64; Length += (Length < 9 ? 1 : 7)) {
        auto Actual = Pattern(3);
        auto Expected = Actual;
        std::memmove(Expected.data() + To, Expected.data() + From, Length);
        EXPECT_EQ(EfiRtMemmove(Actual.data() + To, Actual.data() + From, Length),
                  Actual.data() + To);
        ASSERT_EQ(Actual, Expected) << "from " << From << " to " << To << " length " << Length;
      }
    }
  }
}

// memset stores the low byte of Value, negative and wide values included,
// and nothing outside the range.
TEST_F(RuntimeMemoryTest, MemsetStoresLowByteOnly) {
  for (int Value : {0, 1, 0x7F, 0x80, 0xFF, -1, -128, 0x1234, -0x1001}) {
    for (size_t Offset = 0; Offset < 8; Offset++) {
      for (size_t Length = 0; Length <= 64; Length++) {
        auto Actual = Pattern(4);
        auto Expected = Actual;
        std::memset(Expected.data() + Offset, Value, Length);
        EXPECT_EQ(EfiRtMemset(Actual.data() + Offset, Value, Length), Actual.data() + Offset);
        ASSERT_EQ(Actual, Expected) << "value " << Value << " length " << Length;
      }
    }
  }
}

// memcmp compares as unsigned char, stops at the first difference, and
// sees nothing of a zero length.
TEST_F(RuntimeMemoryTest, MemcmpOrdersAsUnsignedBytes) {
  const unsigned char Bytes[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
  for (unsigned char Left : Bytes) {
    for (unsigned char Right : Bytes) {
      unsigned char A[4] = {'x', Left, 0x00, 0x10};
      unsigned char B[4] = {'x', Right, 0xFF, 0x00};
      for (size_t Length = 0; Length <= 4; Length++) {
        ASSERT_EQ(Sign(EfiRtMemcmp(A, B, Length)), Sign(std::memcmp(A, B, Length)))
            << int(Left) << " vs " << int(Right) << " length " << Length;
      }
    }
  }
  EXPECT_EQ(EfiRtMemcmp("abc", "abd", 0), 0);
  EXPECT_LT(EfiRtMemcmp("ab\x01", "ab\xF0", 3), 0);
  EXPECT_GT(EfiRtMemcmp("\x80", "\x7F", 1), 0);
}

}  // namespace
