// frmVNT, the results form: the twelve result counters of a comparison and the "Stop" button, and
// under them, after a comparison that gathered notices, the list of those notices.
//
// One instance per loaded library, created with the library and loaded when it is first touched
// (shown, focused, hidden, a label set or the button clicked). Loading resets the twelve counters
// and their labels to zero. Between comparisons the form is hidden, not unloaded, so the last
// counts stay on it until the next reset. The form owns its labels: whoever listens to a run sets
// them through ShowCount.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "forms/form_model.h"
#include "forms/ui_port.h"
#include "state/state.h"

namespace quorvane::forms {

class ResultsForm : public FormModel {
 public:
  static constexpr const char* kName = "frmVNT";
  static constexpr const char* kStopButton = "Command1";
  static constexpr const char* kNoticeList = "lstNotices";
  // The client area without the notice list, in points.
  static constexpr double kWidth = 417;
  static constexpr double kHeight = 127.5;
  // The notice list: its lines' height and the most lines it shows without scrolling.
  static constexpr double kNoticeLineHeight = 9.75;
  static constexpr std::size_t kNoticeRowsShown = 8;

  // `state` and `ui` must outlive the form.
  ResultsForm(state::AddinState& state, FormsUi& ui);

  void Show();  // modeless
  void SetFocus();
  void Hide();
  bool loaded() const { return loaded_; }

  // "Command1" ("Stop"): asks the running comparison to stop.
  void Click(std::string_view control_name) override;

  // Shows the notices of the state's last comparison under the counters, a read-only list of their
  // lines as the comparison worded them, and makes the form taller by the list's height; without
  // notices the form has no list and its own size.
  void ShowNotices();
  // Takes the notice list away.
  void ClearNotices();
  bool has_notices() const { return !notice_cells_.empty(); }
  // A line of the notice list: activates the workbook of its cell, selects its sheet, then the
  // cell. Host errors (a workbook closed since) pass to the caller.
  void ClickLine(std::string_view control_name, std::size_t line) override;

  // Sets the label of the counter to the value. A write that first loads the form leaves the label
  // at the zero of the load.
  void ShowCount(state::Counter counter, std::int32_t value);
  // The label that shows a counter ("lblCount1", ..., "lblHiddenCell2").
  static std::string_view CountLabel(state::Counter counter);

 private:
  void EnsureLoaded();
  void SetCaption(std::string_view label, const std::string& caption);
  void SetNotices(std::vector<state::NoticeLine> notices);

  state::AddinState& state_;
  FormsUi& ui_;
  bool loaded_ = false;
  bool loading_ = false;
  std::vector<host::Range> notice_cells_;  // the cell of each line of the list
};

}  // namespace quorvane::forms
