#include "ribbon/range_entry.h"

#include <optional>

#include "engine/run_driver.h"
#include "host/error.h"
#include "ribbon/progress.h"

namespace quorvane::ribbon {
namespace {

constexpr const char* kPickPrompt = "Select range from Excel Sheet";

host::Application& Require(host::Application* app) {
  if (app == nullptr) throw host::HostError(host::kObjectNotSet);
  return *app;
}

// The input box's answer as a range; a cancelled box (the host's False) is no range.
host::Range AskRange(host::Application* app, const char* prompt, const char* title,
                     const std::string& default_text) {
  std::optional<host::Range> answer = Require(app).InputBox(prompt, title, default_text);
  if (!answer) throw host::HostError(host::kTypeMismatch);
  return *answer;
}

}  // namespace

std::string GetRangeForm(state::AddinState& state, host::Application* application,
                         RibbonControl& control) {
  // Each step that fails is skipped and the next one runs; the chosen range then stays nothing.
  std::string default_text;
  try {
    host::Range selection = Require(application).Selection();
    if (selection) default_text = selection.Address();
  } catch (const host::HostError&) {
  }

  // Both tests run, each reading the id afresh; the ids differ, so at most one box is shown.
  auto id_is = [&control](const char* id) {
    try {
      return control.Id() == id;
    } catch (const host::HostError&) {
      return false;
    }
  };
  auto ask = [&](const char* title) {
    try {
      return AskRange(application, kPickPrompt, title, default_text);
    } catch (const host::HostError&) {
      return host::Range();
    }
  };
  host::Range chosen;
  if (id_is("btnRange1")) state.range1 = chosen = ask("Get Range #1");
  if (id_is("btnRange2")) state.range2 = chosen = ask("Get Range #2");
  if (!chosen) return {};
  try {
    return chosen.Address(/*external=*/true);
  } catch (const host::HostError&) {
    return {};
  }
}

void RangeSetup(state::AddinState& state, forms::ResultsForm& results_form,
                host::Application* application) {
  std::optional<host::Range> first =
      Require(application).InputBox("Enter range", "MERIDANE TOOL - RANGE1", "");
  state.range1 = first.value_or(host::Range());
  state.range2 = AskRange(application, "Enter range", "MERIDANE TOOL - RANGE2", "");
  if (!first) throw host::HostError(host::kTypeMismatch);
  // The item count of the button's comparison is left out here.
  state::Limits limits = state.limits;
  limits.count_items = false;
  RunProgress progress(state, results_form);
  engine::CompareRanges(state.app(), state.range1, state.range2, state.options, progress, limits);
}

}  // namespace quorvane::ribbon
