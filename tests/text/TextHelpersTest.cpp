// The text helpers: identifier conversion and bounded formatting/appending.
#include <gtest/gtest.h>

#include <string>

#include "text/TextHelpers.h"

namespace {

constexpr UINT64 ALL_ONES = ~0ULL;

struct Conversion {
  const char *Input;
  UINT64 Value;
  EFI_STATUS Status;
};

// Hexadecimal conversion: prefixes, blanks, zeros, stop characters, overflow.
TEST(HexToUintnTest, ConvertsByTheIdentifierRules) {
  const Conversion Cases[] = {
      {"0x1F", 0x1F, EFI_SUCCESS},
      {"  0X1f", 0x1F, EFI_SUCCESS},
      {"1F", 0x1F, EFI_SUCCESS},
      {"00x10", 0x10, EFI_SUCCESS},
      {"x10", 0, EFI_SUCCESS},
      {"  x10", 0, EFI_SUCCESS},
      {"10g5", 0x10, EFI_SUCCESS},
      {"", 0, EFI_SUCCESS},
      {"\t 0x0101", 0x101, EFI_SUCCESS},
      {"0x", 0, EFI_SUCCESS},
      {"FFFFFFFFFFFFFFFF", ALL_ONES, EFI_SUCCESS},
      {"FFFFFFFFFFFFFFFFF", ALL_ONES, EFI_UNSUPPORTED},
      {"0000000000000000000000001", 1, EFI_SUCCESS},
  };
  for (const Conversion &Case : Cases) {
    UINT64 Value = 0x5A5A;
    EXPECT_EQ(HexToUintn(Case.Input, &Value), Case.Status) << Case.Input;
    EXPECT_EQ(Value, Case.Value) << Case.Input;
  }
}

// Decimal conversion stops at the first non-digit and saturates on overflow.
TEST(DecimalToUintnTest, ConvertsByTheIdentifierRules) {
  const Conversion Cases[] = {
      {"  0012", 12, EFI_SUCCESS},
      {"12abc", 12, EFI_SUCCESS},
      {"-5", 0, EFI_SUCCESS},
      {"abc", 0, EFI_SUCCESS},
      {"65548", 65548, EFI_SUCCESS},
      {"18446744073709551615", ALL_ONES, EFI_SUCCESS},
      {"18446744073709551616", ALL_ONES, EFI_UNSUPPORTED},
      {"0x10", 0, EFI_SUCCESS},
  };
  for (const Conversion &Case : Cases) {
    UINT64 Value = 0x5A5A;
    EXPECT_EQ(DecimalToUintn(Case.Input, &Value), Case.Status) << Case.Input;
    EXPECT_EQ(Value, Case.Value) << Case.Input;
  }
}

// Null arguments and over-long strings are refused and write no value.
TEST(ConversionLimitsTest, RefusesWithoutWriting) {
  UINT64 Value = 7;
  EXPECT_EQ(HexToUintn(nullptr, &Value), EFI_INVALID_PARAMETER);
  EXPECT_EQ(DecimalToUintn("1", nullptr), EFI_INVALID_PARAMETER);
  std::string Longest(1000000, '1');
  EXPECT_EQ(DecimalToUintn(Longest.c_str(), &Value), EFI_UNSUPPORTED);
  Value = 7;
  std::string TooLong(1000001, '1');
  EXPECT_EQ(DecimalToUintn(TooLong.c_str(), &Value), EFI_INVALID_PARAMETER);
  EXPECT_EQ(HexToUintn(TooLong.c_str(), &Value), EFI_INVALID_PARAMETER);
  EXPECT_EQ(Value, 7u);
  EXPECT_FALSE(HasDecimalDigits(TooLong.c_str()));
}

// Whether a conversion found any digit at all.
TEST(DigitPresenceTest, TellsIdentifiersFromNoise) {
  EXPECT_TRUE(HasDecimalDigits("0"));
  EXPECT_TRUE(HasDecimalDigits(" \t12abc"));
  EXPECT_FALSE(HasDecimalDigits(""));
  EXPECT_FALSE(HasDecimalDigits("abc"));
  EXPECT_FALSE(HasDecimalDigits("-5"));
  EXPECT_FALSE(HasDecimalDigits(" x1"));
  EXPECT_TRUE(HasHexDigits("0"));
  EXPECT_TRUE(HasHexDigits("00x10"));
  EXPECT_TRUE(HasHexDigits("0x0"));
  EXPECT_TRUE(HasHexDigits("a"));
  EXPECT_FALSE(HasHexDigits("0x"));
  EXPECT_FALSE(HasHexDigits("x10"));
  EXPECT_FALSE(HasHexDigits("zz"));
  EXPECT_FALSE(HasHexDigits(""));
  EXPECT_FALSE(HasHexDigits("0xg"));
}

std::string Format(UINTN Size, const char *FormatText, ...) {
  std::string Buffer(Size + 1, '#');
  va_list Arguments;
  va_start(Arguments, FormatText);
  UINTN Written = BoundedFormatV(Buffer.data(), Size, FormatText, Arguments);
  va_end(Arguments);
  std::string Result(Buffer.c_str());
  EXPECT_EQ(Written, Result.size());
  return Result;
}

// Conversions: %a with null, %d with negatives, %4X padding and wide values.
TEST(BoundedFormatTest, WritesTheDriversConversions) {
  EXPECT_EQ(Format(100, "DimmId:0x%4X; ", 0x1u), "DimmId:0x0001; ");
  EXPECT_EQ(Format(100, "DimmId:0x%4X; ", 0x12345u), "DimmId:0x12345; ");
  EXPECT_EQ(Format(100, "DimmId:0x%4X; ", 0xABCDu), "DimmId:0xABCD; ");
  EXPECT_EQ(Format(100, "[%a]", static_cast<const char *>(nullptr)), "[<null string>]");
  EXPECT_EQ(Format(100, "%d", 99), "99");
  EXPECT_EQ(Format(100, "%d", -2147483647 - 1), "-2147483648");
  EXPECT_EQ(Format(100, "%d", 0), "0");
  EXPECT_EQ(Format(100, "50%"), "50%");
}

// Line feeds in the format become CR LF; text from arguments is untouched.
TEST(BoundedFormatTest, TranslatesLineEndsOfTheFormatOnly) {
  EXPECT_EQ(Format(100, "a\nb"), "a\r\nb");
  EXPECT_EQ(Format(100, "a\r\nb"), "a\r\nb");
  EXPECT_EQ(Format(100, "a\n\rb"), "a\r\nb");
  EXPECT_EQ(Format(100, "a\rb"), "a\rb");
  EXPECT_EQ(Format(100, "a\n\nb"), "a\r\n\r\nb");
  EXPECT_EQ(Format(100, "%a", "x\ny"), "x\ny");
}

// Output is cut to Size - 1 characters, also in the middle of a CR LF.
TEST(BoundedFormatTest, CutsToTheBuffer) {
  EXPECT_EQ(Format(5, "%a", "abcdefgh"), "abcd");
  EXPECT_EQ(Format(3, "ab\n"), "ab");
  EXPECT_EQ(Format(4, "ab\n"), "ab\r");
  EXPECT_EQ(Format(1, "abc"), "");
  std::string Long(200, 'z');
  EXPECT_EQ(Format(150, "(UEFI UPDATE - DN): %a", Long.c_str()).size(), 149u);
}

// Refused arguments write nothing at all.
TEST(BoundedFormatTest, RefusesBadArguments) {
  char Buffer[8] = "keep";
  EXPECT_EQ(BoundedFormat(Buffer, 0, "x"), 0u);
  EXPECT_EQ(BoundedFormat(Buffer, 1000001, "x"), 0u);
  EXPECT_EQ(BoundedFormat(Buffer, sizeof(Buffer), nullptr), 0u);
  EXPECT_EQ(BoundedFormat(nullptr, 8, "x"), 0u);
  std::string LongFormat(1000001, 'f');
  EXPECT_EQ(BoundedFormat(Buffer, sizeof(Buffer), LongFormat.c_str()), 0u);
  EXPECT_STREQ(Buffer, "keep");
}

// Appends happen whole or not at all, with the documented statuses.
TEST(BoundedAppendTest, AppendsWholeOrNothing) {
  char Text[400] = {};
  std::string Existing(390, 'e');
  ASSERT_EQ(BoundedAppend(Text, sizeof(Text), Existing.c_str()), EFI_SUCCESS);
  EXPECT_EQ(BoundedAppend(Text, sizeof(Text), "0123456789"), EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(std::string(Text), Existing);
  EXPECT_EQ(BoundedAppend(Text, sizeof(Text), "012345678"), EFI_SUCCESS);
  EXPECT_EQ(std::string(Text), Existing + "012345678");
  EXPECT_EQ(BoundedAppend(Text, sizeof(Text), ""), EFI_SUCCESS);
  EXPECT_EQ(BoundedAppend(Text, sizeof(Text), "x"), EFI_BUFFER_TOO_SMALL);
}

TEST(BoundedAppendTest, RefusesBadArguments) {
  char Text[8] = "abc";
  EXPECT_EQ(BoundedAppend(nullptr, 8, "x"), EFI_INVALID_PARAMETER);
  EXPECT_EQ(BoundedAppend(Text, 8, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ(BoundedAppend(Text, 0, "x"), EFI_INVALID_PARAMETER);
  EXPECT_EQ(BoundedAppend(Text, 1000001, "x"), EFI_INVALID_PARAMETER);
  char Unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(BoundedAppend(Unterminated, sizeof(Unterminated), "x"), EFI_BAD_BUFFER_SIZE);
  char Overlap[16] = "abc";
  EXPECT_EQ(BoundedAppend(Overlap, sizeof(Overlap), Overlap + 1), EFI_ACCESS_DENIED);
  EXPECT_STREQ(Overlap, "abc");
  EXPECT_STREQ(Text, "abc");
}

}  // namespace
