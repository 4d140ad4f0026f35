// frmVNT, the results form: the twelve result counters of a comparison and the "Stop" button.
//
// One instance per loaded library, created with the library and loaded when it is first touched
// (shown, focused, hidden, a label set or the button clicked). Loading resets the twelve counters
// and their labels to zero. Between comparisons the form is hidden, not unloaded, so the last
// counts stay on it until the next reset. The engine writes the labels through
// engine::ResultsLabels.
#pragma once

#include <string>
#include <string_view>

#include "engine/state.h"
#include "forms/form_model.h"
#include "forms/ui_port.h"

namespace quorvane::forms {

class ResultsForm : public FormModel, public engine::ResultsLabels {
 public:
  static constexpr const char* kName = "frmVNT";
  static constexpr const char* kStopButton = "Command1";

  // `state` and `ui` must outlive the form.
  ResultsForm(engine::AddinState& state, FormsUi& ui);

  void Show();  // modeless
  void SetFocus();
  void Hide();
  bool loaded() const { return loaded_; }

  // "Command1" ("Stop"): asks the running comparison to stop.
  void Click(std::string_view control_name) override;

  // engine::ResultsLabels
  void SetCaption(std::string_view label, const std::string& caption) override;

 private:
  void EnsureLoaded();

  engine::AddinState& state_;
  FormsUi& ui_;
  bool loaded_ = false;
  bool loading_ = false;
};

}  // namespace quorvane::forms
