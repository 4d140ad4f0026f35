// The conversions of the Windows add-in under the user's regional settings: the settings of the
// Control Panel are changed for the test (SetLocaleInfoW writes HKCU\Control Panel\International)
// and put back after it.
#include <windows.h>

#include <string>

#include "check.h"
#include "host/conversions.h"
#include "host/locale.h"
#include "user_settings.h"
#include "windows/com_util.h"
#include "windows/ole_conversions.h"

namespace quorvane::windows::testing {
namespace {

double Serial(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
  return host::SerialFromCivil({y, m, d, hh, mm, ss});
}

TEST_CASE("locale: a German user's amounts, dates and stamps") {
  const UserSettings german = GermanUser();
  const OleConversions c;
  CHECK(c.ReadNumber("1.234,50") == 1234.5);
  CHECK(c.ReadNumber("1234,5") == 1234.5);
  CHECK(!c.ReadNumber("abc"));
  CHECK_EQ(c.NumberText(1234.5), std::string("1234,5"));
  CHECK_EQ(c.DecimalSeparator(), std::string(","));
  CHECK_EQ(c.DateSeparator(), std::string("."));
  CHECK_EQ(c.DateText(Serial(2023, 1, 5)), std::string("05.01.2023"));
  CHECK(c.ReadDate("05.01.2023") == Serial(2023, 1, 5));
  CHECK_EQ(c.FormatTimestamp(Serial(2023, 1, 5, 4, 3, 9)), std::string("1.5 04:03:09"));
}

TEST_CASE("locale: a British user's dates are day first") {
  const UserSettings british = BritishUser();
  const OleConversions c;
  CHECK_EQ(c.DateText(Serial(2023, 1, 5)), std::string("05/01/2023"));
  CHECK(c.ReadDate("05/01/2023") == Serial(2023, 1, 5));
  CHECK(c.ReadNumber("1,234.50") == 1234.5);
  CHECK_EQ(c.FormatTimestamp(Serial(2023, 1, 5, 14, 3, 9)), std::string("1/5 14:03:09"));
}

TEST_CASE("locale: an American user's conversions agree with the portable ones") {
  const UserSettings american = AmericanUser();
  const OleConversions c;
  for (const char* text : {"6,231,532.11", "123-", "(5)", "1e-2", " 12 ", "abc"}) {
    CHECK(c.ReadNumber(text) == host::EnUsConversions().ReadNumber(text));
  }
  CHECK(c.ReadDate("1/5/2023") == Serial(2023, 1, 5));
  for (double number : {1234.5, 0.1 + 0.2, -12.5, 1e15}) {
    CHECK_EQ(c.NumberText(number), host::EnUsConversions().ToText(host::Value::Number(number)));
  }
  CHECK_EQ(c.DateText(Serial(2023, 1, 5)), std::string("1/5/2023"));
  CHECK_EQ(c.FormatTimestamp(Serial(2023, 1, 5, 14, 3, 9)), std::string("1/5 14:03:09"));
}

}  // namespace
}  // namespace quorvane::windows::testing
