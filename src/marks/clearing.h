// Erasing the marks and restoring what they covered: every rectangle of a range's sheet goes, and
// every marked cell gets its previous fill back and its comment without the add-in's blocks.
#pragma once

#include <optional>
#include <set>
#include <tuple>

#include "host/range.h"
#include "host/worksheet.h"

namespace quorvane::marks {

// Restores the fill recorded in the cell's memo and cuts the add-in's blocks out of its comment;
// a comment holding nothing of the add-in's stays as it is. A memo that cannot be read fails as
// the host fails on it. Host errors pass to the caller.
void RestoreCellFormat(const host::Range& cell);

// Clears the marks of one range after the other (the working ranges of a clearing: each the part
// of a range inside its sheet's used range), restoring each cell once: after its first restoring
// a cell's comment is the user's alone.
class MarkEraser {
 public:
  // Deletes every rectangle of the range's sheet (when the range has cells), then restores every
  // non-empty cell of the range that an earlier range of this eraser did not hold. Host errors
  // pass to the caller.
  void ClearRange(const host::Range& working);

 private:
  // A single block has no cell twice, and a cell of a later range that the first range's single
  // block holds was restored with it; the cells of ranges of several areas are recorded.
  std::set<std::tuple<const host::Worksheet*, int, int>> restored_;
  std::optional<host::Range> first_block_;  // the first range, when a single block
  bool first_ = true;
};

}  // namespace quorvane::marks
