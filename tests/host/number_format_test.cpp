#include "host/number_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "host/conversions.h"
#include "host/value.h"

namespace quorvane::host {
namespace {

std::string General(double number) { return FormatDisplay(Value::Number(number), "General"); }

TEST(GeneralFormatTest, FitsElevenCharacters) {
  EXPECT_EQ(General(0), "0");
  EXPECT_EQ(General(123.45), "123.45");
  EXPECT_EQ(General(0.1 + 0.2), "0.3");
  EXPECT_EQ(General(-12.5), "-12.5");
  EXPECT_EQ(General(99999999999), "99999999999");
  EXPECT_EQ(General(-99999999999), "-99999999999");
  EXPECT_EQ(General(123456789012), "1.23457E+11");
  EXPECT_EQ(General(100000000000), "1E+11");
  EXPECT_EQ(General(1234.56789012345), "1234.56789");
  EXPECT_EQ(General(1234.567896789), "1234.567897");
  EXPECT_EQ(General(2.0 / 3), "0.666666667");
  EXPECT_EQ(General(-2.0 / 3), "-0.66666667");
  EXPECT_EQ(General(0.0001234), "0.0001234");
  EXPECT_EQ(General(0.000000001234), "1.234E-09");
  EXPECT_EQ(General(1e-20), "1E-20");
  EXPECT_EQ(General(1.5e100), "1.5E+100");
  EXPECT_EQ(General(99999999999.7), "1E+11");
}

// The decimal text of n / 10^places, as written by hand: trailing zeros after the point dropped.
std::string DecimalText(std::int64_t n, int places) {
  const bool negative = n < 0;
  std::string digits = std::to_string(negative ? -n : n);
  if (digits.size() <= static_cast<std::size_t>(places)) {
    digits.insert(0, static_cast<std::size_t>(places) + 1 - digits.size(), '0');
  }
  std::string text = digits.substr(0, digits.size() - static_cast<std::size_t>(places));
  std::string fraction = digits.substr(digits.size() - static_cast<std::size_t>(places));
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) text += "." + fraction;
  return (negative ? "-" : "") + text;
}

TEST(GeneralFormatTest, AmountsOfAFewDecimalsShowInFullWhenTheyFit) {
  std::mt19937_64 random(20261209);
  constexpr double kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1e6, 1e7, 1e8};
  for (int i = 0; i < 20000; ++i) {
    const int places = static_cast<int>(random() % 9);
    const std::int64_t bound = std::int64_t{1} << (random() % 40);
    auto n = static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(bound));
    if (random() % 2 != 0) n = -n;
    if (n == 0) continue;
    const double x = static_cast<double>(n) / kPowers[places];
    const std::string expected = DecimalText(n, places);
    if (expected.size() <= 11) {
      EXPECT_EQ(General(x), expected) << n << " / 10^" << places;
    } else {
      EXPECT_LE(General(x).size(), n < 0 ? 12U : 11U) << n << " / 10^" << places;
    }
  }
  // Too long for the width with a sign: rounded, or written with an exponent.
  EXPECT_EQ(General(1234567.891), "1234567.891");
  EXPECT_EQ(General(-1234567.891), "-1234567.89");
  EXPECT_EQ(General(-0.00000012), "-0.00000012");
  EXPECT_EQ(General(-0.000000123), "-1.23E-07");
  EXPECT_EQ(General(0.00000012), "0.00000012");
  EXPECT_EQ(General(123456789.12), "123456789.1");
  EXPECT_EQ(General(0.000000005), "0.000000005");
  EXPECT_EQ(General(0.0000000051), "5.1E-09");
  EXPECT_EQ(General(700), "700");
  EXPECT_EQ(General(-0.5), "-0.5");
}

TEST(FixedFormatTest, DecimalsGroupingAndPercent) {
  const Value x = Value::Number(1234567.125);
  EXPECT_EQ(FormatDisplay(x, "0"), "1234567");
  EXPECT_EQ(FormatDisplay(x, "0.00"), "1234567.13");
  EXPECT_EQ(FormatDisplay(x, "#,##0"), "1,234,567");
  EXPECT_EQ(FormatDisplay(x, "#,##0.00"), "1,234,567.13");
  EXPECT_EQ(FormatDisplay(Value::Number(-1234.5), "#,##0"), "-1,235");
  EXPECT_EQ(FormatDisplay(Value::Number(999), "#,##0"), "999");
  EXPECT_EQ(FormatDisplay(Value::Number(0.125), "0%"), "13%");
  EXPECT_EQ(FormatDisplay(Value::Number(0.07), "0.00%"), "7.00%");
  EXPECT_EQ(FormatDisplay(Value::Number(1.001), "0.00"), "1.00");
  EXPECT_EQ(FormatDisplay(Value::Number(0.999), "0.00"), "1.00");
}

TEST(DateFormatTest, DateAndTimeCodes) {
  const Value d = Value::Date(SerialFromCivil({2023, 1, 5, 14, 3, 9}));
  EXPECT_EQ(FormatDisplay(d, "m/d/yyyy"), "1/5/2023");
  EXPECT_EQ(FormatDisplay(d, "mm/dd/yy"), "01/05/23");
  EXPECT_EQ(FormatDisplay(d, "d-mmm-yy"), "5-Jan-23");
  EXPECT_EQ(FormatDisplay(d, "yyyy-mm-dd"), "2023-01-05");
  EXPECT_EQ(FormatDisplay(d, "dddd, mmmm d, yyyy"), "Thursday, January 5, 2023");
  EXPECT_EQ(FormatDisplay(d, "h:mm:ss AM/PM"), "2:03:09 PM");
  EXPECT_EQ(FormatDisplay(d, "hh:mm"), "14:03");
  EXPECT_EQ(FormatDisplay(d, "m/d/yyyy h:mm am/pm"), "1/5/2023 2:03 pm");
  EXPECT_EQ(FormatDisplay(d, "mm:ss"), "03:09");
  EXPECT_EQ(FormatDisplay(d, "yyyy\"y\"\\m"), "2023ym");
  // A number under a date format shows as the date of its serial.
  EXPECT_EQ(FormatDisplay(Value::Number(44931), "m/d/yyyy"), "1/5/2023");
  EXPECT_EQ(FormatDisplay(Value::Number(-1), "m/d/yyyy"), "########");
}

TEST(DateFormatTest, DatesUnderGeneral) {
  EXPECT_EQ(FormatDisplay(Value::Date(44931), "General"), "1/5/2023");
  EXPECT_EQ(FormatDisplay(Value::Date(44931.5), "General"), "1/5/2023 12:00");
  EXPECT_EQ(FormatDisplay(Value::Date(0.75), "General"), "6:00:00 PM");
  EXPECT_EQ(FormatDisplay(Value::Date(44931), "0.00"), "44931.00");
}

TEST(FormatDisplayTest, OtherKinds) {
  EXPECT_EQ(FormatDisplay(Value(), "0.00"), "");
  EXPECT_EQ(FormatDisplay(Value::Text("0123"), "0.00"), "0123");
  EXPECT_EQ(FormatDisplay(Value::Number(12.5), "@"), "12.5");
  EXPECT_EQ(FormatDisplay(Value::Logical(true), "General"), "TRUE");
  EXPECT_EQ(FormatDisplay(Value::Logical(false), "0"), "FALSE");
  EXPECT_EQ(FormatDisplay(Value::Error(CellError::kNA), "General"), "#N/A");
  EXPECT_EQ(FormatDisplay(Value::Number(3.25), "0.0;(0.0)"), "3.25");  // not covered: General
}

TEST(IsDateFormatTest, Codes) {
  for (const char* f : {"m/d/yyyy", "d-mmm-yy", "h:mm:ss AM/PM", "[h]:mm", "yyyy-mm-dd"}) {
    EXPECT_TRUE(IsDateFormat(f)) << f;
  }
  for (const char* f : {"General", "general", "0.00", "#,##0", "0%", "@", "\"day\" 0", "[Red]0"}) {
    EXPECT_FALSE(IsDateFormat(f)) << f;
  }
}

}  // namespace
}  // namespace quorvane::host
