// The core's entries: one comparison of two ranges, and one clearing of their marks. The ribbon's
// buttons and the command-line tool both call them; whatever shows a run's progress listens.
#pragma once

#include <vector>

#include "host/application.h"
#include "host/range.h"
#include "state/state.h"

namespace quorvane::engine {

inline constexpr int kMaxItems = 10000;

// What a comparison or a clearing ended with.
struct RunResult {
  enum class Outcome {
    kDone,
    kRefused,  // too many items or cells: refused with the add-in's message before anything changed
    kStopped,  // a stop request ended the matching pass, with "User Stopped"
    kFailed,   // the clearing ended with its message
  };
  Outcome outcome = Outcome::kDone;
  state::Counters counters;
  // The notices of a comparison, each with its cell.
  std::vector<state::NoticeLine> notices;
};

// One comparison of Range 1 against Range 2. With limits.count_items it counts the filled cells
// of both ranges and refuses with "Too many items in list.  Max is 10000" when either holds more
// than limits.max_items; then as RefuseTooManyCells; otherwise it clears the marks of an earlier
// run and runs the matching pass (marking every mismatch) and the diagnosis. The options are read
// at each use, so a caller may change them while the run yields. The listener is told the
// counters, notices, marks and findings as they come. Host errors pass to the caller, after what
// the listener was told.
RunResult CompareRanges(host::Application& app, const host::Range& range1,
                        const host::Range& range2, const state::Options& options,
                        state::RunListener& listener, const state::Limits& limits = {},
                        state::Algorithm algorithm = state::Algorithm::kIndexed);

// The clearing that a user asks for: the counters reset (and told to the listener, then a moment
// to show them all), then the marks of both ranges cleared and every marked cell's fill restored.
// A failure shows the clearing's message and ends with kFailed; it returns normally.
RunResult ClearMarks(host::Application& app, const host::Range& range1, const host::Range& range2,
                     state::RunListener& listener);

// Shows "Too many cells in range.  Max is 32767" and answers true when the shown cells or the
// hidden cells of either range's used part number more than its counter holds (32767 in the
// add-in, whose counters are 16-bit).
bool RefuseTooManyCells(host::Application& app, const state::Limits& limits,
                        const host::Range& range1, const host::Range& range2);

}  // namespace quorvane::engine
