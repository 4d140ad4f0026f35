#include "cli/icu_locale.h"

#include <gtest/gtest.h>

namespace quorvane::cli {
namespace {

using host::LocaleFormat;

TEST(IcuLocaleTest, EnUsIsTheHostsDefault) { EXPECT_EQ(IcuLocaleFormat("en-US"), LocaleFormat{}); }

TEST(IcuLocaleTest, SeparatorsAndDateFormsOfEuropeanLocales) {
  const std::optional<LocaleFormat> de = IcuLocaleFormat("de-DE");
  ASSERT_TRUE(de);
  EXPECT_EQ(de->decimal, ",");
  EXPECT_EQ(de->grouping, ".");
  EXPECT_EQ(de->order, LocaleFormat::DateOrder::kDayMonthYear);
  EXPECT_EQ(de->date_separator, ".");
  EXPECT_TRUE(de->pad_day && de->pad_month);
  EXPECT_EQ(de->time_separator, ":");
  EXPECT_FALSE(de->clock12);
  EXPECT_TRUE(de->pad_hour);

  const std::optional<LocaleFormat> gb = IcuLocaleFormat("en-GB");
  ASSERT_TRUE(gb);
  EXPECT_EQ(gb->decimal, ".");
  EXPECT_EQ(gb->grouping, ",");
  EXPECT_EQ(gb->order, LocaleFormat::DateOrder::kDayMonthYear);
  EXPECT_EQ(gb->date_separator, "/");
  EXPECT_FALSE(gb->clock12);

  const std::optional<LocaleFormat> fr = IcuLocaleFormat("fr-FR");
  ASSERT_TRUE(fr);
  EXPECT_EQ(fr->decimal, ",");
  EXPECT_NE(fr->grouping.find_first_of("\xa0\xaf "), std::string::npos);  // a kind of space
  EXPECT_EQ(fr->date_separator, "/");

  const std::optional<LocaleFormat> ja = IcuLocaleFormat("ja-JP");
  ASSERT_TRUE(ja);
  EXPECT_EQ(ja->order, LocaleFormat::DateOrder::kYearMonthDay);
}

TEST(IcuLocaleTest, UnknownNamesHaveNoFormat) {
  for (const char* name : {"xx-YY", "de_DE", "", "en-US-x-", "123"}) {
    EXPECT_EQ(IcuLocaleFormat(name), std::nullopt) << name;
  }
}

}  // namespace
}  // namespace quorvane::cli
