// The displayed text of a cell (the host's Range.Text) from its value and number format.
//
// A small, honest set of the host's number formats: "General" (at most 11 characters for a number,
// then exponential form), fixed decimals ("0", "0.00", "#,##0", "#,##0.00", with an optional
// percent sign), dates and times made of d, m, y, h, s and AM/PM, and "@" (text). Column width is
// not taken into account (a narrow column in the real host shows "####"). Texts show as they are,
// logicals as "TRUE"/"FALSE", errors as "#N/A" and the like.
#pragma once

#include <string>
#include <string_view>

#include "host/value.h"

namespace quorvane::host {

inline constexpr std::string_view kGeneralFormat = "General";

std::string FormatDisplay(const Value& value, std::string_view number_format);

// Whether a number format shows dates or times (a cell with such a format holds a date value).
bool IsDateFormat(std::string_view number_format);

}  // namespace quorvane::host
