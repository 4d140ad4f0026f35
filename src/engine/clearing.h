// The clearing that begins every comparison and makes up "Clear Formatting": the counters reset,
// then the marks of both ranges erased and their cells restored.
#pragma once

#include "host/range.h"
#include "state/state.h"

namespace quorvane::engine {

inline constexpr const char* kClearFailedMessage =
    "Range 1 and Range 2 are not entered correctly - could be empty cells (Clearformats)";

// Resets the counters, then over Range 1 and Range 2 (each resolved to its working range) deletes
// every "CmtNum" rectangle and restores every non-empty cell. Any host error ends it with the
// clearing message, and it answers false; it returns normally.
bool ClearBothRanges(state::Run& run, const host::Range& range1, const host::Range& range2);

}  // namespace quorvane::engine
