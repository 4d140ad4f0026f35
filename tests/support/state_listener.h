// The core's runs over an add-in state, wired as the ribbon wires them: a listener that keeps the
// state's counters, notices and stop request in step, invalidates the state's ribbon as the
// ribbon's listener does, and writes the results form's captions into a recording of labels.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/matching.h"
#include "engine/run_driver.h"
#include "forms/results_form.h"
#include "host/range.h"
#include "ribbon/progress.h"
#include "state/state.h"

namespace quorvane::testing {

// What the results form's labels are told.
class LabelSink {
 public:
  virtual ~LabelSink() = default;
  virtual void SetCaption(std::string_view label, const std::string& caption) = 0;
};

class StateListener : public state::RunListener {
 public:
  explicit StateListener(state::AddinState& state) : state(state) {}

  state::Counters* SharedCounters() override { return &state.counters; }
  void Started() override {
    state.stop_requested = state::kFalse;
    state::ClearNotices(state);
  }
  bool StopRequested() override { return state.stop_requested != state::kFalse; }
  void CounterChanged(state::Counter counter, std::int32_t value) override {
    if (labels != nullptr) {
      labels->SetCaption(forms::ResultsForm::CountLabel(counter), std::to_string(value));
    }
  }
  void CellCounted(state::Counter counter) override {
    state::RefreshControl(state, std::string(ribbon::CountLabel(counter)));
  }
  void CountsDue() override { state::RefreshCounts(state); }
  void Noticed(const host::Range& cell, state::NoticeKind kind, const std::string& line) override {
    if (!state.notices.empty()) state.notices += "\n";
    state.notices += line;
    state.notice_cells.push_back(cell);
    if (also != nullptr) also->Noticed(cell, kind, line);
  }
  void Marked(int range, const host::Range& cell, const std::string& value, const std::string& text,
              std::int64_t count_here, std::int64_t count_there) override {
    if (also != nullptr) also->Marked(range, cell, value, text, count_here, count_there);
  }
  void Diagnosed(state::Finding finding, const host::Range& cell1,
                 const host::Range& cell2) override {
    if (also != nullptr) also->Diagnosed(finding, cell1, cell2);
  }
  void Explained(state::ExplainedKind kind, const std::vector<host::Range>& cells1,
                 const std::vector<host::Range>& cells2, const std::string& message) override {
    if (also != nullptr) also->Explained(kind, cells1, cells2, message);
  }

  state::AddinState& state;
  LabelSink* labels = nullptr;         // the results form's labels, if any
  state::RunListener* also = nullptr;  // told the notices, marks and findings too
};

// A run over the listener's state: its application, options and limits.
inline state::Run RunOf(StateListener& listener) {
  state::AddinState& state = listener.state;
  return state::Run(state.app(), state.options, state.limits, listener);
}

// The matching pass (clearing, both passes, diagnosis); false when stopped.
inline bool MatchRanges(StateListener& listener, const host::Range& range1,
                        const host::Range& range2,
                        state::Algorithm algorithm = state::Algorithm::kIndexed) {
  state::Run run = RunOf(listener);
  return engine::RunMatchingPass(run, range1, range2, algorithm);
}

// The whole comparison, with the state's limits.
inline engine::RunResult Compare(StateListener& listener, const host::Range& range1,
                                 const host::Range& range2) {
  state::AddinState& state = listener.state;
  return engine::CompareRanges(state.app(), range1, range2, state.options, listener, state.limits);
}

}  // namespace quorvane::testing
