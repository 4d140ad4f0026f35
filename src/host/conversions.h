// The host's conversions that do not depend on the user's locale: how it compares two values, how
// it rounds and formats numbers with fixed patterns, how it counts characters, and serial dates.
// Reading a text as a number or a date and writing a value as text go through host::Conversions
// (host/locale.h), in a locale given explicitly.
//
// Dates are serial numbers: day 1 is 12/31/1899, day 0 is 12/30/1899, the time of day the fraction.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "host/value.h"

namespace quorvane::host {

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
