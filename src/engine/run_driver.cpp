#include "engine/run_driver.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "analysis/clearing.h"
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

void processform(AddinState& state, host::Range& range1, host::Range& range2) {
  host::Application& app = state.app();
  const std::int64_t items1 = app.CountA(range1);
  const std::int64_t items2 = app.CountA(range2);
  const std::int64_t max_items = state.limits.max_items;
  if (items1 > max_items || items2 > max_items) {
    app.MsgBox("Too many items in list.  Max is " + std::to_string(max_items));
    return;
  }
  if (RefuseTooManyCells(state, range1, range2)) return;
  RangeComp(state, range1, range2);
}

bool RefuseTooManyCells(AddinState& state, const host::Range& range1, const host::Range& range2) {
  host::Application& app = state.app();
  const std::int64_t max = state.limits.max_count;
  if (CellsFitTheCounters(app, range1, max) && CellsFitTheCounters(app, range2, max)) return false;
  app.MsgBox("Too many cells in range.  Max is " + std::to_string(max));
  return true;
}

void ClearComparison(AddinState& state, host::Range& range1, host::Range& range2) {
  analysis::ResetCounts(state);
  RefreshCounts(state);
  analysis::Clearformats(state, range1, range2);
}

}  // namespace quorvane::engine
