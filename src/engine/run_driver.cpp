#include "engine/run_driver.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "engine/clearing.h"
#include "engine/matching.h"
#include "host/worksheet.h"

namespace quorvane::engine {

namespace {

// The cell and hidden-cell counters count every cell of a range's used part, blank ones included:
// shown cells the one, cells in hidden rows the other. A range that would take either past its
// limit would overflow it in the middle of a run, after cells were already marked; such a run is
// refused before anything changes.
bool CellsFitTheCounters(host::Application& app, const host::Range& range, std::int64_t max) {
  const host::Range used = app.Intersect(range, range.Parent().UsedRange());
  if (used.is_nothing()) return true;
  std::int64_t shown = 0;
  std::int64_t hidden = 0;
  // Every area counts, as the pass visits every cell of every area.
  for (const host::Area& area : used.Areas()) {
    const std::vector<char> rows = used.Parent().RowsHidden(area.top, area.bottom);
    for (const char row_hidden : rows) (row_hidden != 0 ? hidden : shown) += area.columns();
  }
  return shown <= max && hidden <= max;
}

}  // namespace

RunResult CompareRanges(host::Application& app, const host::Range& range1,
                        const host::Range& range2, const state::Options& options,
                        state::RunListener& listener, const state::Limits& limits,
                        state::Algorithm algorithm) {
  RunResult result;
  if (limits.count_items) {
    const std::int64_t items1 = app.CountA(range1);
    const std::int64_t items2 = app.CountA(range2);
    if (items1 > limits.max_items || items2 > limits.max_items) {
      app.MsgBox("Too many items in list.  Max is " + std::to_string(limits.max_items));
      result.outcome = RunResult::Outcome::kRefused;
      return result;
    }
  }
  if (RefuseTooManyCells(app, limits, range1, range2)) {
    result.outcome = RunResult::Outcome::kRefused;
    return result;
  }
  state::Run run(app, options, limits, listener);
  if (!RunMatchingPass(run, range1, range2, algorithm))
    result.outcome = RunResult::Outcome::kStopped;
  result.counters = run.counters;
  result.notices = state::NoticeLines(run);
  return result;
}

bool RefuseTooManyCells(host::Application& app, const state::Limits& limits,
                        const host::Range& range1, const host::Range& range2) {
  const std::int64_t max = limits.max_count;
  if (CellsFitTheCounters(app, range1, max) && CellsFitTheCounters(app, range2, max)) return false;
  app.MsgBox("Too many cells in range.  Max is " + std::to_string(max));
  return true;
}

RunResult ClearMarks(host::Application& app, const host::Range& range1, const host::Range& range2,
                     state::RunListener& listener) {
  const state::Options no_options;  // a clearing reads none
  state::Run run(app, no_options, state::Limits{}, listener);
  state::ResetCounters(run);
  listener.CountsDue();
  RunResult result;
  if (!ClearBothRanges(run, range1, range2)) result.outcome = RunResult::Outcome::kFailed;
  result.counters = run.counters;
  return result;
}

}  // namespace quorvane::engine
