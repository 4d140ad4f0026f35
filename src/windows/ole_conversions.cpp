#include "windows/ole_conversions.h"

#include <windows.h>

#include <oleauto.h>

#include "host/conversions.h"
#include "windows/com_util.h"

namespace quorvane::windows {
namespace {

// One of the user's locale settings; `fallback` when the call fails.
std::string UserLocaleInfo(LCTYPE type, const char* fallback) {
  wchar_t buffer[16] = {};
  const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 16);
  if (length <= 1) return fallback;
  return Narrow(std::wstring_view(buffer, static_cast<std::size_t>(length - 1)));
}

std::string Taken(BSTR text) {
  std::string utf8 = Narrow(text);
  SysFreeString(text);
  return utf8;
}

std::string Pad2(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

}  // namespace

std::optional<double> OleConversions::ReadNumber(std::string_view text) const {
  std::wstring wide = Widen(text);  // the calls take a non-const pointer
  double number = 0;
  if (FAILED(VarR8FromStr(wide.data(), LOCALE_USER_DEFAULT, 0, &number))) return std::nullopt;
  return number;
}

std::optional<double> OleConversions::ReadDate(std::string_view text) const {
  std::wstring wide = Widen(text);  // the calls take a non-const pointer
  DATE date = 0;
  if (FAILED(VarDateFromStr(wide.data(), LOCALE_USER_DEFAULT, 0, &date))) return std::nullopt;
  return date;
}

std::string OleConversions::NumberText(double number) const {
  BSTR text = nullptr;
  if (FAILED(VarBstrFromR8(number, LOCALE_USER_DEFAULT, 0, &text))) {
    return host::EnUsConversions().NumberText(number);
  }
  return Taken(text);
}

std::string OleConversions::DateText(double serial) const {
  BSTR text = nullptr;
  if (FAILED(VarBstrFromDate(serial, LOCALE_USER_DEFAULT, 0, &text))) {
    return host::EnUsConversions().DateText(serial);
  }
  return Taken(text);
}

std::string OleConversions::FormatTimestamp(double serial) const {
  const host::CivilDateTime t = host::CivilFromSerial(serial);
  const std::string time = UserLocaleInfo(LOCALE_STIME, ":");
  return std::to_string(t.month) + UserLocaleInfo(LOCALE_SDATE, "/") + std::to_string(t.day) + " " +
         Pad2(t.hour) + time + Pad2(t.minute) + time + Pad2(t.second);
}

std::string OleConversions::DecimalSeparator() const {
  return UserLocaleInfo(LOCALE_SDECIMAL, ".");
}

std::string OleConversions::DateSeparator() const { return UserLocaleInfo(LOCALE_SDATE, "/"); }

}  // namespace quorvane::windows
