#include "engine/run_driver.h"

#include <cstdint>
#include <limits>
#include <string>

#include "engine/matching.h"

namespace quorvane::engine {

namespace {

// The cell and hidden-cell counters are 16-bit and count every cell of a range's used part, blank
// ones included. A range larger than that would overflow them in the middle of a run, after cells
// were already marked; such a run is refused before anything changes.
constexpr std::int64_t kMaxCells = std::numeric_limits<std::int16_t>::max();

std::int64_t CellsInUse(host::Application& app, const host::Range& range) {
  const host::Range used = app.Intersect(range, range.Parent().UsedRange());
  return used.is_nothing() ? 0 : used.CellsCount();
}

}  // namespace

void processform(AddinState& state, host::Range& range1, host::Range& range2) {
  host::Application& app = state.app();
  const std::int64_t items1 = app.CountA(range1);
  const std::int64_t items2 = app.CountA(range2);
  if (items1 > kMaxItems || items2 > kMaxItems) {
    app.MsgBox("Too many items in list.  Max is " + std::to_string(kMaxItems));
    return;
  }
  if (CellsInUse(app, range1) > kMaxCells || CellsInUse(app, range2) > kMaxCells) {
    app.MsgBox("Too many cells in range.  Max is " + std::to_string(kMaxCells));
    return;
  }
  RangeComp(state, range1, range2);
}

}  // namespace quorvane::engine
