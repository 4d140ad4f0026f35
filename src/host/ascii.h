// Letter case of ASCII text, whatever the process's locale: the host's names, keywords and format
// codes fold only A-Z and a-z, and every other byte (including each byte of UTF-8) stays as it is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvane::host {

constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string AsciiLower(std::string text) {
  for (char& c : text) c = AsciiLower(c);
  return text;
}
inline std::string AsciiUpper(std::string text) {
  for (char& c : text) c = AsciiUpper(c);
  return text;
}

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace quorvane::host
