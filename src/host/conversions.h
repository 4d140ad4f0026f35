// The host's conversions between values, numbers, dates and texts, in its en-US locale.
//
// This is the one place that knows how the host reads a text as a number or a date, how it turns a
// value into text, how it compares two values and how it rounds. The engine, the analysis and every
// host implementation use these functions so that all of them agree.
//
// Dates are serial numbers: day 1 is 12/31/1899, day 0 is 12/30/1899, the time of day the fraction.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "host/value.h"

namespace quorvane::host {

struct LocaleFormat;  // host/locale.h

// Reads a text the way the host converts a text to a number (blanks around it, a sign before or
// after the digits, "$", thousands separators, a decimal point, an exponent with e or d,
// parentheses for a negative amount, &H and &O prefixes). No value for any other text.
std::optional<double> ReadNumber(std::string_view text);

// Reads a text the way the host converts a text to a date: m/d/yyyy and m/d/yy (also with "-" or
// "."), yyyy-m-d and yyyy/m/d, month names ("Jan 5, 2023", "January 5 2023", "5-Jan-2023",
// "5 January 2023"), each optionally followed by a time (h:mm, h:mm:ss, with AM or PM), and a time
// alone. Two-digit years 0-29 are 2000-2029, 30-99 are 1930-1999. Dates run from 1/1/100 to
// 12/31/9999. Returns the serial number.
std::optional<double> ReadDate(std::string_view text);

// Numeric: a number, a logical (true is -1), or a text that reads as a number. Dates, empty and
// error values are not numeric.
bool IsNumeric(const Value& value);

// The number of a numeric value (a numeric text becomes the number it reads as). Raises a
// HostError "Type mismatch" for a value that is not numeric.
double ToNumber(const Value& value);

// Whether the value is a date or a text that reads as a date.
bool IsDate(const Value& value);

// The serial number of a date, or of a text that reads as a date; no value otherwise.
std::optional<double> ToDateSerial(const Value& value);

// The host's general conversion of a value to text: numbers with up to 15 significant digits and
// no separators ("0.3", "1E+15", "-12.5"), dates as m/d/yyyy (a time of day as h:mm:ss AM/PM after
// it, a time alone without the date), texts unchanged, logicals "True"/"False", empty "". Raises a
// HostError "Type mismatch" for an error value.
std::string ToText(const Value& value);

// The host's general comparison "a = b": numbers, dates and logicals compare by numeric value,
// texts exactly (case matters), a number never equals a text. Empty equals 0 and "".
// Error values never compare equal to anything.
bool Equal(const Value& a, const Value& b);

// Rounds to the given number of decimal places, halves to the even digit. The halves are judged on
// the number's 15-digit decimal form, as the host does: 10.125 gives 10.12, 3.875 gives 3.88.
double RoundHalfEven(double number, int places);

// Formats a number with the pattern "0": a whole number, halves away from zero, a minus sign for
// negative results ("-0" for a small negative number, as the host writes it).
std::string FormatWhole(double number);

// Formats a number with the pattern "0" followed by that many decimals ("0.00" for 2): halves away
// from zero on the 15-digit decimal form, a minus sign for any negative number ("-0.00").
std::string FormatFixed(double number, int decimals);

// The decimal a number stands for when it is the double nearest to one with at most 8 decimals
// and 15 digits: written in full without its sign, without trailing zeros after the point and
// without a point when it is whole ("1234.5", "0.00001", "700"). No value for any other number.
std::optional<std::string> ShortDecimalText(double number);

// A number rounded to `count` significant digits (1 to 15) on its 15-digit decimal form, halves
// away from zero: the value is d.ddd... times 10^exponent; zero has exponent 0.
struct SignificantDigits {
  bool negative = false;
  std::string digits;  // exactly `count` digits, the first not 0 unless the number is 0
  int exponent = 0;    // the power of ten of the first digit
};
SignificantDigits RoundSignificant(double number, int count);

// Formats a date-time serial with the pattern "m/d hh:mm:ss", e.g. "1/5 14:03:09".
std::string FormatTimestamp(double serial);

// The same conversions in another locale: its decimal and thousands separators and currency
// symbol in numbers, its day/month order and date separator in dates, its short date and long time
// in the texts of dates, its separators in the timestamp. With the default (en-US) format each
// answers as the function of the same name above.
std::optional<double> ReadNumber(std::string_view text, const LocaleFormat& format);
std::optional<double> ReadDate(std::string_view text, const LocaleFormat& format);
std::string NumberText(double number, const LocaleFormat& format);
std::string DateText(double serial, const LocaleFormat& format);
std::string FormatTimestamp(double serial, const LocaleFormat& format);

// The length of a UTF-8 text in characters as the host counts them (UTF-16 code units).
std::size_t HostLength(std::string_view text);

// Serial numbers and calendar dates.
struct CivilDateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};
double SerialFromCivil(const CivilDateTime& civil);
CivilDateTime CivilFromSerial(double serial);

}  // namespace quorvane::host
