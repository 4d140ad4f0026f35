#include "host/locale.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "host/conversions.h"
#include "host/error.h"
#include "host/value.h"

namespace quorvane::host {
namespace {

double Serial(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
  return SerialFromCivil({y, m, d, hh, mm, ss});
}

// The settings of a machine in Germany, the United Kingdom and France, written out by hand.
LocaleFormat German() {
  LocaleFormat f;
  f.decimal = ",";
  f.grouping = ".";
  f.currency = "\u20ac";
  f.order = LocaleFormat::DateOrder::kDayMonthYear;
  f.date_separator = ".";
  f.pad_day = f.pad_month = true;
  f.clock12 = false;
  f.pad_hour = true;
  return f;
}

LocaleFormat British() {
  LocaleFormat f;
  f.currency = "\u00a3";
  f.order = LocaleFormat::DateOrder::kDayMonthYear;
  f.pad_day = f.pad_month = true;
  f.clock12 = false;
  f.pad_hour = true;
  return f;
}

LocaleFormat French() {
  LocaleFormat f = German();
  f.grouping = "\u202f";
  f.date_separator = "/";
  return f;
}

TEST(LocaleConversionsTest, TheDefaultFormatAnswersAsEnUs) {
  const LocaleConversions en_us;
  for (const char* text :
       {"6,231,532.11", "1D2",        "123-",      "(5)",        "$1,000",   "- 7",
        ".5",           "&HFFFF",     "1,00",      "5 -",        "1/5/2023", "1/5/23 2:03 PM",
        "2023-01-05",   "5-Jan-2023", "13/1/2023", "4:35:47 PM", "1.5",      "1.234,50",
        "05.01.2023",   "abc",        "",          "1,"}) {
    EXPECT_EQ(en_us.ReadNumber(text), EnUsConversions().ReadNumber(text)) << text;
    EXPECT_EQ(en_us.ReadDate(text), EnUsConversions().ReadDate(text)) << text;
  }
  for (const Value& value : {Value::Number(1234.5), Value::Number(1e15), Value::Number(-1.25e-7),
                             Value::Number(0.1 + 0.2), Value::Date(Serial(2023, 1, 5)),
                             Value::Date(Serial(2023, 1, 5, 14, 3, 9)), Value::Date(0.25),
                             Value::Logical(true), Value(), Value::Text("1,5")}) {
    EXPECT_EQ(en_us.ToText(value), EnUsConversions().ToText(value)) << en_us.ToText(value);
    EXPECT_EQ(en_us.IsNumeric(value), EnUsConversions().IsNumeric(value)) << en_us.ToText(value);
  }
  const double now = Serial(2023, 1, 5, 14, 3, 9);
  EXPECT_EQ(en_us.FormatTimestamp(now), EnUsConversions().FormatTimestamp(now));
  EXPECT_EQ(&EnUsConversions(), &EnUsConversions());
  EXPECT_EQ(EnUsConversions().ToText(Value::Number(1234.5)), "1234.5");
}

TEST(LocaleConversionsTest, GermanNumbersSwapPointAndComma) {
  const LocaleConversions de(German());
  EXPECT_EQ(de.ReadNumber("1.234,50"), 1234.5);
  EXPECT_EQ(de.ReadNumber("1234,5"), 1234.5);
  EXPECT_EQ(de.ReadNumber("-1.234.567,8"), -1234567.8);
  EXPECT_EQ(de.ReadNumber("(1.000)"), -1000);
  EXPECT_EQ(de.ReadNumber("\u20ac 5"), std::nullopt);
  EXPECT_EQ(de.ReadNumber("\u20ac5,5"), 5.5);
  EXPECT_EQ(de.ReadNumber("1,5E+3"), 1500);
  EXPECT_EQ(de.ReadNumber("12,5-"), -12.5);
  // What an American writes is no number here, nor a stray separator.
  for (const char* text : {"1,234.50", "1.5", "1.23", "$5", "1,,5", "1.", ",5,"}) {
    EXPECT_EQ(de.ReadNumber(text), std::nullopt) << text;
  }
  EXPECT_EQ(de.ReadNumber(",5"), 0.5);
  EXPECT_EQ(de.NumberText(1234.5), "1234,5");
  EXPECT_EQ(de.NumberText(-0.125), "-0,125");
  EXPECT_EQ(de.NumberText(1.5e20), "1,5E+20");
  EXPECT_EQ(de.NumberText(1e15), "1E+15");
  EXPECT_EQ(de.NumberText(1234567), "1234567");
  EXPECT_EQ(de.DecimalSeparator(), ",");
  EXPECT_EQ(de.ToNumber(Value::Text(" 1.234,50 ")), 1234.5);
  EXPECT_FALSE(de.IsNumeric(Value::Text("1.234.50")));
  EXPECT_THROW(de.ToNumber(Value::Text("1,234.50")), HostError);
}

TEST(LocaleConversionsTest, DayFirstDatesReadAndWrite) {
  const LocaleConversions de(German());
  const LocaleConversions gb(British());
  EXPECT_EQ(gb.ReadDate("05/01/2023"), Serial(2023, 1, 5));
  EXPECT_EQ(gb.ReadDate("5/1/23"), Serial(2023, 1, 5));
  EXPECT_EQ(gb.ReadDate("31/12/2023 14:03"), Serial(2023, 12, 31, 14, 3));
  EXPECT_EQ(gb.ReadDate("12/31/2023"), std::nullopt);
  EXPECT_EQ(gb.ReadDate("2023-01-05"), Serial(2023, 1, 5));
  EXPECT_EQ(gb.ReadDate("5 January 2023"), Serial(2023, 1, 5));
  EXPECT_EQ(de.ReadDate("05.01.2023"), Serial(2023, 1, 5));
  EXPECT_EQ(de.ReadDate("29.02.2023"), std::nullopt);
  EXPECT_EQ(de.ReadDate("29.02.2024 23:59:59"), Serial(2024, 2, 29, 23, 59, 59));

  EXPECT_EQ(gb.ToText(Value::Date(Serial(2023, 1, 5))), "05/01/2023");
  EXPECT_EQ(de.ToText(Value::Date(Serial(2023, 1, 5))), "05.01.2023");
  EXPECT_EQ(de.ToText(Value::Date(Serial(2023, 11, 25, 9, 5, 7))), "25.11.2023 09:05:07");
  EXPECT_EQ(de.ToText(Value::Date(0)), "00:00:00");
  EXPECT_EQ(de.ToText(Value::Date(Serial(999, 3, 4))), "04.03.0999");
  EXPECT_EQ(de.DateSeparator(), ".");
  // A text stays as it is, a logical is English everywhere.
  EXPECT_EQ(de.ToText(Value::Text("1.234,50")), "1.234,50");
  EXPECT_EQ(de.ToText(Value::Logical(false)), "False");
  EXPECT_THROW(de.ToText(Value::Error(CellError::kNA)), HostError);
  // Dates are not numbers in any locale.
  EXPECT_FALSE(de.IsNumeric(Value::Text("05.01.2023")));
  EXPECT_TRUE(de.IsDate(Value::Text("05.01.2023")));
}

TEST(LocaleConversionsTest, OtherOrdersAndSeparators) {
  LocaleFormat ymd;
  ymd.order = LocaleFormat::DateOrder::kYearMonthDay;
  ymd.pad_month = ymd.pad_day = true;
  const LocaleConversions ja(ymd);
  EXPECT_EQ(ja.ToText(Value::Date(Serial(2023, 1, 5))), "2023/01/05");
  EXPECT_EQ(ja.ReadDate("23/1/5"), Serial(2023, 1, 5));
  EXPECT_EQ(ja.ReadDate("5/1/2023"), std::nullopt);

  LocaleFormat dotted_time = German();
  dotted_time.time_separator = ".";
  const LocaleConversions fi(dotted_time);
  EXPECT_EQ(fi.ReadDate("05.01.2023 14.03.09"), Serial(2023, 1, 5, 14, 3, 9));
  EXPECT_EQ(fi.FormatTimestamp(Serial(2023, 1, 5, 14, 3, 9)), "1.5 14.03.09");
  EXPECT_EQ(fi.ToText(Value::Date(0.5)), "12.00.00");
}

TEST(LocaleConversionsTest, FrenchGroupsWithAnyKindOfSpace) {
  const LocaleConversions fr(French());
  EXPECT_EQ(fr.ReadNumber("1\u202f234,5"), 1234.5);
  EXPECT_EQ(fr.ReadNumber("1\u00a0234,5"), 1234.5);
  EXPECT_EQ(fr.ReadNumber("1 234 567"), 1234567);
  // A blank before a trailing sign is no separator; a lone group is.
  EXPECT_EQ(fr.ReadNumber("1 234 -"), -1234);
  EXPECT_EQ(fr.ReadNumber("12 34"), std::nullopt);
  EXPECT_EQ(fr.ReadNumber("1 234,5 6"), std::nullopt);
  EXPECT_EQ(fr.ToText(Value::Date(Serial(2023, 1, 5))), "05/01/2023");
}

TEST(LocaleConversionsTest, TimestampKeepsMonthFirstWithTheLocalesSeparators) {
  const double t = Serial(2023, 1, 5, 4, 3, 9);
  EXPECT_EQ(LocaleConversions(German()).FormatTimestamp(t), "1.5 04:03:09");
  EXPECT_EQ(LocaleConversions(British()).FormatTimestamp(t), "1/5 04:03:09");
  EXPECT_EQ(LocaleConversions().FormatTimestamp(t), "1/5 04:03:09");
}

TEST(LocaleConversionsTest, TwelveHourClockUsesTheLocalesMarkers) {
  LocaleFormat f;
  f.am = "vorm.";
  f.pm = "nachm.";
  f.pad_hour = true;
  const LocaleConversions c(f);
  EXPECT_EQ(c.ToText(Value::Date(Serial(2023, 1, 5, 0, 5, 0))), "1/5/2023 12:05:00 vorm.");
  EXPECT_EQ(c.ToText(Value::Date(Serial(2023, 1, 5, 13, 5, 0))), "1/5/2023 01:05:00 nachm.");
}

}  // namespace
}  // namespace quorvane::host
