// Reading A1-style references as the host's Range(text) and its input box accept them.
//
// "A2", "$A$2:$B$9", "A:A", "3:5", "Sheet1!A2:A40", "'My Sheet'!A:A", "[Book1.xlsx]Sheet1!$A$2",
// "'[wb with ''quote''.xlsx]Sheet 1'!B2:B9", several areas joined by ",". Whole columns run over all
// rows, whole rows over all columns.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/range.h"

namespace quorvane::host {

struct Reference {
  std::optional<std::string> workbook;  // without brackets, doubled quotes undone
  std::optional<std::string> sheet;     // doubled quotes undone
  std::vector<Area> areas;              // at least one
};

// No value when the text is not a reference.
std::optional<Reference> ParseReference(std::string_view text);

}  // namespace quorvane::host
