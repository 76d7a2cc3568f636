// sprintf of the run-time against glibc's: the integer conversions cJSON
// uses, and %g on edge, boundary, halfway and millions of random doubles.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/efi/RuntimeUnderTest.h"

namespace {

// Random doubles per format in the bulk comparisons.
constexpr int RANDOM_DOUBLES = 600000;

struct PRINTED {
  int Result;
  std::string Text;
};

template <typename... ARGUMENTS>
PRINTED Ours(const char *Format, ARGUMENTS... Arguments) {
  static char Buffer[8192];
  std::memset(Buffer, '#', sizeof(Buffer));
  int Result = EfiRtSprintf(Buffer, Format, Arguments...);
  return {Result, Result >= 0 ? std::string(Buffer) : std::string()};
}

template <typename... ARGUMENTS>
PRINTED Glibc(const char *Format, ARGUMENTS... Arguments) {
  static char Buffer[8192];
  int Result = std::snprintf(Buffer, sizeof(Buffer), Format, Arguments...);
  return {Result, std::string(Buffer)};
}

double FromBits(uint64_t Bits) {
  double Value;
  std::memcpy(&Value, &Bits, sizeof(Value));
  return Value;
}

uint64_t ToBits(double Value) {
  uint64_t Bits;
  std::memcpy(&Bits, &Value, sizeof(Bits));
  return Bits;
}

// Doubles at the edges: zeros, infinities, NaNs, the subnormal and normal
// limits, every power of two and of ten with both neighbours, and values
// known to trip shortcut algorithms.
std::vector<double> EdgeDoubles() {
  std::vector<double> Values = {0.0,
                                -0.0,
                                INFINITY,
                                -INFINITY,
                                NAN,
                                -NAN,
                                FromBits(1),
                                FromBits(2),
                                FromBits(0x000FFFFFFFFFFFFFULL),
                                FromBits(0x0010000000000000ULL),
                                FromBits(0x7FEFFFFFFFFFFFFFULL),
                                0.1,
                                0.2,
                                0.3,
                                1.0 / 3,
                                2.0 / 3,
                                M_PI,
                                M_E,
                                9007199254740992.0,
                                9007199254740993.0,
                                123456789012345678.0,
                                999999999999999.9,
                                99999999999999999.0,
                                9.9999999999999995e-5,
                                0.0001,
                                0.00001,
                                5e-324,
                                2.2250738585072011e-308,
                                1.7976931348623157e308,
                                1e23,
                                8.41e21,
                                5.764607523034235e39,
                                1.2345678901234567e-300};
  for (int Exponent = -1074; Exponent <= 1023; Exponent++) {
    double Power = std::ldexp(1.0, Exponent);
    Values.push_back(Power);
    Values.push_back(std::nextafter(Power, 0.0));
    Values.push_back(std::nextafter(Power, INFINITY));
  }
  for (int Exponent = -324; Exponent <= 308; Exponent++) {
    char Text[16];
    std::snprintf(Text, sizeof(Text), "1e%d", Exponent);
    double Power = std::strtod(Text, nullptr);
    Values.push_back(Power);
    Values.push_back(std::nextafter(Power, 0.0));
    Values.push_back(std::nextafter(Power, INFINITY));
    Values.push_back(-Power);
  }
  return Values;
}

// Doubles whose exact decimal value has Precision + 1 significant digits
// ending in 5: M / 2^K with M odd, so rounding to Precision digits is an
// exact tie that must go to the even digit.
std::vector<double> HalfwayDoubles(int Precision, std::mt19937_64 &Random) {
  std::vector<double> Values;
  for (int K = 1; K <= 25; K++) {
    uint64_t Five = 1;
    for (int Index = 0; Index < K; Index++) {
      Five *= 5;
    }
    uint64_t Low = 1;
    for (int Index = 0; Index < Precision; Index++) {
      Low *= 10;
    }
    // M * 5^K in [10^Precision, 10^(Precision + 1)).
    uint64_t First = (Low + Five - 1) / Five;
    uint64_t Last = (Low * 10 - 1) / Five;
    if (First > Last || Last >= (1ULL << 53)) {
      continue;
    }
    std::uniform_int_distribution<uint64_t> Pick(First, Last);
    for (int Count = 0; Count < 2000; Count++) {
      uint64_t Mantissa = Pick(Random) | 1;
      if (Mantissa > Last) {
        continue;
      }
      Values.push_back(std::ldexp(static_cast<double>(Mantissa), -K));
    }
  }
  return Values;
}

void ExpectSameAsGlibc(const char *Format, double Value) {
  PRINTED Expected = Glibc(Format, Value);
  PRINTED Actual = Ours(Format, Value);
  ASSERT_EQ(Actual.Text, Expected.Text) << Format << " of bits 0x" << std::hex << ToBits(Value);
  ASSERT_EQ(Actual.Result, Expected.Result) << Format;
}

class RuntimeFormatTest : public ::testing::Test {};

// %d, %i and %x with flags, width and precision print as glibc prints.
TEST_F(RuntimeFormatTest, IntegersMatchGlibc) {
  const char *Formats[] = {"%d",    "%i",      "%5d",    "%-5d|", "%05d",  "%.3d",  "%.0d",
                           "%8.3d", "%-8.3d|", "%08.3d", "%x",    "%04x",  "%-4x|", "%.0x",
                           "%8.3x", "%010x",   "%1d",    "%0d",   "%-01d|"};
  const int Values[] = {0,    1,     -1,        7,       -42,     255,
                        4096, 65535, 123456789, INT_MAX, INT_MIN, INT_MIN + 1};
  for (const char *Format : Formats) {
    for (int Value : Values) {
      PRINTED Expected = Glibc(Format, Value);
      PRINTED Actual = Ours(Format, Value);
      ASSERT_EQ(Actual.Text, Expected.Text) << Format << " of " << Value;
      ASSERT_EQ(Actual.Result, Expected.Result) << Format << " of " << Value;
    }
  }
}

// cJSON's own integer formats: its version string and \u escapes of every
// byte.
TEST_F(RuntimeFormatTest, CjsonIntegerFormats) {
  PRINTED Version = Ours("%i.%i.%i", 1, 7, 15);
  EXPECT_EQ(Version.Text, "1.7.15");
  EXPECT_EQ(Version.Result, 6);
  for (int Byte = 0; Byte < 256; Byte++) {
    PRINTED Expected = Glibc("u%04x", Byte);
    PRINTED Actual = Ours("u%04x", Byte);
    ASSERT_EQ(Actual.Text, Expected.Text);
    ASSERT_EQ(Actual.Result, 5);
  }
}

// Text, %% and an empty format come out as written, NUL-terminated.
TEST_F(RuntimeFormatTest, LiteralTextAndPercent) {
  EXPECT_EQ(Ours("null").Text, "null");
  EXPECT_EQ(Ours("null").Result, 4);
  EXPECT_EQ(Ours("100%% sure").Text, "100% sure");
  EXPECT_EQ(Ours("").Result, 0);
  char Buffer[8];
  std::memset(Buffer, '#', sizeof(Buffer));
  EXPECT_EQ(EfiRtSprintf(Buffer, "ab"), 2);
  EXPECT_EQ(Buffer[2], '\0');
  EXPECT_EQ(Buffer[3], '#');
}

// Directives outside the supported set fail with -1 instead of printing
// something else.
TEST_F(RuntimeFormatTest, UnsupportedDirectivesFail) {
  char Buffer[64];
  EXPECT_EQ(EfiRtSprintf(Buffer, "%s", "text"), -1);
  EXPECT_EQ(EfiRtSprintf(Buffer, "%+d", 1), -1);
  EXPECT_EQ(EfiRtSprintf(Buffer, "% d", 1), -1);
  EXPECT_EQ(EfiRtSprintf(Buffer, "%#x", 1), -1);
  EXPECT_EQ(EfiRtSprintf(Buffer, "%*d", 3, 1), -1);
  EXPECT_EQ(EfiRtSprintf(Buffer, "%ld", 1L), -1);
  EXPECT_EQ(EfiRtSprintf(Buffer, "%lx", 1L), -1);
  EXPECT_EQ(EfiRtSprintf(Buffer, "%u", 1u), -1);
  EXPECT_EQ(EfiRtSprintf(Buffer, "%f", 1.0), -1);
  EXPECT_EQ(EfiRtSprintf(Buffer, "%e", 1.0), -1);
  EXPECT_EQ(EfiRtSprintf(Buffer, "%G", 1.0), -1);
  EXPECT_EQ(EfiRtSprintf(Buffer, "%Lg", 1.0L), -1);
  EXPECT_EQ(EfiRtSprintf(Buffer, "ok %"), -1);
  EXPECT_EQ(EfiRtSprintf(Buffer, "%99999999999d", 1), -1);
  EXPECT_EQ(EfiRtSprintf(Buffer, "%.99999999999g", 1.0), -1);
}

// %g with every precision, width and flag prints the edge doubles as
// glibc does.
TEST_F(RuntimeFormatTest, GeneralEdgeDoublesMatchGlibc) {
  const char *Formats[] = {
      "%g",      "%.0g",      "%.1g",     "%.2g",   "%.3g",   "%.5g",   "%.6g",    "%.7g",
      "%.10g",   "%.14g",     "%1.15g",   "%.16g",  "%1.17g", "%.18g",  "%.20g",   "%.25g",
      "%.40g",   "%.100g",    "%.400g",   "%.767g", "%.768g", "%.800g", "%.1000g", "%lg",
      "%25.17g", "%-25.17g|", "%025.17g", "%08g",   "%-08g|", "%.g",    "%0.0g"};
  for (double Value : EdgeDoubles()) {
    for (const char *Format : Formats) {
      ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc(Format, Value));
    }
  }
}

// Exact ties at the 15th and 17th digit round to the even digit, as glibc
// does on the exact value.
TEST_F(RuntimeFormatTest, HalfwayDoublesRoundToEven) {
  std::mt19937_64 Random(15);
  for (double Value : HalfwayDoubles(15, Random)) {
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc("%1.15g", Value));
  }
  for (double Value : HalfwayDoubles(17, Random)) {
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc("%1.17g", Value));
  }
  for (double Value : HalfwayDoubles(5, Random)) {
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc("%.5g", Value));
  }
}

// Random bit patterns cover every exponent evenly; random integers and
// short decimals cover the values JSON documents mostly hold.
TEST_F(RuntimeFormatTest, RandomDoublesMatchGlibc) {
  std::mt19937_64 Random(20240601);
  for (int Count = 0; Count < RANDOM_DOUBLES; Count++) {
    double Value = FromBits(Random());
    if (!std::isfinite(Value)) {
      continue;
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc("%1.15g", Value));
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc("%1.17g", Value));
  }
  std::uniform_int_distribution<int64_t> Integer(-(1LL << 53), 1LL << 53);
  std::uniform_int_distribution<int> Scale(0, 8);
  for (int Count = 0; Count < RANDOM_DOUBLES / 10; Count++) {
    double Value = static_cast<double>(Integer(Random)) / std::pow(10.0, Scale(Random));
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc("%1.15g", Value));
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc("%1.17g", Value));
  }
}

}  // namespace
