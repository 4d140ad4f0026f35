#include "host/conversions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>

#include "host/error.h"
#include "host/locale.h"
#include "host/value.h"

namespace quorvane::host {
namespace {

double Serial(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
  return SerialFromCivil({y, m, d, hh, mm, ss});
}

const Conversions& EnUs() { return EnUsConversions(); }

TEST(ReadNumberTest, AcceptsTheHostsNumberForms) {
  const struct {
    const char* text;
    double number;
  } cases[] = {
      {"6,231,532.11", 6231532.11},
      {"1D2", 100},
      {"1e-2", 0.01},
      {"123-", -123},
      {"(5)", -5},
      {"$1,000", 1000},
      {" 12 ", 12},
      {"-$5", -5},
      {"$-5", -5},
      {"- 7", -7},
      {"+3.5", 3.5},
      {".5", 0.5},
      {"5.", 5},
      {"459.-", -459},
      {"(1,234.5)", -1234.5},
      {"&HFF", 255},
      {"&HFFFF", -1},
      {"&H10000", 65536},
      {"&O17", 15},
  };
  for (const auto& c : cases) {
    const std::optional<double> n = EnUs().ReadNumber(c.text);
    ASSERT_TRUE(n.has_value()) << c.text;
    EXPECT_DOUBLE_EQ(*n, c.number) << c.text;
  }
}

TEST(ReadNumberTest, RejectsOtherTexts) {
  for (const char* text :
       {"",       "  ",      "abc",   "12a", "a21",   "5%",   "1/5/2023", "1,00", ",5",
        "1,0000", "1.000,5", "459..", "-5-", "(5",    "(-5)", "1e",       "e5",   ".",
        "$",      "&H",      "&HG",   "&O8", "1e400", "1 2",  "--5"}) {
    EXPECT_FALSE(EnUs().ReadNumber(text).has_value()) << text;
  }
}

TEST(ReadDateTest, ReadsDateAndTimeForms) {
  const double jan5 = Serial(2023, 1, 5);
  for (const char* text :
       {"1/5/2023", "1-5-2023", "1.5.2023", "01/05/23", "2023-01-05", "2023/1/5", "Jan 5, 2023",
        "january 5 2023", "5-Jan-2023", "5 January 2023", "5-jan-23", " 1/5/2023 "}) {
    const std::optional<double> d = EnUs().ReadDate(text);
    ASSERT_TRUE(d.has_value()) << text;
    EXPECT_EQ(*d, jan5) << text;
  }
  EXPECT_DOUBLE_EQ(*EnUs().ReadDate("1/5/2023 14:03:09"), Serial(2023, 1, 5, 14, 3, 9));
  EXPECT_DOUBLE_EQ(*EnUs().ReadDate("1/5/2023 2:03 PM"), Serial(2023, 1, 5, 14, 3));
  EXPECT_DOUBLE_EQ(*EnUs().ReadDate("4:35:47 PM"), (16 * 3600 + 35 * 60 + 47) / 86400.0);
  EXPECT_DOUBLE_EQ(*EnUs().ReadDate("12:30 am"), 0.5 / 24);
  EXPECT_DOUBLE_EQ(*EnUs().ReadDate("October 19, 1962"), Serial(1962, 10, 19));
}

TEST(ReadDateTest, TwoDigitYearsAndLimits) {
  EXPECT_EQ(*EnUs().ReadDate("1/1/29"), Serial(2029, 1, 1));
  EXPECT_EQ(*EnUs().ReadDate("1/1/30"), Serial(1930, 1, 1));
  EXPECT_EQ(*EnUs().ReadDate("1/1/100"), Serial(100, 1, 1));
  EXPECT_EQ(*EnUs().ReadDate("12/31/9999"), Serial(9999, 12, 31));
  EXPECT_EQ(*EnUs().ReadDate("2/29/2024"), Serial(2024, 2, 29));
  for (const char* text :
       {"", "1/5", "1.5", "12.5", "13/1/2023", "2/29/2023", "2/30/2024", "1/1/10000", "1/1/099",
        "Monday, January 5, 2023", "Foo 5, 2023", "1/5/2023 25:00", "1/5/2023 13:00 PM",
        "1/5/2023x", "12:60", "7", "abc", "1/5/2023 14:03:09 extra"}) {
    EXPECT_FALSE(EnUs().ReadDate(text).has_value()) << text;
  }
}

TEST(SerialTest, CalendarHasNo1900LeapDay) {
  EXPECT_EQ(Serial(1899, 12, 30), 0);
  EXPECT_EQ(Serial(1899, 12, 31), 1);
  EXPECT_EQ(Serial(1900, 3, 1), 61);
  EXPECT_EQ(Serial(2023, 1, 5), 44931);
  EXPECT_EQ(Serial(1899, 12, 29, 6), -1.25);
  const CivilDateTime c = CivilFromSerial(-1.25);
  EXPECT_EQ((std::tuple{c.year, c.month, c.day, c.hour}), (std::tuple{1899, 12, 29, 6}));
  const CivilDateTime far = CivilFromSerial(Serial(100, 1, 1));
  EXPECT_EQ((std::tuple{far.year, far.month, far.day}), (std::tuple{100, 1, 1}));
}

TEST(FormatTimestampTest, RoundsToWholeSecondsWithoutSixty) {
  EXPECT_EQ(EnUs().FormatTimestamp(Serial(2023, 1, 5, 14, 3, 9)), "1/5 14:03:09");
  EXPECT_EQ(EnUs().FormatTimestamp(Serial(2023, 11, 25, 9, 5, 0)), "11/25 09:05:00");
  EXPECT_EQ(EnUs().FormatTimestamp(Serial(2023, 1, 5, 14, 3, 9) + 0.6 / 86400), "1/5 14:03:10");
  EXPECT_EQ(EnUs().FormatTimestamp(Serial(2023, 1, 5, 23, 59, 59) + 0.7 / 86400), "1/6 00:00:00");
  EXPECT_EQ(EnUs().FormatTimestamp(Serial(2023, 12, 31, 23, 59, 59) + 0.9 / 86400), "1/1 00:00:00");
}

TEST(ValueKindsTest, IsNumericAndToNumber) {
  EXPECT_TRUE(EnUs().IsNumeric(Value::Number(0)));
  EXPECT_TRUE(EnUs().IsNumeric(Value::Logical(true)));
  EXPECT_EQ(EnUs().ToNumber(Value::Logical(true)), -1);
  EXPECT_EQ(EnUs().ToNumber(Value::Logical(false)), 0);
  EXPECT_EQ(EnUs().ToNumber(Value::Text(" 1,234 ")), 1234);
  for (const Value& v : {Value::Date(44931), Value(), Value::Error(CellError::kNA),
                         Value::Text("abc"), Value::Text("1/5/2023")}) {
    EXPECT_FALSE(EnUs().IsNumeric(v)) << DebugString(v);
    try {
      EnUs().ToNumber(v);
      ADD_FAILURE() << DebugString(v);
    } catch (const HostError& e) {
      EXPECT_EQ(e.description(), "Type mismatch");
    }
  }
}

TEST(ValueKindsTest, DatesOfValues) {
  EXPECT_TRUE(EnUs().IsDate(Value::Date(44931)));
  EXPECT_TRUE(EnUs().IsDate(Value::Text("1/5/2023")));
  EXPECT_EQ(EnUs().ToDateSerial(Value::Text("1/5/2023")), 44931);
  EXPECT_FALSE(EnUs().IsDate(Value::Number(44931)));
  EXPECT_FALSE(EnUs().IsDate(Value::Logical(true)));
  EXPECT_FALSE(EnUs().IsDate(Value()));
  EXPECT_FALSE(EnUs().ToDateSerial(Value::Text("123")).has_value());
}

TEST(ToTextTest, Numbers) {
  const struct {
    double number;
    const char* text;
  } cases[] = {
      {0.1 + 0.2, "0.3"},
      {123456789012345678.0, "1.23456789012346E+17"},
      {1e15, "1E+15"},
      {123456789012345.0, "123456789012345"},
      {-12.5, "-12.5"},
      {0.0001, "0.0001"},
      {0.00001, "1E-05"},
      {-0.0, "0"},
      {1234567.125, "1234567.125"},
      {2.0 / 3, "0.666666666666667"},
  };
  for (const auto& c : cases) EXPECT_EQ(EnUs().ToText(Value::Number(c.number)), c.text) << c.text;
}

TEST(ToTextTest, OtherKinds) {
  EXPECT_EQ(EnUs().ToText(Value::Date(Serial(2023, 1, 5))), "1/5/2023");
  EXPECT_EQ(EnUs().ToText(Value::Date(Serial(2023, 1, 5, 14, 3, 9))), "1/5/2023 2:03:09 PM");
  EXPECT_EQ(EnUs().ToText(Value::Date(Serial(2023, 1, 5, 0, 0, 1))), "1/5/2023 12:00:01 AM");
  EXPECT_EQ(EnUs().ToText(Value::Date(0)), "12:00:00 AM");
  EXPECT_EQ(EnUs().ToText(Value::Date(0.5)), "12:00:00 PM");
  EXPECT_EQ(EnUs().ToText(Value::Logical(true)), "True");
  EXPECT_EQ(EnUs().ToText(Value::Logical(false)), "False");
  EXPECT_EQ(EnUs().ToText(Value()), "");
  EXPECT_EQ(EnUs().ToText(Value::Text("Abc ")), "Abc ");
  EXPECT_THROW(EnUs().ToText(Value::Error(CellError::kDiv0)), HostError);
}

TEST(EqualTest, HostComparison) {
  EXPECT_TRUE(Equal(Value::Number(44931), Value::Date(44931)));
  EXPECT_TRUE(Equal(Value::Logical(true), Value::Number(-1)));
  EXPECT_FALSE(Equal(Value::Number(123), Value::Text("123")));
  EXPECT_FALSE(Equal(Value::Text("abc"), Value::Text("ABC")));
  EXPECT_TRUE(Equal(Value::Text("abc"), Value::Text("abc")));
  EXPECT_TRUE(Equal(Value(), Value::Number(0)));
  EXPECT_TRUE(Equal(Value(), Value::Text("")));
  EXPECT_TRUE(Equal(Value(), Value()));
  EXPECT_FALSE(Equal(Value(), Value::Text(" ")));
  EXPECT_FALSE(Equal(Value::Number(0.1 + 0.2), Value::Number(0.3)));
  EXPECT_FALSE(Equal(Value::Error(CellError::kNA), Value::Error(CellError::kNA)));
}

TEST(RoundTest, HalvesToEvenOnTheDecimalForm) {
  const struct {
    double number;
    int places;
    double rounded;
  } cases[] = {
      {10.125, 2, 10.12}, {10.135, 2, 10.14},   {3.825, 2, 3.82},     {3.875, 2, 3.88},
      {2.675, 2, 2.68},   {-2.675, 2, -2.68},   {-10.125, 2, -10.12}, {2.5, 0, 2},
      {3.5, 0, 4},        {0.12345, 4, 0.1234}, {0.00005, 4, 0},      {10.126, 2, 10.13},
      {0.004, 2, 0},      {0.995, 2, 1},        {1e20, 2, 1e20},      {0.1 + 0.2, 2, 0.3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RoundHalfEven(c.number, c.places), c.rounded) << c.number << " " << c.places;
  }
}

TEST(FormatTest, WholeAndFixed) {
  EXPECT_EQ(FormatWhole(2.5), "3");
  EXPECT_EQ(FormatWhole(-2.5), "-3");
  EXPECT_EQ(FormatWhole(0.5), "1");
  EXPECT_EQ(FormatWhole(1234567890.4), "1234567890");
  EXPECT_EQ(FormatWhole(-123456789), "-123456789");
  EXPECT_EQ(FormatWhole(-0.4), "-0");
  EXPECT_EQ(FormatWhole(0), "0");
  EXPECT_EQ(FormatWhole(1e20), "100000000000000000000");
  EXPECT_EQ(FormatFixed(22.225, 2), "22.23");
  EXPECT_EQ(FormatFixed(0.125, 2), "0.13");
  EXPECT_EQ(FormatFixed(-0.001, 2), "-0.00");
  EXPECT_EQ(FormatFixed(9.999, 2), "10.00");
  EXPECT_EQ(FormatFixed(0.05, 3), "0.050");
}

// Amounts with a few decimals take a short way through rounding and formatting; whatever way a
// number takes, the results are those of the decimal rules, checked here against printf and exact
// integer arithmetic on many amounts, whole numbers and arbitrary doubles.
TEST(FormatTest, AmountsAndArbitraryNumbersAgreeWithTheDecimalRules) {
  std::mt19937_64 rng(20261209);
  std::uniform_int_distribution<std::int64_t> cents(-999'999'999'999, 999'999'999'999);
  std::uniform_int_distribution<std::int64_t> whole(-999'999'999'999'999, 999'999'999'999'999);
  std::uniform_real_distribution<double> any(-1e6, 1e6);
  const auto printf_text = [](const char* format, int places, double number) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, places, number);
    return std::string(buffer);
  };
  for (int i = 0; i < 20000; ++i) {
    const std::int64_t n = i < 400 ? i - 200 : cents(rng);
    const double amount = static_cast<double>(n) / 100;
    ASSERT_EQ(EnUs().ToText(Value::Number(amount)), printf_text("%.*G", 15, amount)) << n;
    ASSERT_EQ(FormatFixed(amount, 2), printf_text("%.*f", 2, amount)) << n;
    ASSERT_EQ(FormatFixed(amount, 4), printf_text("%.*f", 4, amount)) << n;
    ASSERT_EQ(RoundHalfEven(amount, 2), amount == 0 ? 0.0 : amount) << n;
    // To one place, halves to the even tenth, on the exact cents.
    std::int64_t tenths = n / 10;
    const std::int64_t rest = n % 10;
    if (rest > 5 || (rest == 5 && tenths % 2 != 0)) ++tenths;
    if (rest < -5 || (rest == -5 && tenths % 2 != 0)) --tenths;
    ASSERT_EQ(RoundHalfEven(amount, 1), static_cast<double>(tenths) / 10) << n;

    const double count = static_cast<double>(whole(rng));
    ASSERT_EQ(EnUs().ToText(Value::Number(count)), printf_text("%.*G", 15, count)) << count;
    ASSERT_EQ(FormatWhole(count), printf_text("%.*f", 0, count)) << count;

    const double number = any(rng) / (1 << (i % 20));
    ASSERT_EQ(EnUs().ToText(Value::Number(number)), printf_text("%.*G", 15, number)) << number;
  }
  for (const double edge : {1e-4, 0.00011, 0.000099, 1e15 - 1, 1e15, 1e14 + 0.5, 0.1 + 0.2}) {
    EXPECT_EQ(EnUs().ToText(Value::Number(edge)), printf_text("%.*G", 15, edge)) << edge;
  }
}

TEST(RoundSignificantTest, CarriesIntoTheExponent) {
  const SignificantDigits r = RoundSignificant(9.9999996, 6);
  EXPECT_EQ(r.digits, "100000");
  EXPECT_EQ(r.exponent, 1);
  EXPECT_EQ(RoundSignificant(-0.000123456, 3).digits, "123");
  EXPECT_EQ(RoundSignificant(-0.000123456, 3).exponent, -4);
  EXPECT_TRUE(RoundSignificant(-0.000123456, 3).negative);
}

TEST(ValueTest, FactoriesAndDebugText) {
  EXPECT_EQ(Value::Logical(true).number(), -1);
  EXPECT_EQ(Value::Error(CellError::kNA).error(), CellError::kNA);
  EXPECT_EQ(DebugString(Value::Text("abc")), "Text(\"abc\")");
  EXPECT_EQ(DebugString(Value::Number(1.5)), "Number(1.5)");
  EXPECT_EQ(DebugString(Value::Error(CellError::kDiv0)), "Error(#DIV/0!)");
  EXPECT_EQ(std::string(CellErrorText(CellError::kName)), "#NAME?");
  EXPECT_NE(Value::Number(1), Value::Date(1));
}

}  // namespace
}  // namespace quorvane::host
