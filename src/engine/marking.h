// Marking a mismatched cell: the result block and the format memo in its comment, the rectangle
// with the two counts, and the mismatch fill.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/state.h"
#include "host/range.h"

namespace quorvane::engine {

inline constexpr int kFewerColor = 11120637;  // light red: this list holds the value fewer times
inline constexpr int kMoreColor = 6745634;    // green: this list holds it more times

// The key that begins the memo of a cell's previous fill.
inline constexpr std::string_view kMemoKey = "zvk_color";

// The memo of a cell's previous fill: two line feeds, then "<<<zvk_color=C,zvk_pattern=P>>>".
std::string FormatMemo(double color, double pattern);

// Where the add-in's own text stands in a comment. It is a run of blocks, each beginning
// "<<< " + a timestamp "m/d hh:mm:ss" (digits with the separators of the locale it was written
// under) + ":" + a line feed and ending with a line feed + ">>>", one per line, and after them the
// memo. Everything else, markers included, is the user's.
struct AddinText {
  static constexpr std::size_t kNone = std::string_view::npos;
  std::size_t begin = kNone;  // where the first block begins; kNone: the comment holds none
  std::size_t end = kNone;    // just after the last block or the memo; kNone: a memo left open
  std::size_t memo = kNone;   // where the memo's "<<<zvk_color=" begins; kNone: no memo
};
AddinText FindAddinText(std::string_view comment);

void MarkMismatch(AddinState& state, const host::Range& cell, const std::string& tag,
                  std::int64_t count_here, std::int64_t count_there);

}  // namespace quorvane::engine
