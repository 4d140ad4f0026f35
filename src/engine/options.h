// The comparison options and the diagnosis's "Explain More": their ids, labels and defaults, and
// the ribbon's reading and toggling of them.
#pragma once

#include <array>
#include <string_view>

#include "state/state.h"

namespace quorvane::engine {

struct OptionInfo {
  state::Bool16 state::Options::*flag;
  std::string_view id;     // check box id, e.g. "chkRoundNum"
  std::string_view label;  // ribbon label, e.g. "Round Numbers to 2 Places"
  bool default_on;         // turned on by SetDefaultChecks
};

// In the ribbon's order.
extern const std::array<OptionInfo, 8> kOptionTable;

// The options as the ribbon shows them after load: those marked default_on in the table on, the
// others off.
state::Options DefaultOptions();

// Turns the five default-on options on (the other three keep their values) and invalidates their
// check boxes.
void SetDefaultChecks(state::AddinState& state);
// The check boxes' onAction: stores `pressed` (-1 is true, anything else false) in the option whose
// id equals the control's id exactly; other ids change nothing.
void ToggleOption(state::AddinState& state, state::RibbonControl& control, state::Bool16 pressed);
// The check boxes' getPressed: the option's current state; false for other ids.
state::Bool16 GetPressed(state::AddinState& state, state::RibbonControl& control);

}  // namespace quorvane::engine
