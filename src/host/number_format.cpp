#include "host/number_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "host/ascii.h"
#include "host/conversions.h"

namespace quorvane::host {

namespace {

// ---------------------------------------------------------------------------------------------
// General: at most 11 characters, sign and decimal point included. A whole number of up to 11
// digits always shows whole (a negative one then takes 12 characters). Otherwise the plain form
// is rounded to the decimals that fit; the exponential form ("1.23457E+11", "1.2E-11") is used
// when the plain form cannot hold the whole part, or when it shows fewer significant digits.

constexpr int kGeneralWidth = 11;

std::string StripFraction(std::string text) {
  if (text.find('.') == std::string::npos) return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

int SignificantCount(const std::string& plain) {
  std::string digits;
  for (char c : plain) {
    if (c >= '0' && c <= '9') digits += c;
  }
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  const std::size_t last = digits.find_last_not_of('0');
  // Zeros of a whole part count; they are not padding.
  if (plain.find('.') == std::string::npos) return static_cast<int>(digits.size() - first);
  return static_cast<int>(last - first + 1);
}

std::string Exponential(double magnitude, int width, int* significant) {
  // The exponent text takes "E+dd" (or three digits beyond 99); the mantissa gets the rest.
  SignificantDigits r = RoundSignificant(magnitude, 1);
  const int exponent_width = (r.exponent >= 100 || r.exponent <= -100) ? 5 : 4;
  const int count = width - exponent_width - 1;  // "d." plus decimals
  r = RoundSignificant(magnitude, count < 1 ? 1 : count);
  std::string mantissa = r.digits.substr(0, 1);
  std::string rest = r.digits.substr(1);
  while (!rest.empty() && rest.back() == '0') rest.pop_back();
  if (!rest.empty()) mantissa += "." + rest;
  *significant = 1 + static_cast<int>(rest.size());
  const int e = r.exponent < 0 ? -r.exponent : r.exponent;
  std::string exponent = std::to_string(e);
  if (exponent.size() < 2) exponent.insert(0, "0");
  return mantissa + (r.exponent < 0 ? "E-" : "E+") + exponent;
}

std::string General(double number) {
  if (number == 0) return "0";
  const bool negative = number < 0;
  const double magnitude = negative ? -number : number;
  const std::string sign = negative ? "-" : "";
  const int width = kGeneralWidth - (negative ? 1 : 0);

  // A number of a few decimals whose full text fits is shown in full: no rounding to the width
  // changes it, and the exponential form shows no more of its digits.
  if (const std::optional<std::string> full = ShortDecimalText(magnitude);
      full && full->size() <= static_cast<std::size_t>(width)) {
    return sign + *full;
  }
  const int exponent = RoundSignificant(magnitude, 15).exponent;
  std::optional<std::string> plain;
  if (exponent < kGeneralWidth) {
    const int whole_digits = exponent >= 0 ? exponent + 1 : 1;
    const int decimals = width - whole_digits - 1;
    std::string text = StripFraction(FormatFixed(magnitude, decimals > 0 ? decimals : 0));
    const std::size_t point = text.find('.');
    const std::size_t whole = point == std::string::npos ? text.size() : point;
    if (whole <= static_cast<std::size_t>(kGeneralWidth)) plain = text;
  }
  int exponential_significant = 0;
  const std::string exponential = Exponential(magnitude, width, &exponential_significant);
  if (plain && SignificantCount(*plain) >= exponential_significant) return sign + *plain;
  if (plain && exponent >= 0) return sign + *plain;
  return sign + exponential;
}

// ---------------------------------------------------------------------------------------------
// Fixed formats: "0", "0.00", "#,##0", "#,##0.00", each optionally ending in "%".

struct FixedFormat {
  bool grouping = false;
  int decimals = 0;
  bool percent = false;
};

std::optional<FixedFormat> ParseFixed(std::string_view format) {
  FixedFormat f;
  if (format.substr(0, 4) == "#,##") {
    f.grouping = true;
    format.remove_prefix(4);
  }
  if (format.empty() || format[0] != '0') return std::nullopt;
  format.remove_prefix(1);
  if (!format.empty() && format[0] == '.') {
    format.remove_prefix(1);
    while (!format.empty() && format[0] == '0') {
      ++f.decimals;
      format.remove_prefix(1);
    }
    if (f.decimals == 0) return std::nullopt;
  }
  if (!format.empty() && format[0] == '%') {
    f.percent = true;
    format.remove_prefix(1);
  }
  if (!format.empty()) return std::nullopt;
  return f;
}

std::string Fixed(double number, const FixedFormat& f) {
  if (f.percent) number *= 100;
  std::string text = FormatFixed(number, f.decimals);
  if (f.grouping) {
    const std::size_t start = text[0] == '-' ? 1 : 0;
    std::size_t end = text.find('.');
    if (end == std::string::npos) end = text.size();
    for (std::size_t i = end; i > start + 3; i -= 3) text.insert(i - 3, ",");
  }
  return f.percent ? text + "%" : text;
}

// ---------------------------------------------------------------------------------------------
// Date and time formats.

enum class Part { kLiteral, kYear, kMonth, kMinute, kDay, kHour, kSecond, kAmPm, kAP };

struct Token {
  Part part;
  int length = 0;    // letters in the code ("mmm" is 3)
  std::string text;  // a literal, or the AM/PM code as written
};

bool IsCode(char c) {
  const char l = AsciiLower(c);
  return l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 's';
}

std::vector<Token> Tokenize(std::string_view format) {
  std::vector<Token> tokens;
  auto literal = [&](std::string_view text) {
    if (!tokens.empty() && tokens.back().part == Part::kLiteral) {
      tokens.back().text += text;
    } else {
      tokens.push_back(Token{Part::kLiteral, 0, std::string(text)});
    }
  };
  std::size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    if (c == '"') {
      const std::size_t close = format.find('"', i + 1);
      const std::size_t end = close == std::string_view::npos ? format.size() : close;
      literal(format.substr(i + 1, end - i - 1));
      i = end + 1;
    } else if (c == '\\') {
      if (i + 1 < format.size()) literal(format.substr(i + 1, 1));
      i += 2;
    } else if (c == '[') {  // colours and locale codes; elapsed-time brackets are not covered
      const std::size_t close = format.find(']', i);
      i = close == std::string_view::npos ? format.size() : close + 1;
    } else if (EqualsIgnoringAsciiCase(format.substr(i, 5), "AM/PM")) {
      tokens.push_back(Token{Part::kAmPm, 5, std::string(format.substr(i, 5))});
      i += 5;
    } else if (EqualsIgnoringAsciiCase(format.substr(i, 3), "A/P")) {
      tokens.push_back(Token{Part::kAP, 3, std::string(format.substr(i, 3))});
      i += 3;
    } else if (IsCode(c)) {
      std::size_t j = i;
      while (j < format.size() && AsciiLower(format[j]) == AsciiLower(c)) ++j;
      const char l = AsciiLower(c);
      const Part part = l == 'y'   ? Part::kYear
                        : l == 'm' ? Part::kMonth
                        : l == 'd' ? Part::kDay
                        : l == 'h' ? Part::kHour
                                   : Part::kSecond;
      tokens.push_back(Token{part, static_cast<int>(j - i), {}});
      i = j;
    } else {
      literal(format.substr(i, 1));
      ++i;
    }
  }
  // "m" or "mm" right after an hour code or right before a seconds code is the minute.
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    if (tokens[k].part != Part::kMonth || tokens[k].length > 2) continue;
    std::size_t before = k, after = k + 1;
    while (before > 0 && tokens[before - 1].part == Part::kLiteral) --before;
    while (after < tokens.size() && tokens[after].part == Part::kLiteral) ++after;
    if ((before > 0 && tokens[before - 1].part == Part::kHour) ||
        (after < tokens.size() && tokens[after].part == Part::kSecond)) {
      tokens[k].part = Part::kMinute;
    }
  }
  return tokens;
}

constexpr const char* kMonthNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};
constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

std::string Number(int n, int width) {
  std::string s = std::to_string(n);
  if (s.size() < static_cast<std::size_t>(width)) s.insert(0, width - s.size(), '0');
  return s;
}

// A cell cannot show a negative serial or one after 12/31/9999 as a date; the host fills it with
// "#" then. Serials before 3/1/1900 are shown by the macro language's calendar, which has no
// 2/29/1900, so they are one day off the host's cell calendar.
constexpr double kLastSerialEnd = 2958466;

std::string DateDisplay(double serial, std::string_view format) {
  if (serial < 0 || serial >= kLastSerialEnd) return "########";
  const std::vector<Token> tokens = Tokenize(format);
  bool twelve_hour = false;
  for (const Token& t : tokens) {
    if (t.part == Part::kAmPm || t.part == Part::kAP) twelve_hour = true;
  }
  const CivilDateTime c = CivilFromSerial(serial);
  const auto days = static_cast<std::int64_t>(SerialFromCivil({c.year, c.month, c.day}));
  const int weekday = static_cast<int>(((days + 6) % 7 + 7) % 7);  // day 0 was a Saturday
  std::string out;
  for (const Token& t : tokens) {
    switch (t.part) {
      case Part::kLiteral:
        out += t.text;
        break;
      case Part::kYear:
        out += t.length <= 2 ? Number(c.year % 100, 2) : Number(c.year, 4);
        break;
      case Part::kMonth:
        if (t.length <= 2) {
          out += Number(c.month, t.length);
        } else if (t.length == 3) {
          out += std::string(kMonthNames[c.month - 1]).substr(0, 3);
        } else if (t.length == 4) {
          out += kMonthNames[c.month - 1];
        } else {
          out += kMonthNames[c.month - 1][0];
        }
        break;
      case Part::kDay:
        if (t.length <= 2) {
          out += Number(c.day, t.length);
        } else if (t.length == 3) {
          out += std::string(kDayNames[weekday]).substr(0, 3);
        } else {
          out += kDayNames[weekday];
        }
        break;
      case Part::kHour: {
        const int hour = twelve_hour ? (c.hour % 12 == 0 ? 12 : c.hour % 12) : c.hour;
        out += Number(hour, t.length >= 2 ? 2 : 1);
        break;
      }
      case Part::kMinute:
        out += Number(c.minute, t.length);
        break;
      case Part::kSecond:
        out += Number(c.second, t.length >= 2 ? 2 : 1);
        break;
      case Part::kAmPm: {
        // The case of each letter as written: "AM/PM" gives "PM", "am/pm" gives "pm".
        const bool pm = c.hour >= 12;
        out += pm ? t.text.substr(3, 1) + t.text.substr(4, 1)
                  : t.text.substr(0, 1) + t.text.substr(1, 1);
        break;
      }
      case Part::kAP:
        out += c.hour >= 12 ? t.text.substr(2, 1) : t.text.substr(0, 1);
        break;
    }
  }
  return out;
}

// A date value under General: m/d/yyyy for a whole day, the time alone on day 0, otherwise
// m/d/yyyy h:mm as the host writes a date with a time.
std::string GeneralDate(double serial) {
  const CivilDateTime c = CivilFromSerial(serial);
  const bool has_time = c.hour != 0 || c.minute != 0 || c.second != 0;
  if (c.year == 1899 && c.month == 12 && c.day == 30 && has_time) {
    return DateDisplay(serial, "h:mm:ss AM/PM");
  }
  return DateDisplay(serial, has_time ? "m/d/yyyy h:mm" : "m/d/yyyy");
}

std::string NumberDisplay(const Value& value, std::string_view format) {
  const double number = value.number();
  if (format.empty() || EqualsIgnoringAsciiCase(format, kGeneralFormat) || format == "@") {
    return value.is_date() ? GeneralDate(number) : General(number);
  }
  // A fixed format holds no date code, so it is tried first: it is the common one for amounts.
  if (const std::optional<FixedFormat> fixed = ParseFixed(format)) return Fixed(number, *fixed);
  if (IsDateFormat(format)) return DateDisplay(number, format);
  return value.is_date() ? GeneralDate(number) : General(number);  // a format not covered
}

}  // namespace

std::string FormatDisplay(const Value& value, std::string_view number_format) {
  switch (value.kind()) {
    case ValueKind::kEmpty:
      return "";
    case ValueKind::kText:
      return value.text();
    case ValueKind::kLogical:
      return value.logical() ? "TRUE" : "FALSE";
    case ValueKind::kError:
      return CellErrorText(value.error());
    case ValueKind::kNumber:
    case ValueKind::kDate:
      return NumberDisplay(value, number_format);
  }
  return "";
}

bool IsDateFormat(std::string_view number_format) {
  if (EqualsIgnoringAsciiCase(number_format, kGeneralFormat)) return false;
  for (const Token& t : Tokenize(number_format)) {
    if (t.part != Part::kLiteral) return true;
  }
  return false;
}

}  // namespace quorvane::host
