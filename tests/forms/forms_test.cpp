// The form models: the results form's layout and loading, and frmAddIn's buttons.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "engine/run_driver.h"
#include "forms/addin_form.h"
#include "forms/results_form.h"
#include "host/error.h"
#include "memhost/host.h"
#include "ribbon/progress.h"
#include "state/state.h"
#include "support/counting_host.h"
#include "support/recording_ui.h"

namespace quorvane::forms {
namespace {

TEST(ResultsForm, LayoutPlacesEachValueUnderItsHeader) {
  state::AddinState state;
  testing::RecordingUi ui;
  ResultsForm form(state, ui);
  EXPECT_EQ(form.name(), "frmVNT");
  EXPECT_EQ(form.caption(), "Result of Comparison");
  EXPECT_EQ(form.controls().size(), 6u + 2u + 12u + 1u);
  const std::vector<std::pair<std::string, std::string>> columns = {
      {"Label3", "Count"},
      {"Label4", "Match"},
      {"Label5", "Mismatch"},
      {"Label6", "Possible Transpose"},
      {"Label7", "Possible Year Off"},
      {"Label8", "Hidden Cells"}};
  const std::vector<std::string> values = {"Count",     "Match",   "Mismatch",
                                           "Transpose", "YearOff", "HiddenCell"};
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const FormControl* header = form.Find(columns[i].first);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->caption, columns[i].second);
    EXPECT_EQ(header->font.name, "Arial");
    EXPECT_EQ(header->font.size, 8.25);
    EXPECT_TRUE(header->font.bold);
    for (const char* row : {"1", "2"}) {
      const FormControl* value = form.Find("lbl" + values[i] + row);
      ASSERT_NE(value, nullptr) << values[i] << row;
      EXPECT_EQ(value->left, header->left);
      EXPECT_EQ(value->width, header->width);
      EXPECT_EQ(value->top, row[0] == '1' ? 76.5 : 100.5);
      EXPECT_EQ(value->alignment, Alignment::kCenter);
    }
  }
  const FormControl* stop = form.Find("Command1");
  ASSERT_NE(stop, nullptr);
  EXPECT_EQ(stop->caption, "Stop");
  EXPECT_EQ(stop->left, 372.75);
  EXPECT_EQ(stop->height, 70.5);
}

TEST(ResultsForm, LoadingResetsOnceAndLabelsFollowTheCounters) {
  memhost::MemHost host;
  state::AddinState state;
  testing::RecordingUi ui;
  ui.set_record_captions(true);
  ResultsForm form(state, ui);
  ribbon::RunProgress progress(state, form);
  state::Run run(host, state.options, state.limits, progress);
  state.counters.count2 = 5;
  EXPECT_FALSE(form.loaded());
  // The first label write loads the form, whose reset zeroes all twelve counters and labels,
  // the written one included: label and counter stay equal.
  state::SetCounter(run, state::Counter::kMatch1, 3);
  EXPECT_TRUE(form.loaded());
  EXPECT_EQ(state.counters.count2, 0);
  EXPECT_EQ(state.counters.match1, 0);
  EXPECT_EQ(form.CaptionOf("lblMatch1"), "0");
  EXPECT_EQ(ui.events().size(), 12u);
  state::IncrementCounter(run, state::Counter::kMatch1);
  state::IncrementCounter(run, state::Counter::kMatch1);
  state::IncrementCounter(run, state::Counter::kMatch1);
  EXPECT_EQ(state.counters.match1, 3);
  EXPECT_EQ(form.CaptionOf("lblMatch1"), "3");
  EXPECT_EQ(ui.events().back(), "Caption frmVNT.lblMatch1=3");
  // Hiding keeps the counts.
  form.Show();
  form.Hide();
  EXPECT_EQ(form.CaptionOf("lblMatch1"), "3");
  EXPECT_FALSE(form.visible());
  // Stop with no comparison running sets the request; other controls do nothing.
  form.Click("Label3");
  EXPECT_EQ(state.stop_requested, state::kFalse);
  form.Click("Command1");
  EXPECT_EQ(state.stop_requested, state::kTrue);
}

class Owner : public AddInFormOwner {
 public:
  std::string EnvironmentName() override { return "Designer"; }
  void Hide() override { ++hides; }
  int hides = 0;
};

TEST(AddInForm, OkNamesTheEnvironmentAndCancelHidesThroughTheOwner) {
  state::AddinState state;
  testing::RecordingUi ui;
  AddInForm form(state, ui);
  EXPECT_EQ(form.caption(), "My Add In");
  EXPECT_THROW(form.Click("OKButton"), host::HostError);  // given no objects yet
  Owner owner;
  form.set_owner(&owner);
  form.Click("OKButton");
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].text, "AddIn operation on: Designer");
  form.Click("CancelButton");
  EXPECT_EQ(owner.hides, 1);
}

// The notice list: a comparison over two workbooks whose lists hold an error cell, an amount typed
// as text and a date typed as text.
class NoticeListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The add-in sees the host through a counter.
    state_.application = &counted_;
    memhost::MemWorksheet& bank = host_.AddWorkbook("Bank.xlsx").AddSheet("Statement");
    // The ledger's active sheet is not the one of the list.
    memhost::MemWorkbook& ledger_book = host_.AddWorkbook("Ledger.xlsx");
    ledger_book.AddSheet("Other");
    ledger_ = &ledger_book.AddSheet("Ledger");
    bank.Put(1, 1, host::Value::Number(10));
    bank.Put(2, 1, host::Value::Error(host::CellError::kNA));
    bank.Put(3, 1, host::Value::Number(20));
    ledger_->Put(1, 2, host::Value::Number(10));
    ledger_->Put(2, 2, host::Value::Text("20.00"));
    ledger_->Put(3, 2, host::Value::Text("1/5/2023"));
    range1_ = counted_.Wrap(bank.Ref("A1:A3"));
    range2_ = counted_.Wrap(ledger_->Ref("B1:B3"));
  }
  void Compare() {
    ribbon::RunProgress progress(state_, form_);
    engine::CompareRanges(counted_, range1_, range2_, state_.options, progress, state_.limits);
    form_.ShowNotices();
  }

  memhost::MemHost host_;
  quorvane::testing::CountingApplication counted_{host_};
  memhost::MemWorksheet* ledger_ = nullptr;
  state::AddinState state_;
  testing::RecordingUi ui_;
  ResultsForm form_{state_, ui_};
  host::Range range1_, range2_;
};

TEST_F(NoticeListTest, ListsTheLinesUnderTheCountersAndGrowsTheFormByItsHeight) {
  const ResultsForm plain(state_, ui_);
  Compare();
  const FormControl* list = form_.Find(ResultsForm::kNoticeList);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->kind, ControlKind::kList);
  EXPECT_EQ(list->lines, (std::vector<std::string>{
                             "1) [Bank.xlsx]Statement!$A$2 is ERROR",
                             "2) [Ledger.xlsx]Ledger!$B$2 is text but probably should be number.",
                             "3) [Ledger.xlsx]Ledger!$B$3 is text but probably should be date."}));
  EXPECT_EQ(ui_.events(), (std::vector<std::string>{"Layout frmVNT"}));

  // Every other control keeps its place and size; the list lies under all of them, within the
  // form's width, and the form is taller by exactly the list's height.
  ASSERT_EQ(form_.controls().size(), plain.controls().size() + 1);
  double lowest = 0;
  for (const FormControl& control : plain.controls()) {
    const FormControl* now = form_.Find(control.name);
    ASSERT_NE(now, nullptr) << control.name;
    EXPECT_EQ(std::make_tuple(now->left, now->top, now->width, now->height),
              std::make_tuple(control.left, control.top, control.width, control.height))
        << control.name;
    lowest = std::max(lowest, control.top + control.height);
  }
  EXPECT_GT(list->top, lowest);
  EXPECT_GE(list->left, 0);
  EXPECT_LE(list->left + list->width, form_.width());
  EXPECT_EQ(form_.width(), plain.width());
  EXPECT_EQ(form_.height(), plain.height() + list->height);
  EXPECT_LE(list->top + list->height, form_.height());
  // Three lines and the frame.
  EXPECT_EQ(list->height, 3 * list->line_height + 3);

  // A run without notices takes the list away and gives the form its own size back.
  ui_.Clear();
  ledger_->Put(2, 2, host::Value::Number(20));
  ledger_->Put(3, 2, host::Value());
  host_.FindWorkbook("Bank.xlsx")->FindSheet("Statement")->Put(2, 1, host::Value());
  Compare();
  EXPECT_EQ(form_.Find(ResultsForm::kNoticeList), nullptr);
  EXPECT_FALSE(form_.has_notices());
  EXPECT_EQ(form_.height(), plain.height());
  EXPECT_EQ(form_.controls().size(), plain.controls().size());
  EXPECT_EQ(ui_.events(), (std::vector<std::string>{"Layout frmVNT"}));
  // Nothing to take away: the front end is not bothered.
  form_.ShowNotices();
  form_.ClearNotices();
  EXPECT_EQ(ui_.events().size(), 1u);
}

TEST_F(NoticeListTest, ManyNoticesScrollInAListOfEightLines) {
  for (int row = 1; row <= 12; ++row)
    ledger_->Put(row, 3, host::Value::Text(std::to_string(row * 3)));
  range2_ = ledger_->Ref("C1:C12");
  Compare();
  const FormControl* list = form_.Find(ResultsForm::kNoticeList);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->lines.size(), 13u);
  EXPECT_EQ(list->lines.back(),
            "13) [Ledger.xlsx]Ledger!$C$12 is text but probably should be number.");
  EXPECT_EQ(list->height, 8 * list->line_height + 3);
  EXPECT_EQ(form_.height(), ResultsForm::kHeight + list->height);
}

TEST_F(NoticeListTest, ClickingALineSelectsItsCellInItsWorkbookAndSheet) {
  Compare();
  // The user is on the statement, and the ledger shows its other sheet.
  host_.FindWorkbook("Ledger.xlsx")->Activate();
  host_.FindWorkbook("Ledger.xlsx")->FindSheet("Other")->Select();
  host_.FindWorkbook("Bank.xlsx")->Activate();
  // A cell in another workbook, on a sheet that is not the active one there.
  form_.ClickLine(ResultsForm::kNoticeList, 2);
  EXPECT_EQ(&host_.ActiveWorkbook(), host_.FindWorkbook("Ledger.xlsx"));
  EXPECT_EQ(&host_.ActiveSheet(), ledger_);
  EXPECT_EQ(host_.Selection().Address(true), "[Ledger.xlsx]Ledger!$B$3");
  // And back to the first workbook.
  form_.ClickLine(ResultsForm::kNoticeList, 0);
  EXPECT_EQ(&host_.ActiveWorkbook(), host_.FindWorkbook("Bank.xlsx"));
  EXPECT_EQ(host_.Selection().Address(true), "[Bank.xlsx]Statement!$A$2");
  // The list keeps its cells when the state's notices go: a later line still finds its own cell.
  state::ClearNotices(state_);
  form_.ClickLine(ResultsForm::kNoticeList, 1);
  EXPECT_EQ(host_.Selection().Address(true), "[Ledger.xlsx]Ledger!$B$2");

  // Lines past the end and other controls select nothing.
  counted_.Reset();
  form_.ClickLine(ResultsForm::kNoticeList, 3);
  form_.ClickLine(ResultsForm::kStopButton, 0);
  EXPECT_EQ(counted_.count(host::Call::kRangeSelect), 0u);
  EXPECT_EQ(host_.Selection().Address(true), "[Ledger.xlsx]Ledger!$B$2");
  // The cell is selected after its sheet, as the host selects cells only on the active sheet.
  form_.ClickLine(ResultsForm::kNoticeList, 0);
  EXPECT_EQ(counted_.count(host::Call::kWorkbookActivate), 1u);
  EXPECT_EQ(counted_.count(host::Call::kSheetSelect), 1u);
  EXPECT_EQ(counted_.count(host::Call::kRangeSelect), 1u);
}

}  // namespace
}  // namespace quorvane::forms
