// The host's conversions as the macro language makes them on this machine: OLE Automation's own
// conversions in the user's locale, as CDbl, CDate and CStr call them, and the user's date and
// time separators in the timestamp. Stateless: the user's settings are read at each call, so a
// change in the Control Panel takes effect at the next run.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/locale.h"

namespace quorvane::windows {

class OleConversions : public host::Conversions {
 public:
  // VarR8FromStr, as CDbl: no value where it fails (not a number, or out of range).
  std::optional<double> ReadNumber(std::string_view text) const override;
  // VarDateFromStr, as CDate.
  std::optional<double> ReadDate(std::string_view text) const override;
  // VarBstrFromR8 and VarBstrFromDate, as CStr.
  std::string NumberText(double number) const override;
  std::string DateText(double serial) const override;
  // "m/d hh:mm:ss" with the user's LOCALE_SDATE and LOCALE_STIME, as Format would write it.
  std::string FormatTimestamp(double serial) const override;
  std::string DecimalSeparator() const override;
  std::string DateSeparator() const override;
};

}  // namespace quorvane::windows
