// strtod of the run-time against glibc's: syntax and end pointer, random
// digit strings, long mantissas, exact halfway cases and extreme exponents.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/efi/RuntimeUnderTest.h"

namespace {

constexpr int RANDOM_STRINGS = 200000;
constexpr int HALFWAY_DOUBLES = 20000;

uint64_t ToBits(double Value) {
  uint64_t Bits;
  std::memcpy(&Bits, &Value, sizeof(Bits));
  return Bits;
}

double FromBits(uint64_t Bits) {
  double Value;
  std::memcpy(&Value, &Bits, sizeof(Value));
  return Value;
}

// Same bits and same end pointer as glibc's strtod.
void ExpectSameAsGlibc(const std::string &Text) {
  char *ExpectedEnd = nullptr;
  char *ActualEnd = nullptr;
  double Expected = std::strtod(Text.c_str(), &ExpectedEnd);
  double Actual = EfiRtStrtod(Text.c_str(), &ActualEnd);
  ASSERT_EQ(ToBits(Actual), ToBits(Expected)) << "'" << Text << "'";
  ASSERT_EQ(ActualEnd - Text.c_str(), ExpectedEnd - Text.c_str()) << "'" << Text << "'";
}

// The exact decimal value of the point halfway between Value and the next
// double away from zero, as "D.DDD...e+X" without trailing zeros. The long
// double holds that point exactly (it needs 54 bits), and glibc prints
// exact decimal expansions.
std::string Midpoint(double Value) {
  long double Half = (static_cast<long double>(Value) + std::nextafter(Value, INFINITY)) / 2;
  char Buffer[1024];
  std::snprintf(Buffer, sizeof(Buffer), "%.800Le", Half);
  std::string Text(Buffer);
  size_t Exponent = Text.find('e');
  std::string Digits = Text.substr(0, Exponent);
  while (Digits.back() == '0') {
    Digits.pop_back();
  }
  return Digits + Text.substr(Exponent);
}

// Inserts Extra just before the exponent of a "D.DDDe+X" text.
std::string WithDigits(const std::string &Text, const std::string &Extra) {
  size_t Exponent = Text.find('e');
  return Text.substr(0, Exponent) + Extra + Text.substr(Exponent);
}

class RuntimeParseDoubleTest : public ::testing::Test {};

// Every spelling cJSON can hand over, and the white space and sign of the
// C grammar, end where glibc ends and give its value.
TEST_F(RuntimeParseDoubleTest, SyntaxAndEndPointerMatchGlibc) {
  const char *Texts[] = {"0",
                         "-0",
                         "+0",
                         "1",
                         "-1",
                         "+1",
                         "007",
                         "1.",
                         "-1.",
                         ".5",
                         "-.5",
                         ".",
                         "-.",
                         "-",
                         "+",
                         "",
                         "e5",
                         ".e5",
                         "1e",
                         "1e+",
                         "1e-",
                         "1E5",
                         "1e+5",
                         "1e-5",
                         "1.e5",
                         "1.5e",
                         "1.5e+x",
                         "1..2",
                         "1.2.3",
                         "1e5e6",
                         "1e+-5",
                         "--1",
                         "-+1",
                         "+-1",
                         "0.000",
                         "00000.000e7",
                         " \t\n\v\f\r1.25",
                         " ",
                         " -",
                         "12abc",
                         "1,5",
                         "3.14159 ",
                         "1e0000000000000000000000000000000000000005",
                         "123456789012345678901234567890"};
  for (const char *Text : Texts) {
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc(Text));
  }
}

// With no number, the end pointer is the start of the text, even after
// white space and a sign, and a null End is allowed.
TEST_F(RuntimeParseDoubleTest, NoNumberLeavesEndAtStart) {
  const char *Text = "  -x";
  char *End = nullptr;
  EXPECT_EQ(EfiRtStrtod(Text, &End), 0.0);
  EXPECT_EQ(End, Text);
  EXPECT_EQ(EfiRtStrtod("2.5", nullptr), 2.5);
}

// Only decimal spellings are numbers: hexadecimal reads as its leading
// "0", and infinity and NaN spellings as no number at all.
TEST_F(RuntimeParseDoubleTest, ReadsDecimalSpellingsOnly) {
  const char *Hexadecimal = "0x10";
  char *End = nullptr;
  EXPECT_EQ(ToBits(EfiRtStrtod(Hexadecimal, &End)), ToBits(0.0));
  EXPECT_EQ(End, Hexadecimal + 1);
  for (const char *Text : {"inf", "-INF", "infinity", "nan", "NAN(1)"}) {
    EXPECT_EQ(ToBits(EfiRtStrtod(Text, &End)), ToBits(0.0)) << Text;
    EXPECT_EQ(End, Text) << Text;
  }
}

// Exponents far beyond the range saturate to infinity or zero, and the
// digit count and exponent cancel exactly however large both are.
TEST_F(RuntimeParseDoubleTest, ExtremeExponentsMatchGlibc) {
  std::vector<std::string> Texts = {"1e308",
                                    "1e309",
                                    "-1e309",
                                    "1.7976931348623157e308",
                                    "1.7976931348623158e308",
                                    "1.7976931348623159e308",
                                    "179769313486231580793728971405301e276",
                                    "1e-323",
                                    "1e-324",
                                    "-1e-324",
                                    "2.4703282292062327e-324",
                                    "2.4703282292062328e-324",
                                    "4.9406564584124654e-324",
                                    "7.4109846876186981e-324",
                                    "2.2250738585072011e-308",
                                    "2.2250738585072012e-308",
                                    "2.2250738585072014e-308",
                                    "1e2147483647",
                                    "1e2147483648",
                                    "1e-2147483649",
                                    "1e99999999999999999999",
                                    "1e-99999999999999999999",
                                    "0e99999999999999999999",
                                    "-0e-99999999999999999999"};
  Texts.push_back("0." + std::string(10000, '0') + "1e10001");
  Texts.push_back("1" + std::string(10000, '0') + "e-10000");
  Texts.push_back("1" + std::string(400, '0'));
  Texts.push_back("0." + std::string(400, '0') + "1");
  Texts.push_back(std::string(5000, '9') + "e-5300");
  Texts.push_back("." + std::string(5000, '9') + "e-300");
  // The largest operands: every kept digit plus the dropped-digit marker,
  // at the lowest and highest leading exponent not decided in advance.
  Texts.push_back(std::string(900, '9') + "e-1223");
  Texts.push_back(std::string(900, '1') + "e-1223");
  Texts.push_back(std::string(900, '9') + "e-591");
  Texts.push_back(std::string(900, '1') + "e-591");
  for (const auto &Text : Texts) {
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc(Text));
  }
}

// The exact halfway points between neighbouring doubles, normal and
// subnormal, round to even; a digit more, however far out, rounds away,
// and one less rounds back.
TEST_F(RuntimeParseDoubleTest, HalfwayCasesMatchGlibc) {
  std::mt19937_64 Random(1075);
  std::vector<double> Values = {FromBits(1),
                                FromBits(2),
                                FromBits(3),
                                FromBits(0x000FFFFFFFFFFFFFULL),
                                FromBits(0x0010000000000000ULL),
                                FromBits(0x7FEFFFFFFFFFFFFEULL),
                                1.0,
                                0.1,
                                9007199254740992.0,
                                1e23};
  for (int Count = 0; Count < HALFWAY_DOUBLES; Count++) {
    double Value = FromBits(Random() >> 1);
    if (std::isfinite(Value) && Value < 1.7e308) {
      Values.push_back(Value);
    }
  }
  for (double Value : Values) {
    std::string Half = Midpoint(Value);
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc(Half));
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc("-" + Half));
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc(WithDigits(Half, "1")));
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc(WithDigits(Half, std::string(900, '0') + "1")));
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc(WithDigits(Half, std::string(900, '0'))));
    // Cutting the last digit moves just below the point.
    size_t Exponent = Half.find('e');
    if (Exponent > 3) {
      ASSERT_NO_FATAL_FAILURE(
          ExpectSameAsGlibc(Half.substr(0, Exponent - 1) + Half.substr(Exponent)));
    }
  }
}

// Long mantissas: more digits than any boundary needs, with the deciding
// digit inside and beyond the kept 800.
TEST_F(RuntimeParseDoubleTest, LongMantissasMatchGlibc) {
  std::mt19937_64 Random(800);
  std::uniform_int_distribution<int> Digit(0, 9);
  std::uniform_int_distribution<int> Length(17, 1200);
  std::uniform_int_distribution<int> Exponent(-1500, 400);
  for (int Count = 0; Count < 3000; Count++) {
    std::string Text = std::to_string(1 + Digit(Random) % 9);
    int Digits = Length(Random);
    for (int Index = 1; Index < Digits; Index++) {
      Text += static_cast<char>('0' + Digit(Random));
    }
    Text += "e" + std::to_string(Exponent(Random));
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc(Text));
  }
}

// Random digit strings with a point anywhere and exponents over the whole
// range and beyond.
TEST_F(RuntimeParseDoubleTest, RandomDecimalsMatchGlibc) {
  std::mt19937_64 Random(324);
  std::uniform_int_distribution<int> Digit(0, 9);
  std::uniform_int_distribution<int> Length(1, 25);
  std::uniform_int_distribution<int> Exponent(-360, 330);
  for (int Count = 0; Count < RANDOM_STRINGS; Count++) {
    int Digits = Length(Random);
    int Point = static_cast<int>(Random() % (Digits + 2)) - 1;
    std::string Text = (Random() & 1) ? "-" : "";
    for (int Index = 0; Index < Digits; Index++) {
      if (Index == Point) {
        Text += '.';
      }
      Text += static_cast<char>('0' + Digit(Random));
    }
    if (Random() % 4 != 0) {
      Text += (Random() & 1) ? "e" : "E";
      Text += std::to_string(Exponent(Random));
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc(Text));
  }
}

// Any string over cJSON's number alphabet, well-formed or not.
TEST_F(RuntimeParseDoubleTest, RandomNumberAlphabetMatchesGlibc) {
  const char Alphabet[] = "0123456789+-eE.";
  std::mt19937_64 Random(15);
  for (int Count = 0; Count < RANDOM_STRINGS; Count++) {
    std::string Text;
    size_t Length = Random() % 24;
    for (size_t Index = 0; Index < Length; Index++) {
      Text += Alphabet[Random() % (sizeof(Alphabet) - 1)];
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc(Text));
  }
}

// Every double's shortest and 17-digit spellings read back to itself.
TEST_F(RuntimeParseDoubleTest, PrintedDoublesReadBack) {
  std::mt19937_64 Random(17);
  for (int Count = 0; Count < RANDOM_STRINGS; Count++) {
    double Value = FromBits(Random());
    if (!std::isfinite(Value)) {
      continue;
    }
    char Text[64];
    std::snprintf(Text, sizeof(Text), "%.17g", Value);
    ASSERT_EQ(ToBits(EfiRtStrtod(Text, nullptr)), ToBits(Value)) << Text;
    std::snprintf(Text, sizeof(Text), "%.15g", Value);
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsGlibc(Text));
  }
}

}  // namespace
