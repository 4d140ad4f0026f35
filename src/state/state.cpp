#include "state/state.h"

#include <limits>
#include <string>
#include <utility>

#include "host/error.h"

namespace quorvane::engine {

namespace {

struct CounterNames {
  std::string_view form_label;
  std::string_view ribbon_label;
};

// Indexed by Counter.
constexpr std::array<CounterNames, kCounterCount> kCounterNames{{
    {"lblCount1", "lblCount01"},
    {"lblCount2", "lblCount02"},
    {"lblMatch1", "lblMatch01"},
    {"lblMatch2", "lblMatch02"},
    {"lblMismatch1", "lblNoMatch01"},
    {"lblMismatch2", "lblNoMatch02"},
    {"lblTranspose1", "lblPossibleTP01"},
    {"lblTranspose2", "lblPossibleTP02"},
    {"lblYearOff1", "lblPossibleYO01"},
    {"lblYearOff2", "lblPossibleYO02"},
    {"lblHiddenCell1", "lblHiddenCells01"},
    {"lblHiddenCell2", "lblHiddenCells02"},
}};

}  // namespace

std::string_view FormLabel(Counter counter) {
  return kCounterNames[static_cast<int>(counter)].form_label;
}

std::string_view RibbonLabel(Counter counter) {
  return kCounterNames[static_cast<int>(counter)].ribbon_label;
}

std::int32_t& Counters::operator[](Counter counter) {
  switch (counter) {
    case Counter::kCount1:
      return nCount1;
    case Counter::kCount2:
      return nCount2;
    case Counter::kMatch1:
      return nMatch1;
    case Counter::kMatch2:
      return nMatch2;
    case Counter::kMismatch1:
      return nMismatch1;
    case Counter::kMismatch2:
      return nMismatch2;
    case Counter::kTranspose1:
      return nTranspose1;
    case Counter::kTranspose2:
      return nTranspose2;
    case Counter::kYear1:
      return nYear1;
    case Counter::kYear2:
      return nYear2;
    case Counter::kHidden1:
      return nHidden1;
    case Counter::kHidden2:
      return nHidden2;
  }
  return nCount1;  // not reached: every counter is listed above
}

std::int32_t Counters::operator[](Counter counter) const {
  return (*const_cast<Counters*>(this))[counter];
}

host::Application& AddinState::app() const {
  if (oApp == nullptr) throw host::HostError(host::kObjectNotSet);
  return *oApp;
}

std::vector<NoticeLine> NoticeLines(const AddinState& state) {
  std::vector<NoticeLine> lines;
  if (state.notices.empty()) return lines;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = state.notices.find('\n', start);
    NoticeLine line;
    line.text = state.notices.substr(start, end == std::string::npos ? end : end - start);
    if (lines.size() < state.notice_cells.size()) line.cell = state.notice_cells[lines.size()];
    lines.push_back(std::move(line));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

void ClearNotices(AddinState& state) {
  state.notices.clear();
  state.notice_number = 0;
  state.notice_cells.clear();
}

void SetCounter(AddinState& state, Counter counter, std::int32_t value) {
  state.counters[counter] = value;
  if (state.results_form != nullptr) {
    state.results_form->SetCaption(FormLabel(counter), std::to_string(value));
  }
}

void IncrementCounter(AddinState& state, Counter counter) {
  const std::int32_t value = state.counters[counter];
  if (value >= state.limits.max_count) throw host::HostError(host::kOverflow);
  SetCounter(state, counter, value + 1);
}

void IncrementCounterUpToLimit(AddinState& state, Counter counter) {
  const std::int32_t value = state.counters[counter];
  SetCounter(state, counter, value >= state.limits.max_count ? value : value + 1);
}

void RefreshControl(AddinState& state, const std::string& control_id) {
  if (state.ribbon != nullptr) state.ribbon->RefreshControl(control_id);
}

void RefreshCounts(AddinState& state) {
  if (state.ribbon != nullptr) state.ribbon->RefreshCounts();
}

}  // namespace quorvane::engine
