// sscanf "%lg" of the run-time against glibc's, including the round trip
// cJSON makes through it when printing a number.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

#include "tests/efi/RuntimeUnderTest.h"

namespace {

uint64_t ToBits(double Value) {
  uint64_t Bits;
  std::memcpy(&Bits, &Value, sizeof(Bits));
  return Bits;
}

class RuntimeScanTest : public ::testing::Test {};

// Results and stored values agree with glibc for numbers, white space,
// empty input and text without a number.
TEST_F(RuntimeScanTest, ReadsAsGlibc) {
  const char *Texts[] = {
      "1.5",   "  -2", "\t\n3e2 ", "1e+", "1e5x", "0.1", "-0", "4.9406564584124654e-324",
      "1e400", "",     "   ",      "x",   ".",    "-",   "+.5"};
  for (const char *Text : Texts) {
    double Expected = -7.0;
    double Actual = -7.0;
    int ExpectedResult = std::sscanf(Text, "%lg", &Expected);
    int ActualResult = EfiRtSscanf(Text, "%lg", &Actual);
    EXPECT_EQ(ActualResult, ExpectedResult) << "'" << Text << "'";
    EXPECT_EQ(ToBits(Actual), ToBits(Expected)) << "'" << Text << "'";
  }
}

// Any other format is refused with EOF and nothing is stored.
TEST_F(RuntimeScanTest, OtherFormatsAreRefused) {
  double Value = -7.0;
  EXPECT_EQ(EfiRtSscanf("1.5", "%lf", &Value), EOF);
  EXPECT_EQ(EfiRtSscanf("1.5", "%g", &Value), EOF);
  EXPECT_EQ(EfiRtSscanf("1.5", " %lg", &Value), EOF);
  EXPECT_EQ(EfiRtSscanf("1.5", "%lg%lg", &Value, &Value), EOF);
  EXPECT_EQ(EfiRtSscanf("1.5", "%l", &Value), EOF);
  EXPECT_EQ(Value, -7.0);
}

// cJSON's check: %1.15g printed by the run-time and read back by it gives
// what glibc's pair gives.
TEST_F(RuntimeScanTest, CjsonRoundTripMatchesGlibc) {
  std::mt19937_64 Random(26);
  for (int Count = 0; Count < 200000; Count++) {
    uint64_t Bits = Random();
    double Value;
    std::memcpy(&Value, &Bits, sizeof(Value));
    if (!std::isfinite(Value)) {
      continue;
    }
    char Ours[32];
    char Theirs[32];
    ASSERT_GT(EfiRtSprintf(Ours, "%1.15g", Value), 0);
    std::snprintf(Theirs, sizeof(Theirs), "%1.15g", Value);
    double OurValue = 0;
    double TheirValue = 0;
    ASSERT_EQ(EfiRtSscanf(Ours, "%lg", &OurValue), 1);
    ASSERT_EQ(std::sscanf(Theirs, "%lg", &TheirValue), 1);
    ASSERT_EQ(ToBits(OurValue), ToBits(TheirValue)) << Ours;
  }
}

}  // namespace
