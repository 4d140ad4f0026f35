// The entries of every comparison (the item limit, then the matching pass) and of the clearing.
#pragma once

#include "host/range.h"
#include "state/state.h"

namespace quorvane::engine {

inline constexpr int kMaxItems = 10000;

// Counts the filled cells of both ranges; refuses with "Too many items in list.  Max is 10000" when
// either holds more than the state's item limit (10000 in the add-in), then as RefuseTooManyCells,
// otherwise runs the matching pass. Host errors pass to the caller. Both ranges are passed on by
// reference.
void processform(AddinState& state, host::Range& range1, host::Range& range2);

// Shows "Too many cells in range.  Max is 32767" and answers true when the shown cells or the
// hidden cells of either range's used part number more than its counter holds (32767 in the
// add-in, whose counters are 16-bit).
bool RefuseTooManyCells(AddinState& state, const host::Range& range1, const host::Range& range2);

// The clearing that a user asks for: the counts reset and shown, then the marks of both ranges
// cleared. A failure shows the clearing's message; it returns normally.
void ClearComparison(AddinState& state, host::Range& range1, host::Range& range2);

}  // namespace quorvane::engine
