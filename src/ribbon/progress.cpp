#include "ribbon/progress.h"

#include <array>

namespace quorvane::ribbon {

std::string_view CountLabel(state::Counter counter) {
  // Indexed by Counter.
  static constexpr std::array<std::string_view, state::kCounterCount> kLabels{
      "lblCount01",      "lblCount02",      "lblMatch01",       "lblMatch02",
      "lblNoMatch01",    "lblNoMatch02",    "lblPossibleTP01",  "lblPossibleTP02",
      "lblPossibleYO01", "lblPossibleYO02", "lblHiddenCells01", "lblHiddenCells02"};
  return kLabels[static_cast<int>(counter)];
}

void RunProgress::Started() {
  state_.stop_requested = state::kFalse;
  state::ClearNotices(state_);
}

bool RunProgress::StopRequested() { return state_.stop_requested != state::kFalse; }

void RunProgress::CounterChanged(state::Counter counter, std::int32_t value) {
  form_.ShowCount(counter, value);
}

void RunProgress::CellCounted(state::Counter counter) {
  state::RefreshControl(state_, std::string(CountLabel(counter)));
}

void RunProgress::CountsDue() { state::RefreshCounts(state_); }

void RunProgress::Noticed(const host::Range& cell, state::NoticeKind /*kind*/,
                          const std::string& line) {
  if (!state_.notices.empty()) state_.notices += "\n";
  state_.notices += line;
  state_.notice_cells.push_back(cell);
}

void RunProgress::Explained(state::ExplainedKind /*kind*/, const std::vector<host::Range>& cells1,
                            const std::vector<host::Range>& cells2, const std::string& message) {
  const host::Range& cell = cells1.empty() ? cells2.front() : cells1.front();
  Noticed(cell, state::NoticeKind::kError, cell.Address(true) + ": " + message);
}

}  // namespace quorvane::ribbon
