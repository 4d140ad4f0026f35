// Writing the marks: a mismatched cell's result block and fill memo in its comment, its rectangle
// with the two counts and its mismatch fill; the diagnosis's shading of a pair and its blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/range.h"

namespace quorvane::marks {

// Marks a mismatched cell of the pass with the tag ("A" or "B"): the result block (with the
// host's time) in front of its comment, the memo of its fill from before its first marking, the
// rectangle, then the mismatch fill. The comment is shown or hidden as `show_comment` says. A
// block that would take the comment past the host's limit is left out, and with no memo in the
// comment the cell keeps its fill as well. A cell that holds a threaded comment gets its rectangle
// only: no note can be written there, and a fill without the memo in a note could never be given
// back. Host errors pass to the caller.
enum class Marked { kFully, kByBoxOnly };
Marked MarkMismatch(host::Application& app, const host::Range& cell, const std::string& tag,
                    std::int64_t count_here, std::int64_t count_there, bool show_comment);

// Whether the cell holds a threaded comment; a host without threaded comments raises when asked,
// and its cells hold none.
bool HoldsThreadedComment(const host::Range& cell);

// Shades both cells of a diagnosed pair with the diagnosed pattern, then gives each a comment to
// write into if it has none. A cell that holds a threaded comment is left as it is. Answers which
// of the two were shaded (and so take the pair's blocks).
struct Shaded {
  bool a = true;
  bool b = true;
};
Shaded ShadePair(const host::Range& a, const host::Range& b);
// The same for every cell of a finding that names more than a pair: all are shaded, then each
// gets a comment. Its cells are marked cells, which a threaded comment never is.
void ShadeCells(const std::vector<host::Range>& cells);

// Puts a block in front of the cell's comment, unless that would take it past the host's limit.
void PrependBlock(const host::Range& cell, const std::string& block);

}  // namespace quorvane::marks
