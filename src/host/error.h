// The one error type of the host boundary.
//
// Every failure that the spreadsheet host reports (a member call that fails, a conversion the host
// refuses, an overflow of a 16-bit counter) is raised as a HostError carrying the host's own
// description. Callers either let it pass to their caller, catch it to skip one step, or catch it to
// report it through their own message; which one is visible at each call site.
#pragma once

#include <stdexcept>
#include <string>

namespace quorvane::host {

class HostError : public std::runtime_error {
 public:
  explicit HostError(const std::string& description) : std::runtime_error(description) {}
  std::string description() const { return what(); }
};

// Descriptions the host uses for its common run-time errors.
inline constexpr const char* kTypeMismatch = "Type mismatch";
inline constexpr const char* kOverflow = "Overflow";
inline constexpr const char* kObjectNotSet = "Object variable or With block variable not set";
inline constexpr const char* kSubscriptOutOfRange = "Subscript out of range";

}  // namespace quorvane::host
