// Range entry: asking the user for Range 1 and Range 2 through the host's range-picking input box.
#pragma once

#include <string>

#include "forms/results_form.h"
#include "host/application.h"
#include "ribbon/office.h"
#include "state/state.h"

namespace quorvane::ribbon {

// "Set Range#1" / "Set Range#2": offers the current selection's plain address as the default, asks
// for the range ("Get Range #1" / "Get Range #2"), stores the chosen range in range1 / range2 and
// returns its external address. A cancelled box, a failing host or no application leaves the range
// slot holding nothing and returns the empty text; no error leaves this function. Any other control
// id asks nothing and returns the empty text. `application` is the connection's application.
std::string GetRangeForm(state::AddinState& state, host::Application* application,
                         RibbonControl& control);

// Asks for both ranges ("MERIDANE TOOL - RANGE1", "MERIDANE TOOL - RANGE2") and runs the matching
// pass on them directly: no status bar, no results form, no item limit, range texts unchanged.
// Cancelling the second box raises "Type mismatch" at once and keeps range2; cancelling the first
// empties range1 and raises "Type mismatch" after the second box, without comparing. Host errors
// pass to the caller.
void RangeSetup(state::AddinState& state, forms::ResultsForm& results_form,
                host::Application* application);

}  // namespace quorvane::ribbon
