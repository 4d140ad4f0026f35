// PressButton: the one command handler behind the ribbon's buttons (the callback onButtonPressed).
#pragma once

#include "forms/about_form.h"
#include "forms/results_form.h"
#include "host/application.h"
#include "ribbon/office.h"
#include "state/state.h"

namespace quorvane::ribbon {

inline constexpr const char* kStatusInProgress = "Ranges Comparison is in Progress ....";

// What the commands work on; all of it belongs to the loaded library except application, the
// connection's application (used by range entry).
struct CommandContext {
  state::AddinState& state;
  host::Application* application;
  forms::ResultsForm& results_form;
  forms::AboutForm& about_form;
  // True while a comparison started from the ribbon (or RangeSetup) is running.
  bool& comparison_running;
};

// Marks a comparison as running for its lifetime, also when it ends with an error.
class ComparisonGuard {
 public:
  explicit ComparisonGuard(bool& running) : running_(running) { running_ = true; }
  ~ComparisonGuard() { running_ = false; }
  ComparisonGuard(const ComparisonGuard&) = delete;
  ComparisonGuard& operator=(const ComparisonGuard&) = delete;

 private:
  bool& running_;
};

// Runs the command of the pressed control: "btnRange1", "btnRange2", "btnCompare",
// "btnClearRange1", "btnClearRange2", "btnClearFormating", "btnStop", "btnAbout" (ids exact and
// case-sensitive, read afresh for each test), then invalidates "btnCompare", "btnClearFormating"
// and "btnStop" whatever the id was.
//
// While a comparison is running (the host delivers presses nested inside it when the comparison
// yields), every command but "btnStop" is ignored: a nested run or clearing would reset and recount
// the counters of the running one, and a new range would change the ranges under it. The three
// closing invalidations still run; they only make the host ask the enabled state again.
//
// Host errors end the handler at the failing step and pass to the caller; the later steps and the
// closing invalidations do not run.
void PressButton(CommandContext& context, RibbonControl& control);

}  // namespace quorvane::ribbon
