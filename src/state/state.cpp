#include "state/state.h"

#include <limits>
#include <string>
#include <utility>

#include "host/error.h"

namespace quorvane::state {

std::int32_t& Counters::operator[](Counter counter) {
  switch (counter) {
    case Counter::kCount1:
      return count1;
    case Counter::kCount2:
      return count2;
    case Counter::kMatch1:
      return match1;
    case Counter::kMatch2:
      return match2;
    case Counter::kMismatch1:
      return mismatch1;
    case Counter::kMismatch2:
      return mismatch2;
    case Counter::kTranspose1:
      return transpose1;
    case Counter::kTranspose2:
      return transpose2;
    case Counter::kYear1:
      return year1;
    case Counter::kYear2:
      return year2;
    case Counter::kHidden1:
      return hidden1;
    case Counter::kHidden2:
      return hidden2;
  }
  return count1;  // not reached: every counter is listed above
}

std::int32_t Counters::operator[](Counter counter) const {
  return (*const_cast<Counters*>(this))[counter];
}

host::Application& AddinState::app() const {
  if (application == nullptr) throw host::HostError(host::kObjectNotSet);
  return *application;
}

namespace {

std::vector<NoticeLine> SplitNotices(const std::string& notices,
                                     const std::vector<host::Range>& cells) {
  std::vector<NoticeLine> lines;
  if (notices.empty()) return lines;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = notices.find('\n', start);
    NoticeLine line;
    line.text = notices.substr(start, end == std::string::npos ? end : end - start);
    if (lines.size() < cells.size()) line.cell = cells[lines.size()];
    lines.push_back(std::move(line));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::vector<NoticeLine> NoticeLines(const AddinState& state) {
  return SplitNotices(state.notices, state.notice_cells);
}

std::vector<NoticeLine> NoticeLines(const Run& run) {
  return SplitNotices(run.notices, run.notice_cells);
}

void ClearNotices(AddinState& state) {
  state.notices.clear();
  state.notice_cells.clear();
}

void SetCounter(Run& run, Counter counter, std::int32_t value) {
  run.counters[counter] = value;
  run.listener.CounterChanged(counter, value);
}

void IncrementCounter(Run& run, Counter counter) {
  const std::int32_t value = run.counters[counter];
  if (value >= run.limits.max_count) throw host::HostError(host::kOverflow);
  SetCounter(run, counter, value + 1);
}

void IncrementCounterUpToLimit(Run& run, Counter counter) {
  const std::int32_t value = run.counters[counter];
  SetCounter(run, counter, value >= run.limits.max_count ? value : value + 1);
}

void ResetCounters(Run& run) {
  for (int i = 0; i < kCounterCount; ++i) SetCounter(run, static_cast<Counter>(i), 0);
}

void RefreshControl(AddinState& state, const std::string& control_id) {
  if (state.ribbon != nullptr) state.ribbon->RefreshControl(control_id);
}

void RefreshCounts(AddinState& state) {
  if (state.ribbon != nullptr) state.ribbon->RefreshCounts();
}

}  // namespace quorvane::state
