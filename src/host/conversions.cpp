#include "host/conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "host/ascii.h"
#include "host/error.h"
#include "host/locale.h"

namespace quorvane::host {

namespace {

// ---------------------------------------------------------------------------------------------
// Calendar: the proleptic Gregorian calendar throughout (no 1900 leap day).

constexpr std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

constexpr std::int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// ---------------------------------------------------------------------------------------------
// Text helpers.

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Whether `token` (not empty) stands in `s` at `i`.
bool At(std::string_view s, std::size_t i, std::string_view token) {
  return !token.empty() && i <= s.size() && s.substr(i).starts_with(token);
}

// The length of a thousands separator at `i` that a digit follows; 0 when there is none. Where the
// locale groups with a no-break space, a plain blank and either no-break space are taken too, since
// what users type cannot be told apart from it on the screen.
std::size_t GroupingAt(std::string_view s, std::size_t i, const LocaleFormat& format) {
  static constexpr std::string_view kSpaces[] = {" ", "\u00a0", "\u202f"};
  std::size_t length = 0;
  if (At(s, i, format.grouping)) {
    length = format.grouping.size();
  } else if (std::ranges::find(kSpaces, std::string_view(format.grouping)) != std::end(kSpaces)) {
    for (std::string_view space : kSpaces) {
      if (At(s, i, space)) length = space.size();
    }
  }
  return length > 0 && i + length < s.size() && IsDigit(s[i + length]) ? length : 0;
}

// The locale's separator when it is one byte (a character of several bytes never separates the
// parts of a date or a time here); '\0' otherwise.
char SingleByte(const std::string& separator) {
  return separator.size() == 1 ? separator[0] : '\0';
}

std::string Pad2(int n) {
  std::string s = std::to_string(n);
  return s.size() < 2 ? "0" + s : s;
}

// ---------------------------------------------------------------------------------------------
// The 15-significant-digit decimal form of a double: digits d1..d15 and the power of ten of d1.

struct Decimal15 {
  bool negative = false;
  std::string digits;  // exactly 15 digits
  int exponent = 0;
};

Decimal15 ToDecimal15(double number) {
  // Correctly rounded like printf's "%.14e", and several times faster.
  char buffer[40];
  const auto written =
      std::to_chars(buffer, buffer + sizeof buffer - 1, number, std::chars_format::scientific, 14);
  *written.ptr = '\0';
  Decimal15 d;
  const char* p = buffer;
  if (*p == '-') {
    d.negative = true;
    ++p;
  }
  for (; *p != 'e'; ++p) {
    if (IsDigit(*p)) d.digits += *p;
  }
  d.exponent = std::atoi(p + 1);
  if (d.digits.find_first_not_of('0') == std::string::npos) d.exponent = 0;
  return d;
}

enum class Half { kEven, kAwayFromZero };

// Amounts are mostly typed with a few decimals, and the double nearest to such an amount needs no
// decimal form to be rounded or formatted: when the number is the double nearest to n / 10^places
// for a whole n of at most 15 digits, its 15-digit form is exactly that quotient, so rounding it to
// `places` drops nothing. Answers |n| then; no value when the number is not such a double.
std::optional<std::uint64_t> ExactScaled(double number, int places) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
  if (places < 0 || places > 8) return std::nullopt;
  const double power = kPowers[places];
  const double magnitude = std::fabs(number);
  // 10^15 / 10^places is exact, so no number at or past it is taken.
  if (!(magnitude < 1e15 / power)) return std::nullopt;
  const double scaled = std::nearbyint(magnitude * power);
  if (scaled / power != magnitude || !(scaled < 1e15)) return std::nullopt;
  return static_cast<std::uint64_t>(scaled);
}

// The text of n / 10^decimals with exactly that many decimals, at least one digit before the
// point, and a minus sign when asked.
std::string ScaledText(bool negative, std::uint64_t scaled, int decimals) {
  char digits[24];
  const auto written = std::to_chars(digits, digits + sizeof digits, scaled);
  const auto count = static_cast<int>(written.ptr - digits);
  char text[48];
  char* out = text;
  if (negative) *out++ = '-';
  if (count <= decimals) {
    *out++ = '0';
    *out++ = '.';
    for (int i = count; i < decimals; ++i) *out++ = '0';
    out = std::copy(digits, written.ptr, out);
  } else {
    out = std::copy(digits, digits + (count - decimals), out);
    if (decimals > 0) {
      *out++ = '.';
      out = std::copy(digits + (count - decimals), written.ptr, out);
    }
  }
  return std::string(text, out);
}

// Rounds the magnitude of the decimal form to `places` decimals. The result is the digit string
// of magnitude * 10^places (no leading zeros, "0" for zero). `exact` tells whether no digit was
// dropped.
std::string RoundDigits(const Decimal15& d, int places, Half half, bool* exact = nullptr) {
  const std::int64_t kept_count = std::int64_t{d.exponent} + places + 1;
  const auto total = static_cast<std::int64_t>(d.digits.size());
  if (exact != nullptr) *exact = kept_count >= total;
  std::string kept;
  if (kept_count >= total) {
    kept = d.digits + std::string(static_cast<std::size_t>(kept_count - total), '0');
  } else if (kept_count >= 0) {
    kept = d.digits.substr(0, static_cast<std::size_t>(kept_count));
    const char next = d.digits[static_cast<std::size_t>(kept_count)];
    const bool rest_zero = d.digits.find_first_not_of(
                               '0', static_cast<std::size_t>(kept_count) + 1) == std::string::npos;
    const bool last_odd = !kept.empty() && (kept.back() - '0') % 2 == 1;
    bool up = next > '5';
    if (next == '5') up = !rest_zero || half == Half::kAwayFromZero || last_odd;
    if (up) {
      std::size_t i = kept.size();
      while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
      if (i == 0) {
        kept.insert(kept.begin(), '1');
      } else {
        ++kept[i - 1];
      }
    }
  }
  const std::size_t first = kept.find_first_not_of('0');
  return first == std::string::npos ? "0" : kept.substr(first);
}

// ---------------------------------------------------------------------------------------------
// Reading numbers.

// "&H1F" (hexadecimal) and "&O17" or "&17" (octal), after the "&". Values that fit 16 bits are
// read as a 16-bit signed integer and those that fit 32 bits as a 32-bit one, as the host types
// such literals: "&HFFFF" is -1, "&H10000" is 65536. Longer values overflow and are not numbers.
std::optional<double> ReadRadix(std::string_view s) {
  int base = 8;
  if (!s.empty() && (AsciiLower(s[0]) == 'h' || AsciiLower(s[0]) == 'o')) {
    base = AsciiLower(s[0]) == 'h' ? 16 : 8;
    s.remove_prefix(1);
  }
  if (s.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : s) {
    int digit;
    if (IsDigit(c)) {
      digit = c - '0';
    } else if (AsciiLower(c) >= 'a' && AsciiLower(c) <= 'f') {
      digit = AsciiLower(c) - 'a' + 10;
    } else {
      return std::nullopt;
    }
    if (digit >= base) return std::nullopt;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  if (value <= 0xFFFFu) return static_cast<double>(static_cast<std::int16_t>(value));
  return static_cast<double>(static_cast<std::int32_t>(value));
}

// ---------------------------------------------------------------------------------------------
// Reading dates.

class DateCursor {
 public:
  explicit DateCursor(std::string_view s) : s_(s) {}

  bool AtEnd() const { return i_ >= s_.size(); }
  char Peek() const { return AtEnd() ? '\0' : s_[i_]; }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++i_;
    return true;
  }
  bool SkipBlanks() {
    const std::size_t start = i_;
    while (!AtEnd() && IsBlank(s_[i_])) ++i_;
    return i_ > start;
  }
  // An unsigned number of 1 to max_digits digits.
  bool Number(int& value, int& digits, int max_digits) {
    value = 0;
    digits = 0;
    while (!AtEnd() && IsDigit(s_[i_])) {
      if (++digits > max_digits) return false;
      value = value * 10 + (s_[i_] - '0');
      ++i_;
    }
    return digits > 0;
  }
  // A run of letters, lower-cased.
  std::string Word() {
    std::string word;
    while (!AtEnd() && AsciiLower(s_[i_]) >= 'a' && AsciiLower(s_[i_]) <= 'z')
      word += AsciiLower(s_[i_++]);
    return word;
  }

 private:
  std::string_view s_;
  std::size_t i_ = 0;
};

// January to December by full name or three-letter abbreviation; 0 for anything else.
int MonthFromName(const std::string& word) {
  static constexpr const char* kNames[] = {"january",   "february", "march",    "april",
                                           "may",       "june",     "july",     "august",
                                           "september", "october",  "november", "december"};
  for (int m = 0; m < 12; ++m) {
    const std::string name = kNames[m];
    if (word == name || word == name.substr(0, 3)) return m + 1;
  }
  return 0;
}

struct Ymd {
  int year, month, day;
};

int FullYear(int year, int digits) {
  if (digits > 2) return year;
  return year < 30 ? 2000 + year : 1900 + year;
}

std::optional<Ymd> Checked(int year, int month, int day) {
  if (year < 100 || year > 9999 || month < 1 || month > 12) return std::nullopt;
  if (day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  return Ymd{year, month, day};
}

// Three numbers in the locale's order (m/d/y in en-US, d/m/y in en-GB and de-DE), with "/", "-",
// "." or the locale's date separator (the same one twice), and y/m/d with a year of 3 or 4 digits
// in every locale.
std::optional<Ymd> NumericDate(DateCursor& c, const LocaleFormat& format) {
  int a, b, y, a_digits, b_digits, y_digits;
  if (!c.Number(a, a_digits, 4)) return std::nullopt;
  const char sep = c.Peek();
  if (sep != '/' && sep != '-' && sep != '.' && sep != SingleByte(format.date_separator)) {
    return std::nullopt;
  }
  c.Take(sep);
  if (!c.Number(b, b_digits, 2) || !c.Take(sep)) return std::nullopt;
  if (a_digits >= 3) {
    if (!c.Number(y, y_digits, 2)) return std::nullopt;
    return Checked(a, b, y);  // y holds the day here
  }
  if (!c.Number(y, y_digits, 4)) return std::nullopt;
  switch (format.order) {
    case LocaleFormat::DateOrder::kDayMonthYear:
      return Checked(FullYear(y, y_digits), b, a);
    case LocaleFormat::DateOrder::kYearMonthDay:
      if (y_digits > 2) return std::nullopt;
      return Checked(FullYear(a, a_digits), b, y);
    case LocaleFormat::DateOrder::kMonthDayYear:
      break;
  }
  return Checked(FullYear(y, y_digits), a, b);
}

// "Jan 5, 2023", "January 5 2023".
std::optional<Ymd> MonthFirstDate(DateCursor& c, const LocaleFormat&) {
  const int month = MonthFromName(c.Word());
  if (month == 0) return std::nullopt;
  c.SkipBlanks();
  int day, year, digits;
  if (!c.Number(day, digits, 2)) return std::nullopt;
  const bool comma = c.Take(',');
  if (!c.SkipBlanks() && !comma) return std::nullopt;
  if (!c.Number(year, digits, 4)) return std::nullopt;
  return Checked(FullYear(year, digits), month, day);
}

// "5-Jan-2023", "5/Jan/2023", "5 January 2023".
std::optional<Ymd> DayFirstDate(DateCursor& c, const LocaleFormat&) {
  int day, year, digits;
  if (!c.Number(day, digits, 2)) return std::nullopt;
  const char sep = c.Peek();
  if (sep == '-' || sep == '/') {
    c.Take(sep);
  } else if (!c.SkipBlanks()) {
    return std::nullopt;
  }
  const int month = MonthFromName(c.Word());
  if (month == 0) return std::nullopt;
  if (sep == '-' || sep == '/') {
    if (!c.Take(sep)) return std::nullopt;
  } else if (!c.SkipBlanks()) {
    return std::nullopt;
  }
  if (!c.Number(year, digits, 4)) return std::nullopt;
  return Checked(FullYear(year, digits), month, day);
}

// h:mm, h:mm:ss, each with an optional AM or PM (also "a"/"p"), and "5 PM". Returns seconds.
// The locale's time separator is taken beside the colon.
std::optional<int> TimeOfDay(DateCursor& c, const LocaleFormat& format) {
  int hour, minute = 0, second = 0, digits;
  if (!c.Number(hour, digits, 2)) return std::nullopt;
  char sep = c.Peek();
  if (sep != ':' && sep != SingleByte(format.time_separator)) sep = ':';
  const bool has_colon = c.Take(sep);
  if (has_colon) {
    if (!c.Number(minute, digits, 2)) return std::nullopt;
    if (c.Take(sep) && !c.Number(second, digits, 2)) return std::nullopt;
  }
  c.SkipBlanks();
  const std::string marker = c.Word();
  const bool am = marker == "am" || marker == "a";
  const bool pm = marker == "pm" || marker == "p";
  if (!marker.empty() && !am && !pm) return std::nullopt;
  if (!has_colon && !am && !pm) return std::nullopt;
  if (minute > 59 || second > 59) return std::nullopt;
  if (am || pm) {
    if (hour > 12) return std::nullopt;
    if (hour == 12) hour = 0;
    if (pm) hour += 12;
  } else if (hour > 23) {
    return std::nullopt;
  }
  return hour * 3600 + minute * 60 + second;
}

// ---------------------------------------------------------------------------------------------
// Texts of numbers and dates.

// The host's general text of a number: the value rounded to 15 significant digits, in plain
// decimal form when its decimal exponent lies in -5..14, otherwise in E notation with a signed
// exponent of at least two digits ("1E+15", "1E-05", "1.23456789012346E+17"). This is the "%G"
// rule with 15 digits of precision. This is the en-US text.
std::string PlainNumberText(double number) {
  if (number == 0) return "0";
  // A number with a few decimals between 10^-4 and 10^15 is written in full: its 15-digit form is
  // exact, so its text is its digits without trailing zeros, with the fewest decimals that hold it.
  if (std::fabs(number) >= 1e-4) {
    for (int places = 0; places <= 8; ++places) {
      if (const std::optional<std::uint64_t> scaled = ExactScaled(number, places)) {
        return ScaledText(number < 0, *scaled, places);
      }
    }
  }
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15G", number);
  return buffer;
}

// In another locale its decimal separator stands for the point, in E notation too ("1,5E+20").
std::string NumberTextIn(double number, const LocaleFormat& format) {
  std::string text = PlainNumberText(number);
  if (format.decimal == ".") return text;
  if (const std::size_t point = text.find('.'); point != std::string::npos) {
    text.replace(point, 1, format.decimal);
  }
  return text;
}

// The short date with a 4-digit year: m/d/yyyy in en-US, dd/mm/yyyy in en-GB, dd.mm.yyyy in
// de-DE.
std::string ShortDate(const CivilDateTime& t, const LocaleFormat& format) {
  std::string year = std::to_string(t.year);
  if (year.size() < 4) year.insert(0, 4 - year.size(), '0');
  const std::string month = format.pad_month ? Pad2(t.month) : std::to_string(t.month);
  const std::string day = format.pad_day ? Pad2(t.day) : std::to_string(t.day);
  const std::string& sep = format.date_separator;
  switch (format.order) {
    case LocaleFormat::DateOrder::kDayMonthYear:
      return day + sep + month + sep + year;
    case LocaleFormat::DateOrder::kYearMonthDay:
      return year + sep + month + sep + day;
    case LocaleFormat::DateOrder::kMonthDayYear:
      break;
  }
  return month + sep + day + sep + year;
}

// h:mm:ss AM/PM in en-US, HH:mm:ss where the locale keeps a 24-hour clock.
std::string LongTime(const CivilDateTime& t, const LocaleFormat& format) {
  const int hour = format.clock12 ? (t.hour % 12 == 0 ? 12 : t.hour % 12) : t.hour;
  const std::string& sep = format.time_separator;
  std::string text = (format.pad_hour ? Pad2(hour) : std::to_string(hour)) + sep + Pad2(t.minute) +
                     sep + Pad2(t.second);
  if (format.clock12) text += " " + (t.hour < 12 ? format.am : format.pm);
  return text;
}

// The host's general text of a date: the short date; a time of day follows in the long time form;
// a value on day 0 (12/30/1899) shows the time alone, so serial 0 is "12:00:00 AM" in en-US.
std::string DateTextIn(double serial, const LocaleFormat& format) {
  const CivilDateTime t = CivilFromSerial(serial);
  const bool day_zero = t.year == 1899 && t.month == 12 && t.day == 30;
  const bool has_time = t.hour != 0 || t.minute != 0 || t.second != 0;
  if (day_zero) return LongTime(t, format);
  if (!has_time) return ShortDate(t, format);
  return ShortDate(t, format) + " " + LongTime(t, format);
}

}  // namespace

// Accepted forms, beyond plain digits: blanks around the text; one sign, either before the digits
// (blanks may follow it) or after them; or parentheses around the amount for a negative one; a "$"
// straight before the digits (after a leading sign or parenthesis, or before a leading sign);
// commas as thousands separators in the whole part; a decimal point (".5" and "5." are numbers);
// an exponent with e or d ("1D2" is 100). The choices where the host is lax or undocumented:
// - thousands separators must stand between groups of three digits after a first group of one to
//   three digits ("1,000", "12,345,678"); "1,00", ",5" and a comma after the point are rejected;
// - a second decimal point is rejected ("459.." is not a number here, though the host is said to
//   accept it);
// - "%" is not accepted, nor a sign both before and after, nor a sign together with parentheses;
// - a value beyond the range of a double (either way) is not a number.
// In another locale its decimal and thousands separators stand for the point and the comma, and its
// currency symbol for the "$".
std::optional<double> LocaleConversions::ReadNumber(std::string_view text) const {
  const LocaleFormat& format = format_;
  const std::string_view s = Trim(text);
  if (s.empty()) return std::nullopt;
  if (s[0] == '&') return ReadRadix(s.substr(1));
  const std::size_t n = s.size();
  std::size_t i = 0;
  bool negative = false, leading_sign = false, paren = false;
  auto take_sign = [&] {
    if (i < n && (s[i] == '+' || s[i] == '-')) {
      negative = s[i] == '-';
      leading_sign = true;
      ++i;
      while (i < n && IsBlank(s[i])) ++i;
    }
  };
  if (s[i] == '(') {
    paren = true;
    ++i;
  } else {
    take_sign();
  }
  if (At(s, i, format.currency)) {
    i += format.currency.size();
    if (!leading_sign && !paren) take_sign();
  }

  std::string clean;
  std::size_t whole_digits = 0, fraction_digits = 0, group = 0;
  bool grouped = false;
  while (i < n) {
    if (IsDigit(s[i])) {
      clean += s[i++];
      ++whole_digits;
      ++group;
      continue;
    }
    const std::size_t separator = GroupingAt(s, i, format);
    if (separator == 0) break;
    if (whole_digits == 0 || group > 3 || (grouped && group != 3)) return std::nullopt;
    grouped = true;
    group = 0;
    i += separator;
  }
  if (grouped && group != 3) return std::nullopt;
  if (At(s, i, format.decimal)) {
    clean += '.';
    i += format.decimal.size();
    while (i < n && IsDigit(s[i])) {
      clean += s[i++];
      ++fraction_digits;
    }
  }
  if (whole_digits + fraction_digits == 0) return std::nullopt;
  if (i < n && (AsciiLower(s[i]) == 'e' || AsciiLower(s[i]) == 'd')) {
    clean += 'e';
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) clean += s[i++];
    std::size_t exponent_digits = 0;
    while (i < n && IsDigit(s[i])) {
      clean += s[i++];
      ++exponent_digits;
    }
    if (exponent_digits == 0) return std::nullopt;
  }
  while (i < n && IsBlank(s[i])) ++i;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    if (leading_sign || paren) return std::nullopt;
    negative = s[i] == '-';
    ++i;
  }
  if (paren) {
    if (i >= n || s[i] != ')') return std::nullopt;
    negative = true;
    ++i;
  }
  if (i != n) return std::nullopt;

  double value = 0;
  const auto [end, ec] = std::from_chars(clean.data(), clean.data() + clean.size(), value);
  if (ec != std::errc() || end != clean.data() + clean.size()) return std::nullopt;
  return negative ? -value : value;
}

// Forms not read as dates: a day and month without a year ("1/5"; the host would take the current
// year), m/d/y with a month above 12 (the host is said to swap day and month then), a weekday
// name, and two-part texts like "1.5", which stay numbers.
// In another locale three numbers are read in its day/month order, and its date and time
// separators are taken beside the usual ones.
std::optional<double> LocaleConversions::ReadDate(std::string_view text) const {
  const LocaleFormat& format = format_;
  const std::string_view s = Trim(text);
  if (s.empty()) return std::nullopt;

  std::optional<Ymd> date;
  DateCursor after_date(s);
  for (auto form : {NumericDate, MonthFirstDate, DayFirstDate}) {
    DateCursor c(s);
    date = form(c, format);
    if (date) {
      after_date = c;
      break;
    }
  }
  int seconds = 0;
  if (date) {
    if (!after_date.AtEnd()) {
      if (!after_date.SkipBlanks()) return std::nullopt;
      const std::optional<int> time = TimeOfDay(after_date, format);
      if (!time || !after_date.AtEnd()) return std::nullopt;
      seconds = *time;
    }
  } else {
    DateCursor c(s);
    const std::optional<int> time = TimeOfDay(c, format);
    if (!time || !c.AtEnd()) return std::nullopt;
    return *time / 86400.0;
  }
  CivilDateTime civil{date->year,     date->month,       date->day,
                      seconds / 3600, seconds / 60 % 60, seconds % 60};
  return SerialFromCivil(civil);
}

bool Equal(const Value& a, const Value& b) {
  if (a.is_error() || b.is_error()) return false;
  if (a.is_empty() && b.is_empty()) return true;
  if (a.is_text() || b.is_text()) {
    if (a.is_text() && b.is_text()) return a.text() == b.text();
    const Value& text = a.is_text() ? a : b;
    const Value& other = a.is_text() ? b : a;
    return other.is_empty() && text.text().empty();
  }
  // Numbers, dates, logicals and empty (as 0).
  return a.number() == b.number();
}

std::optional<std::string> ShortDecimalText(double number) {
  if (!std::isfinite(number)) return std::nullopt;
  for (int places = 0; places <= 8; ++places) {
    if (const std::optional<std::uint64_t> scaled = ExactScaled(number, places)) {
      return ScaledText(/*negative=*/false, *scaled, places);
    }
  }
  return std::nullopt;
}

double RoundHalfEven(double number, int places) {
  // Beyond these every double is already whole in that place, or rounds to 0.
  if (!std::isfinite(number) || places > 400) return number;
  if (places < -400) return 0.0;
  // A number that has no more places than asked keeps its value (0 loses its sign).
  if (ExactScaled(number, places)) return number == 0 ? 0.0 : number;
  const Decimal15 d = ToDecimal15(number);
  bool exact = false;
  const std::string kept = RoundDigits(d, places, Half::kEven, &exact);
  if (exact) return number;
  if (kept == "0") return 0.0;
  const std::string text = kept + "e" + std::to_string(-places);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return d.negative ? -value : value;
}

std::string FormatWhole(double number) {
  if (!std::isfinite(number)) return PlainNumberText(number);
  if (const std::optional<std::uint64_t> whole = ExactScaled(number, 0)) {
    return ScaledText(number < 0, *whole, 0);
  }
  const Decimal15 d = ToDecimal15(number);
  const std::string kept = RoundDigits(d, 0, Half::kAwayFromZero);
  return (number < 0 ? "-" : "") + kept;
}

std::string FormatFixed(double number, int decimals) {
  if (!std::isfinite(number)) return PlainNumberText(number);
  if (decimals < 0) decimals = 0;
  if (const std::optional<std::uint64_t> scaled = ExactScaled(number, decimals)) {
    return ScaledText(number < 0, *scaled, decimals);
  }
  const Decimal15 d = ToDecimal15(number);
  std::string kept = RoundDigits(d, decimals, Half::kAwayFromZero);
  const std::size_t width = static_cast<std::size_t>(decimals) + 1;
  if (kept.size() < width) kept.insert(0, width - kept.size(), '0');
  if (decimals > 0) {
    const auto point = static_cast<std::ptrdiff_t>(kept.size()) - decimals;
    kept.insert(kept.begin() + point, '.');
  }
  return (number < 0 ? "-" : "") + kept;
}

SignificantDigits RoundSignificant(double number, int count) {
  if (count < 1) count = 1;
  if (count > 15) count = 15;
  SignificantDigits result;
  const std::size_t n = static_cast<std::size_t>(count);
  if (number == 0 || !std::isfinite(number)) {
    result.digits.assign(n, '0');
    return result;
  }
  const Decimal15 d = ToDecimal15(number);
  result.negative = d.negative;
  result.exponent = d.exponent;
  std::string kept = RoundDigits(d, count - 1 - d.exponent, Half::kAwayFromZero);
  if (kept.size() > n) {  // 9.99 to 10.0: one more digit before the point
    ++result.exponent;
    kept.resize(n);
  }
  result.digits = kept;
  return result;
}

std::size_t HostLength(std::string_view text) {
  std::size_t length = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) ++length;  // every byte but a continuation byte starts a character
    if (byte >= 0xF0) ++length;           // a character beyond the first plane takes two units
  }
  return length;
}

std::string LocaleConversions::FormatTimestamp(double serial) const {
  const LocaleFormat& format = format_;
  const CivilDateTime t = CivilFromSerial(serial);
  std::string out;
  out.reserve(24 + format.date_separator.size() + 2 * format.time_separator.size());
  auto append = [&out](int n, bool pad) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    if (pad && end - digits < 2) out += '0';
    out.append(digits, end);
  };
  append(t.month, false);
  out += format.date_separator;
  append(t.day, false);
  out += ' ';
  append(t.hour, true);
  out += format.time_separator;
  append(t.minute, true);
  out += format.time_separator;
  append(t.second, true);
  return out;
}

std::string LocaleConversions::NumberText(double number) const {
  return NumberTextIn(number, format_);
}

std::string LocaleConversions::DateText(double serial) const { return DateTextIn(serial, format_); }

// The fields are taken in their ordinary ranges. Before day 0 the time of day is subtracted from
// the whole day, as the host counts: -1.25 is 12/29/1899 6:00.
double SerialFromCivil(const CivilDateTime& civil) {
  const double days =
      static_cast<double>(DaysFromCivil(civil.year, civil.month, civil.day) - kEpochDays);
  const double time = (civil.hour * 3600 + civil.minute * 60 + civil.second) / 86400.0;
  return days < 0 ? days - time : days + time;
}

// The time of day is rounded to the nearest whole second, carrying into the next day, so a
// displayed time never shows 60 seconds. Serials far outside the date range give 12/30/1899.
CivilDateTime CivilFromSerial(double serial) {
  CivilDateTime civil;
  if (!(std::fabs(serial) < 1e8)) return civil;
  std::int64_t day = static_cast<std::int64_t>(std::trunc(serial));
  const double fraction = std::fabs(serial - static_cast<double>(day));
  std::int64_t seconds = std::llround(fraction * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    day += serial < 0 ? -1 : 1;
  }
  CivilFromDays(day + kEpochDays, civil.year, civil.month, civil.day);
  civil.hour = static_cast<int>(seconds / 3600);
  civil.minute = static_cast<int>(seconds / 60 % 60);
  civil.second = static_cast<int>(seconds % 60);
  return civil;
}

}  // namespace quorvane::host
