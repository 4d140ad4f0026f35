// Clearing the marks of a comparison and restoring every marked cell's previous fill.
#pragma once

#include "host/range.h"
#include "state/state.h"

namespace quorvane::analysis {

inline constexpr const char* kClearFailedMessage =
    "Range 1 and Range 2 are not entered correctly - could be empty cells (Clearformats)";

// Resets the counters, then over Range 1 and Range 2 deletes every "CmtNum" rectangle and restores
// every non-empty cell. Any host error ends it with the clearing message, and it answers false;
// it returns normally.
bool Clearformats(engine::Run& state, const host::Range& range1, const host::Range& range2);
// Restores the fill recorded in the cell's memo and cuts the add-in's blocks out of its comment.
void RestoreCellFormat(const host::Range& cell);

}  // namespace quorvane::analysis
