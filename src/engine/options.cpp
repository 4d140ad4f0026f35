#include "engine/options.h"

namespace quorvane::engine {

const std::array<OptionInfo, 7> kOptionTable{{
    {&Options::round_numbers, "chkRoundNum", "Round Numbers to 2 Places", true},
    {&Options::numbers_only, "chkCompareNum", "Compare Numbers ONLY", true},
    {&Options::ignore_sign, "chkIgnoreSign", "Ignore Sign of Numbers", false},
    {&Options::reverse_sign, "chkReverse", "Reverse Sign Range 1", false},
    {&Options::ignore_10_digit, "chkIgnore10digit", "Ignore 10 digit Numbers", false},
    {&Options::ignore_zero, "chkIgnoreZero", "Ignore Zero Values", true},
    {&Options::hide_comments, "chkHideComments", "Hide Comments", true},
}};

Options DefaultOptions() {
  Options options;
  for (const OptionInfo& option : kOptionTable) {
    options.*option.flag = option.default_on ? kTrue : kFalse;
  }
  return options;
}

void SetDefaultChecks(AddinState& state) {
  for (const OptionInfo& option : kOptionTable) {
    if (option.default_on) state.options.*option.flag = kTrue;
  }
  for (const OptionInfo& option : kOptionTable) {
    if (option.default_on) RefreshControl(state, std::string(option.id));
  }
}

void ToggleOption(AddinState& state, RibbonControl& control, Bool16 pressed) {
  // Each test reads the control's id afresh, as the host hands it out.
  for (const OptionInfo& option : kOptionTable) {
    if (control.Id() == option.id) state.options.*option.flag = pressed == kTrue ? kTrue : kFalse;
  }
}

Bool16 GetPressed(AddinState& state, RibbonControl& control) {
  // Every box answers with its own flag, so that a ribbon redrawn after an invalidation shows each
  // option as the next run will use it.
  Bool16 answer = kFalse;
  for (const OptionInfo& option : kOptionTable) {
    if (control.Id() == option.id) answer = state.options.*option.flag;
  }
  return answer;
}

}  // namespace quorvane::engine
