// The form models: the results form's layout and loading, and frmAddIn's buttons.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/state.h"
#include "forms/addin_form.h"
#include "forms/recording_ui.h"
#include "forms/results_form.h"
#include "host/error.h"

namespace quorvane::forms {
namespace {

TEST(ResultsForm, LayoutPlacesEachValueUnderItsHeader) {
  engine::AddinState state;
  RecordingUi ui;
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
  engine::AddinState state;
  RecordingUi ui;
  ui.set_record_captions(true);
  ResultsForm form(state, ui);
  state.results_form = &form;
  state.counters.nCount2 = 5;
  EXPECT_FALSE(form.loaded());
  // The first label write loads the form, whose reset zeroes all twelve counters and labels,
  // the written one included: label and counter stay equal.
  engine::SetCounter(state, engine::Counter::kMatch1, 3);
  EXPECT_TRUE(form.loaded());
  EXPECT_EQ(state.counters.nCount2, 0);
  EXPECT_EQ(state.counters.nMatch1, 0);
  EXPECT_EQ(form.CaptionOf("lblMatch1"), "0");
  EXPECT_EQ(ui.events().size(), 12u);
  engine::IncrementCounter(state, engine::Counter::kMatch1);
  engine::IncrementCounter(state, engine::Counter::kMatch1);
  engine::IncrementCounter(state, engine::Counter::kMatch1);
  EXPECT_EQ(state.counters.nMatch1, 3);
  EXPECT_EQ(form.CaptionOf("lblMatch1"), "3");
  EXPECT_EQ(ui.events().back(), "Caption frmVNT.lblMatch1=3");
  // Hiding keeps the counts.
  form.Show();
  form.Hide();
  EXPECT_EQ(form.CaptionOf("lblMatch1"), "3");
  EXPECT_FALSE(form.visible());
  // Stop with no comparison running sets the request; other controls do nothing.
  form.Click("Label3");
  EXPECT_EQ(state.bStop, engine::kFalse);
  form.Click("Command1");
  EXPECT_EQ(state.bStop, engine::kTrue);
}

class Owner : public AddInFormOwner {
 public:
  std::string EnvironmentName() override { return "Designer"; }
  void Hide() override { ++hides; }
  int hides = 0;
};

TEST(AddInForm, OkNamesTheEnvironmentAndCancelHidesThroughTheOwner) {
  engine::AddinState state;
  RecordingUi ui;
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

}  // namespace
}  // namespace quorvane::forms
