#include "forms/results_form.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "host/worksheet.h"

namespace quorvane::forms {
namespace {

struct Column {
  const char* header_name;
  const char* header_caption;
  double left;
  double width;
  double header_height;
  const char* value1;
  const char* value2;
};

constexpr std::array<Column, 6> kColumns = {{
    {"Label3", "Count", 79.5, 35.25, 24.75, "lblCount1", "lblCount2"},
    {"Label4", "Match", 114.75, 54.75, 22.5, "lblMatch1", "lblMatch2"},
    {"Label5", "Mismatch", 169.5, 54.75, 21.75, "lblMismatch1", "lblMismatch2"},
    {"Label6", "Possible Transpose", 224.25, 44.25, 28.5, "lblTranspose1", "lblTranspose2"},
    {"Label7", "Possible Year Off", 268.5, 45, 27.75, "lblYearOff1", "lblYearOff2"},
    {"Label8", "Hidden Cells", 313.5, 52.5, 27.75, "lblHiddenCell1", "lblHiddenCell2"},
}};

constexpr double kHeaderTop = 41.25;
constexpr double kRow1Top = 76.5;
constexpr double kRow2Top = 100.5;
constexpr double kValueHeight = 15;
// The notice list: 2.25 points under the "Stop" button, from the row labels' left edge to the
// button's right edge; its frame takes 1.5 points above and below its lines.
constexpr double kListLeft = 12;
constexpr double kListTop = 124.5;
constexpr double kListWidth = 372.75 + 41.25 - kListLeft;
constexpr double kListFrame = 3;

std::vector<FormControl> Layout() {
  std::vector<FormControl> controls;
  const Font header_font{"Arial", 8.25, true};
  for (const Column& c : kColumns) {
    controls.push_back({c.header_name, ControlKind::kLabel, c.header_caption, c.left, kHeaderTop,
                        c.width, c.header_height, header_font, Alignment::kCenter, false, ""});
  }
  controls.push_back({"Label1",
                      ControlKind::kLabel,
                      "Range #1",
                      12,
                      78,
                      54.75,
                      18.75,
                      {},
                      Alignment::kLeft,
                      false,
                      ""});
  controls.push_back({"Label2",
                      ControlKind::kLabel,
                      "Range #2",
                      12,
                      102,
                      54.75,
                      18.75,
                      {},
                      Alignment::kLeft,
                      false,
                      ""});
  for (const Column& c : kColumns) {
    controls.push_back({c.value1,
                        ControlKind::kLabel,
                        "0",
                        c.left,
                        kRow1Top,
                        c.width,
                        kValueHeight,
                        {},
                        Alignment::kCenter,
                        false,
                        ""});
  }
  for (const Column& c : kColumns) {
    controls.push_back({c.value2,
                        ControlKind::kLabel,
                        "0",
                        c.left,
                        kRow2Top,
                        c.width,
                        kValueHeight,
                        {},
                        Alignment::kCenter,
                        false,
                        ""});
  }
  // Enter and Esc press "Stop" too: the form has no other button.
  FormControl stop{
      ResultsForm::kStopButton, ControlKind::kButton, "Stop", 372.75, 51.75, 41.25, 70.5};
  stop.alignment = Alignment::kCenter;
  stop.default_button = true;
  stop.cancel_button = true;
  controls.push_back(stop);
  return controls;
}

}  // namespace

ResultsForm::ResultsForm(state::AddinState& state, FormsUi& ui)
    : FormModel(kName, "Result of Comparison", kWidth, kHeight, Layout()), state_(state), ui_(ui) {}

void ResultsForm::EnsureLoaded() {
  // Loading resets the counts, and the reset writes the labels back into this form: the flag keeps
  // that nested touch from loading a second time.
  if (loaded_ || loading_) return;
  loading_ = true;
  try {
    // The labels first, then the counters.
    for (int i = 0; i < state::kCounterCount; ++i) {
      SetCaption(CountLabel(static_cast<state::Counter>(i)), "0");
    }
    state_.counters = state::Counters();
  } catch (...) {
    loading_ = false;
    throw;
  }
  loading_ = false;
  loaded_ = true;
}

void ResultsForm::Show() {
  EnsureLoaded();
  ui_.Show(*this);
  set_visible(true);
}

void ResultsForm::SetFocus() {
  EnsureLoaded();
  ui_.SetFocus(*this);
}

void ResultsForm::Hide() {
  EnsureLoaded();
  ui_.Hide(*this);
  set_visible(false);
}

void ResultsForm::Click(std::string_view control_name) {
  EnsureLoaded();
  if (control_name == kStopButton && state_.stop_requested == state::kFalse)
    state_.stop_requested = state::kTrue;
}

void ResultsForm::ShowNotices() { SetNotices(state::NoticeLines(state_)); }

void ResultsForm::ClearNotices() { SetNotices({}); }

void ResultsForm::SetNotices(std::vector<state::NoticeLine> notices) {
  if (notices.empty() && Find(kNoticeList) == nullptr) return;
  notice_cells_.clear();
  if (notices.empty()) {
    RemoveControl(kNoticeList);
    set_height(kHeight);
  } else {
    // Under the row labels and the "Stop" button, as wide as from the row labels' left edge to the
    // button's right edge; the form grows by exactly the list's height.
    FormControl list{kNoticeList, ControlKind::kList, "", kListLeft, kListTop, kListWidth, 0};
    const std::size_t rows = std::min(notices.size(), kNoticeRowsShown);
    list.line_height = kNoticeLineHeight;
    list.height = static_cast<double>(rows) * kNoticeLineHeight + kListFrame;
    for (state::NoticeLine& notice : notices) {
      list.lines.push_back(std::move(notice.text));
      notice_cells_.push_back(notice.cell);
    }
    set_height(kHeight + list.height);
    PutControl(std::move(list));
  }
  ui_.LayoutChanged(*this);
}

void ResultsForm::ClickLine(std::string_view control_name, std::size_t line) {
  EnsureLoaded();
  if (control_name != kNoticeList || line >= notice_cells_.size()) return;
  const host::Range& cell = notice_cells_[line];
  if (cell.is_nothing()) return;
  host::Worksheet& sheet = cell.Parent();
  sheet.Parent().Activate();
  sheet.Select();
  cell.Select();
}

std::string_view ResultsForm::CountLabel(state::Counter counter) {
  // Indexed by Counter.
  static constexpr std::array<std::string_view, state::kCounterCount> kLabels{
      "lblCount1",    "lblCount2",    "lblMatch1",      "lblMatch2",
      "lblMismatch1", "lblMismatch2", "lblTranspose1",  "lblTranspose2",
      "lblYearOff1",  "lblYearOff2",  "lblHiddenCell1", "lblHiddenCell2"};
  return kLabels[static_cast<int>(counter)];
}

void ResultsForm::ShowCount(state::Counter counter, std::int32_t value) {
  SetCaption(CountLabel(counter), std::to_string(value));
}

void ResultsForm::SetCaption(std::string_view label, const std::string& caption) {
  const bool first_touch = !loaded_ && !loading_;
  EnsureLoaded();
  // A label write that loads the form comes after its writer changed the counter, and the load
  // has just reset every counter and label to zero: the label keeps that zero, so that it still
  // equals its counter.
  if (first_touch) return;
  if (const FormControl* control = SetControlCaption(label, caption)) {
    ui_.CaptionChanged(*this, *control);
  }
}

}  // namespace quorvane::forms
