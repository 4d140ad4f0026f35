#include "engine/options.h"

namespace quorvane::engine {

const std::array<OptionInfo, 8> kOptionTable{{
    {&state::Options::round_numbers, "chkRoundNum", "Round Numbers to 2 Places", true},
    {&state::Options::numbers_only, "chkCompareNum", "Compare Numbers ONLY", true},
    {&state::Options::ignore_sign, "chkIgnoreSign", "Ignore Sign of Numbers", false},
    {&state::Options::reverse_sign, "chkReverse", "Reverse Sign Range 1", false},
    {&state::Options::ignore_10_digit, "chkIgnore10digit", "Ignore 10 digit Numbers", false},
    {&state::Options::ignore_zero, "chkIgnoreZero", "Ignore Zero Values", true},
    {&state::Options::hide_comments, "chkHideComments", "Hide Comments", true},
    {&state::Options::explain_more, "chkExplainMore", "Explain More", true},
}};

state::Options DefaultOptions() {
  state::Options options;
  for (const OptionInfo& option : kOptionTable) {
    options.*option.flag = option.default_on ? state::kTrue : state::kFalse;
  }
  return options;
}

void SetDefaultChecks(state::AddinState& state) {
  for (const OptionInfo& option : kOptionTable) {
    if (option.default_on) state.options.*option.flag = state::kTrue;
  }
  for (const OptionInfo& option : kOptionTable) {
    if (option.default_on) state::RefreshControl(state, std::string(option.id));
  }
}

void ToggleOption(state::AddinState& state, state::RibbonControl& control, state::Bool16 pressed) {
  // Each test reads the control's id afresh, as the host hands it out.
  for (const OptionInfo& option : kOptionTable) {
    if (control.Id() == option.id)
      state.options.*option.flag = pressed == state::kTrue ? state::kTrue : state::kFalse;
  }
}

state::Bool16 GetPressed(state::AddinState& state, state::RibbonControl& control) {
  // Every box answers with its own flag, so that a ribbon redrawn after an invalidation shows each
  // option as the next run will use it.
  state::Bool16 answer = state::kFalse;
  for (const OptionInfo& option : kOptionTable) {
    if (control.Id() == option.id) answer = state.options.*option.flag;
  }
  return answer;
}

}  // namespace quorvane::engine
