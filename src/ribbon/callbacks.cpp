#include "ribbon/callbacks.h"

#include "ribbon/progress.h"

namespace quorvane::ribbon {

using state::Counter;

std::string CountText(std::int32_t count) {
  // std::to_string gives the minus sign of a negative number; the others get a blank in its place.
  return count < 0 ? std::to_string(count) : " " + std::to_string(count);
}

std::string OnGetText(const state::AddinState& state, RibbonControl& control) {
  if (control.Id() == "EditBox1") return state.range1_text;
  if (control.Id() == "EditBox2") return state.range2_text;
  if (control.Id() == "txtCount01") return CountText(state.counters.count1);
  for (int i = 0; i < state::kCounterCount; ++i) {
    const auto counter = static_cast<Counter>(i);
    if (control.Id() == CountLabel(counter)) return CountText(state.counters[counter]);
  }
  return {};
}

state::Bool16 GetEnable(const state::AddinState& state) {
  return !state.range1_text.empty() && !state.range2_text.empty() ? state::kTrue : state::kFalse;
}

void ShowResults(forms::ResultsForm& form) { form.Show(); }

}  // namespace quorvane::ribbon
