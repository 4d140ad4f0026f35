// Marking a mismatched cell: the result block and the format memo in its comment, the rectangle
// with the two counts, and the mismatch fill.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/state.h"
#include "host/range.h"

namespace quorvane::engine {

inline constexpr int kFewerColor = 11120637;  // light red: this list holds the value fewer times
inline constexpr int kMoreColor = 6745634;    // green: this list holds it more times

// The key that begins the memo of a cell's previous fill; a comment holding it anywhere has a memo.
inline constexpr std::string_view kMemoKey = "zvk_color";

// The memo of a cell's previous fill: two line feeds, then "<<<zvk_color=C,zvk_pattern=P>>>".
std::string FormatMemo(double color, double pattern);

void MarkMismatch(AddinState& state, const host::Range& cell, const std::string& tag,
                  std::int64_t count_here, std::int64_t count_there);

}  // namespace quorvane::engine
