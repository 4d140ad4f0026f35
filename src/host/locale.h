// The user's regional settings, and the host's conversions between texts, numbers and dates in
// them.
//
// `Conversions` is the one way the core reads a text as a number or a date, turns a value into
// text or writes a timestamp: the host answers in its user's locale. Every host has one through
// host::Application; the in-memory host answers in en-US unless it is given another.
// `LocaleConversions` answers from a `LocaleFormat` (the separators and date order of one locale);
// en-US is one such locale, the default format, shared as EnUsConversions(). Both are immutable
// after construction and may be shared between threads.
//
// Dates are serial numbers: day 1 is 12/31/1899, day 0 is 12/30/1899, the time of day the fraction.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/value.h"

namespace quorvane::host {

// How one locale writes numbers, dates and times. The defaults are en-US.
struct LocaleFormat {
  enum class DateOrder { kMonthDayYear, kDayMonthYear, kYearMonthDay };

  std::string decimal = ".";   // "," in de-DE and fr-FR
  std::string grouping = ",";  // "." in de-DE; a (narrow) no-break space in fr-FR
  std::string currency = "$";  // accepted before the digits when reading a number
  DateOrder order = DateOrder::kMonthDayYear;
  std::string date_separator = "/";  // "." in de-DE
  bool pad_day = false;              // the short date writes "05" for the 5th
  bool pad_month = false;
  std::string time_separator = ":";
  bool clock12 = true;  // the long time: 1:05:09 PM, or 13:05:09 when false
  bool pad_hour = false;
  std::string am = "AM";
  std::string pm = "PM";

  bool operator==(const LocaleFormat&) const = default;
};

class Conversions {
 public:
  virtual ~Conversions() = default;

  // Reads a text as the host's text-to-number conversion does (blanks around it, a sign before or
  // after the digits, the currency symbol, thousands separators, a decimal separator, an exponent
  // with e or d, parentheses for a negative amount, &H and &O prefixes); no value for any other
  // text.
  virtual std::optional<double> ReadNumber(std::string_view text) const = 0;
  // Reads a text as the host's text-to-date conversion does: three numbers in the locale's
  // day/month order (m/d/yyyy and m/d/yy in en-US, also with "-" or "."), yyyy-m-d and yyyy/m/d,
  // English month names ("Jan 5, 2023", "January 5 2023", "5-Jan-2023", "5 January 2023"), each
  // optionally followed by a time (h:mm, h:mm:ss, with AM or PM), and a time alone. Two-digit
  // years 0-29 are 2000-2029, 30-99 are 1930-1999. Dates run from 1/1/100 to 12/31/9999. The
  // serial number, or no value.
  virtual std::optional<double> ReadDate(std::string_view text) const = 0;
  // A number's general text: up to 15 significant digits, the locale's decimal separator, no
  // thousands separators ("0.3", "1E+15", "-12.5"; "1234,5" in de-DE).
  virtual std::string NumberText(double number) const = 0;
  // A date's general text: the short date with a 4-digit year (m/d/yyyy in en-US), a time of day
  // after it in the long time form (h:mm:ss AM/PM), a time alone on day 0.
  virtual std::string DateText(double serial) const = 0;
  // The pattern "m/d hh:mm:ss" with the locale's date and time separators ("1/5 14:03:09";
  // "1.5 14:03:09" in de-DE).
  virtual std::string FormatTimestamp(double serial) const = 0;
  // The separators the texts above use.
  virtual std::string DecimalSeparator() const = 0;
  virtual std::string DateSeparator() const = 0;

  // Built on the above.
  // Numeric: a number, a logical (true is -1), or a text that reads as a number. Dates, empty and
  // error values are not numeric.
  bool IsNumeric(const Value& value) const;
  // The number of a numeric value (a numeric text becomes the number it reads as). Raises a
  // HostError "Type mismatch" for a value that is not numeric.
  double ToNumber(const Value& value) const;
  // The serial number of a date, or of a text that reads as a date; no value otherwise.
  std::optional<double> ToDateSerial(const Value& value) const;
  // Whether the value is a date or a text that reads as a date.
  bool IsDate(const Value& value) const { return ToDateSerial(value).has_value(); }
  // The host's general conversion of a value to text: numbers and dates as above, texts
  // unchanged, logicals "True"/"False" (in every locale), empty "". Raises a HostError "Type
  // mismatch" for an error value.
  std::string ToText(const Value& value) const;
};

class LocaleConversions : public Conversions {
 public:
  explicit LocaleConversions(LocaleFormat format = {}) : format_(std::move(format)) {}

  std::optional<double> ReadNumber(std::string_view text) const override;
  std::optional<double> ReadDate(std::string_view text) const override;
  std::string NumberText(double number) const override;
  std::string DateText(double serial) const override;
  std::string FormatTimestamp(double serial) const override;
  std::string DecimalSeparator() const override { return format_.decimal; }
  std::string DateSeparator() const override { return format_.date_separator; }

  const LocaleFormat& format() const { return format_; }

 private:
  LocaleFormat format_;
};

// The en-US conversions (the default format) every host answers unless it knows better.
const Conversions& EnUsConversions();

}  // namespace quorvane::host
