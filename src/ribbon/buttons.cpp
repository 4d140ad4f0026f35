#include "ribbon/buttons.h"

#include "engine/run_driver.h"
#include "ribbon/progress.h"
#include "ribbon/range_entry.h"

namespace quorvane::ribbon {
namespace {

void CompareRanges(CommandContext& context) {
  engine::AddinState& state = context.state;
  ComparisonGuard guard(context.comparison_running);
  // The notices shown are this run's only: a run refused before it starts has none.
  engine::ClearNotices(state);
  context.results_form.ClearNotices();
  context.results_form.Show();
  context.results_form.SetFocus();
  state.app().SetStatusBar(kStatusInProgress);
  RunProgress progress(state, context.results_form);
  engine::CompareRanges(state.app(), state.oRange1, state.oRange2, state.options, progress,
                        state.limits);
  state.app().ResetStatusBar();
  // A run that gathered notices leaves the form open on their list, for the user to go through
  // the cells; its close box hides it.
  context.results_form.ShowNotices();
  if (!context.results_form.has_notices()) context.results_form.Hide();
}

void ClearFormatting(CommandContext& context) {
  engine::AddinState& state = context.state;
  RunProgress progress(state, context.results_form);
  engine::ClearMarks(state.app(), state.oRange1, state.oRange2, progress);
}

}  // namespace

void onButtonPressed(CommandContext& context, RibbonControl& control) {
  engine::AddinState& state = context.state;
  const bool refuse = context.comparison_running;

  if (!refuse && control.Id() == "btnRange1") {
    state.sRange1 = GetRangeForm(state, context.oApplication, control);
    engine::RefreshControl(state, "EditBox1");
  }
  if (!refuse && control.Id() == "btnRange2") {
    state.sRange2 = GetRangeForm(state, context.oApplication, control);
    engine::RefreshControl(state, "EditBox2");
  }
  if (!refuse && control.Id() == "btnCompare") CompareRanges(context);
  if (!refuse && control.Id() == "btnClearRange1") {
    state.sRange1.clear();
    engine::RefreshControl(state, "EditBox1");
  }
  if (!refuse && control.Id() == "btnClearRange2") {
    state.sRange2.clear();
    engine::RefreshControl(state, "EditBox2");
  }
  if (!refuse && control.Id() == "btnClearFormating") ClearFormatting(context);
  if (control.Id() == "btnStop" && state.bStop == engine::kFalse) state.bStop = engine::kTrue;
  if (!refuse && control.Id() == "btnAbout") context.about_form.Show();

  engine::RefreshControl(state, "btnCompare");
  engine::RefreshControl(state, "btnClearFormating");
  engine::RefreshControl(state, "btnStop");
}

}  // namespace quorvane::ribbon
