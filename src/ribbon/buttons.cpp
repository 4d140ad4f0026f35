#include "ribbon/buttons.h"

#include "engine/run_driver.h"
#include "ribbon/progress.h"
#include "ribbon/range_entry.h"

namespace quorvane::ribbon {
namespace {

void CompareRanges(CommandContext& context) {
  state::AddinState& state = context.state;
  ComparisonGuard guard(context.comparison_running);
  // The notices shown are this run's only: a run refused before it starts has none.
  state::ClearNotices(state);
  context.results_form.ClearNotices();
  context.results_form.Show();
  context.results_form.SetFocus();
  state.app().SetStatusBar(kStatusInProgress);
  RunProgress progress(state, context.results_form);
  engine::CompareRanges(state.app(), state.range1, state.range2, state.options, progress,
                        state.limits);
  state.app().ResetStatusBar();
  // A run that gathered notices leaves the form open on their list, for the user to go through
  // the cells; its close box hides it.
  context.results_form.ShowNotices();
  if (!context.results_form.has_notices()) context.results_form.Hide();
}

void ClearFormatting(CommandContext& context) {
  state::AddinState& state = context.state;
  RunProgress progress(state, context.results_form);
  engine::ClearMarks(state.app(), state.range1, state.range2, progress);
}

}  // namespace

void PressButton(CommandContext& context, RibbonControl& control) {
  state::AddinState& state = context.state;
  const bool refuse = context.comparison_running;

  if (!refuse && control.Id() == "btnRange1") {
    state.range1_text = GetRangeForm(state, context.application, control);
    state::RefreshControl(state, "EditBox1");
  }
  if (!refuse && control.Id() == "btnRange2") {
    state.range2_text = GetRangeForm(state, context.application, control);
    state::RefreshControl(state, "EditBox2");
  }
  if (!refuse && control.Id() == "btnCompare") CompareRanges(context);
  if (!refuse && control.Id() == "btnClearRange1") {
    state.range1_text.clear();
    state::RefreshControl(state, "EditBox1");
  }
  if (!refuse && control.Id() == "btnClearRange2") {
    state.range2_text.clear();
    state::RefreshControl(state, "EditBox2");
  }
  if (!refuse && control.Id() == "btnClearFormating") ClearFormatting(context);
  if (control.Id() == "btnStop" && state.stop_requested == state::kFalse)
    state.stop_requested = state::kTrue;
  if (!refuse && control.Id() == "btnAbout") context.about_form.Show();

  state::RefreshControl(state, "btnCompare");
  state::RefreshControl(state, "btnClearFormating");
  state::RefreshControl(state, "btnStop");
}

}  // namespace quorvane::ribbon
