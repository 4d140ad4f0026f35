// The ribbon's text and enable callbacks and the "V.N.T" button, over the add-in's shared state.
#pragma once

#include <cstdint>
#include <string>

#include "forms/results_form.h"
#include "ribbon/office.h"
#include "state/state.h"

namespace quorvane::ribbon {

// A counter as a ribbon label shows it: a blank before zero or a positive number, "-" before a
// negative one (" 0", " 125", "-3").
std::string CountText(std::int32_t count);

// getText of "EditBox1"/"EditBox2" (the range texts) and getLabel of the twelve result labels (the
// counters); "txtCount01" answers like "lblCount01"; every other id gets the empty text. The id is
// read afresh for each test; errors reading it pass to the caller.
std::string OnGetText(const state::AddinState& state, RibbonControl& control);

// getEnabled of "Compare Ranges" and "Clear Formatting": true when both range texts are set. The
// control is not looked at: both buttons share one state.
state::Bool16 GetEnable(const state::AddinState& state);

// onAction of "btnVNT": shows the results form without blocking.
void ShowResults(forms::ResultsForm& form);

}  // namespace quorvane::ribbon
