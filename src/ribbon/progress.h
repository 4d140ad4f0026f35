// What the ribbon and the results form show of a running comparison or clearing. The run tells
// this listener; the listener keeps the add-in's shared state in step (the counters the ribbon's
// labels read, the notices the results form lists, the stop request the form's button and the
// ribbon's "btnStop" set) and has the ribbon and the form show what changed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "forms/results_form.h"
#include "host/range.h"
#include "state/state.h"

namespace quorvane::ribbon {

// The ribbon label that shows a counter ("lblCount01", ..., "lblHiddenCells02").
std::string_view CountLabel(state::Counter counter);

class RunProgress : public state::RunListener {
 public:
  // `state` and `form` must outlive the listener.
  RunProgress(state::AddinState& state, forms::ResultsForm& form) : state_(state), form_(form) {}

  // The run counts in the state's counters.
  state::Counters* SharedCounters() override { return &state_.counters; }
  // Clears the stop request and the state's notices.
  void Started() override;
  bool StopRequested() override;
  // The form's label.
  void CounterChanged(state::Counter counter, std::int32_t value) override;
  // The ribbon's label of the counter.
  void CellCounted(state::Counter counter) override;
  // The ribbon's twelve labels.
  void CountsDue() override;
  // Adds the line and its cell to the state's notices.
  void Noticed(const host::Range& cell, state::NoticeKind kind, const std::string& line) override;
  // A finding of the search that explains more joins the notices as one line, its first cell's
  // external address and the finding's message, with that cell as the line's cell.
  void Explained(state::ExplainedKind kind, const std::vector<host::Range>& cells1,
                 const std::vector<host::Range>& cells2, const std::string& message) override;

 private:
  state::AddinState& state_;
  forms::ResultsForm& form_;
};

}  // namespace quorvane::ribbon
