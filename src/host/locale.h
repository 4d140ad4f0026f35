// The user's regional settings, as the host's conversions between texts, numbers and dates see
// them.
//
// `Conversions` is what the core asks whenever it reads a text as a number or a date, turns a value
// into text or writes a timestamp: the host answers in its user's locale. Every host has one
// through host::Application; the in-memory host answers in en-US unless it is given another.
// `LocaleConversions` answers from a `LocaleFormat` (the separators and date order of one locale)
// with the same grammar as the en-US functions of conversions.h, which it equals for the default
// format. Both are immutable after construction and may be shared between threads.
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

  // Reads a text as the host's text-to-number conversion does; no value for any other text.
  virtual std::optional<double> ReadNumber(std::string_view text) const = 0;
  // Reads a text as the host's text-to-date conversion does: the serial number, or no value.
  virtual std::optional<double> ReadDate(std::string_view text) const = 0;
  // A number's general text: up to 15 significant digits, the locale's decimal separator, no
  // thousands separators ("1234,5" in de-DE).
  virtual std::string NumberText(double number) const = 0;
  // A date's general text: the short date with a 4-digit year, a time of day after it in the long
  // time form, a time alone on day 0.
  virtual std::string DateText(double serial) const = 0;
  // The pattern "m/d hh:mm:ss" with the locale's date and time separators ("1.5 14:03:09" in
  // de-DE).
  virtual std::string FormatTimestamp(double serial) const = 0;
  // The separators the texts above use.
  virtual std::string DecimalSeparator() const = 0;
  virtual std::string DateSeparator() const = 0;

  // Built on the above, as the en-US functions of conversions.h are.
  bool IsNumeric(const Value& value) const;
  // Raises a HostError "Type mismatch" for a value that is not numeric.
  double ToNumber(const Value& value) const;
  std::optional<double> ToDateSerial(const Value& value) const;
  bool IsDate(const Value& value) const { return ToDateSerial(value).has_value(); }
  // Raises a HostError "Type mismatch" for an error value.
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

// The en-US conversions every host answers unless it knows better.
const Conversions& EnUsConversions();

}  // namespace quorvane::host
