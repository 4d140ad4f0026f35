// The add-in's whole road on the in-memory host, driven through the entry points the host calls:
// start-up, both ranges set through the input box, "Compare Ranges", every label read back, then
// "Clear Formatting".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin/harness.h"
#include "ribbon/buttons.h"

namespace quorvane::testing {
namespace {

using host::Value;

const std::vector<std::string> kLabelIds = {
    "lblCount01",      "lblCount02",      "lblMatch01",       "lblMatch02",
    "lblNoMatch01",    "lblNoMatch02",    "lblPossibleTP01",  "lblPossibleTP02",
    "lblPossibleYO01", "lblPossibleYO02", "lblHiddenCells01", "lblHiddenCells02"};

TEST(EndToEnd, StartSetRangesCompareReadLabelsAndClear) {
  Harness h;
  memhost::MemWorkbook& book = h.host.AddWorkbook("Book1.xlsx");
  memhost::MemWorksheet& sheet = book.AddSheet("Sheet1");
  // Range 1 in A1:A5, Range 2 in B1:B5; row 5 is hidden. 123.45 and 132.45 are a transposition;
  // 30 and 40 simply have no partner.
  const double list1[] = {123.45, 10, 20, 30, 7};
  const double list2[] = {132.45, 10, 20, 40, 8};
  for (int row = 1; row <= 5; ++row) {
    sheet.Put(row, 1, Value::Number(list1[row - 1]));
    sheet.Put(row, 2, Value::Number(list2[row - 1]));
  }
  sheet.HideRow(5);

  h.StartUp();
  EXPECT_TRUE(h.ui.messages().empty());
  EXPECT_TRUE(h.host.messages().empty());
  EXPECT_EQ(h.ribbon.events, std::vector<std::string>{"*"});  // start-up: the whole ribbon
  for (const std::string& id : kLabelIds) EXPECT_EQ(h.Text(id), " 0") << id;
  EXPECT_EQ(h.Text("EditBox1"), "");
  EXPECT_EQ(h.Flag("GetEnable", "btnCompare"), state::kFalse);

  // Set both ranges; the selection is offered as the default.
  h.host.SetSelection(sheet.Ref("A1:A5"));
  h.AnswerInputBoxes({sheet.Ref("A1:A5"), sheet.Ref("B1:B5")});
  h.Press("btnRange1");
  h.host.SetSelection(sheet.Ref("B1:B5"));
  h.Press("btnRange2");
  ASSERT_EQ(h.host.input_boxes().size(), 2u);
  EXPECT_EQ(h.host.input_boxes()[0].prompt, "Select range from Excel Sheet");
  EXPECT_EQ(h.host.input_boxes()[0].title, "Get Range #1");
  EXPECT_EQ(h.host.input_boxes()[0].default_text, "$A$1:$A$5");
  EXPECT_EQ(h.host.input_boxes()[1].title, "Get Range #2");
  EXPECT_EQ(h.host.input_boxes()[1].default_text, "$B$1:$B$5");
  EXPECT_EQ(h.Text("EditBox1"), "[Book1.xlsx]Sheet1!$A$1:$A$5");
  EXPECT_EQ(h.Text("EditBox2"), "[Book1.xlsx]Sheet1!$B$1:$B$5");
  EXPECT_EQ(h.Flag("GetEnable", "btnCompare"), state::kTrue);
  EXPECT_EQ(h.Flag("GetEnable", "btnClearFormating"), state::kTrue);

  // Compare: while it runs (seen at each label change) the status bar shows the progress text
  // and the results form is up.
  std::vector<std::string> seen_status;
  bool form_visible_during_run = false;
  h.ui.on_caption = [&] {
    std::string status = h.host.status_bar().value_or("<host>");
    if (seen_status.empty() || seen_status.back() != status) seen_status.push_back(status);
    form_visible_during_run = h.library.results_form.visible();
  };
  h.ui.Clear();
  h.ribbon.events.clear();
  h.Press("btnCompare");
  // Showing the form loads it (its labels are reset) before the status text is set.
  EXPECT_EQ(seen_status, (std::vector<std::string>{"<host>", ribbon::kStatusInProgress}));
  EXPECT_TRUE(form_visible_during_run);
  h.ui.on_caption = nullptr;
  EXPECT_EQ(h.host.status_bar(), std::nullopt);  // handed back to the host
  EXPECT_EQ(h.ui.events(),
            (std::vector<std::string>{"Show frmVNT", "SetFocus frmVNT", "Hide frmVNT"}));
  EXPECT_TRUE(h.host.messages().empty());
  ASSERT_GE(h.ribbon.events.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(h.ribbon.events.end() - 3, h.ribbon.events.end()),
            (std::vector<std::string>{"btnCompare", "btnClearFormating", "btnStop"}));

  const std::vector<std::string> expected = {" 4", " 4", " 2", " 2", " 2", " 2",
                                             " 1", " 1", " 0", " 0", " 1", " 1"};
  for (std::size_t i = 0; i < kLabelIds.size(); ++i) {
    EXPECT_EQ(h.Text(kLabelIds[i]), expected[i]) << kLabelIds[i];
  }
  // The hidden results form keeps the same counts.
  EXPECT_EQ(h.library.results_form.CaptionOf("lblCount1"), "4");
  EXPECT_EQ(h.library.results_form.CaptionOf("lblTranspose2"), "1");
  EXPECT_EQ(h.library.results_form.CaptionOf("lblHiddenCell1"), "1");
  // The mismatches are marked on the sheet.
  EXPECT_NE(sheet.InteriorPattern(4, 1), host::kPatternNone);
  EXPECT_TRUE(sheet.HasComment(4, 1));

  // Clear Formatting: zero labels on the ribbon at once, marks gone.
  h.ribbon.events.clear();
  h.Press("btnClearFormating");
  ASSERT_GE(h.ribbon.events.size(), 12u);
  EXPECT_EQ(h.ribbon.events.front(), "lblCount01");
  for (const std::string& id : kLabelIds) EXPECT_EQ(h.Text(id), " 0") << id;
  EXPECT_EQ(sheet.InteriorPattern(4, 1), host::kPatternNone);
  EXPECT_FALSE(sheet.HasComment(4, 1));
  EXPECT_TRUE(h.host.messages().empty());
  EXPECT_TRUE(h.ui.messages().empty());
}

// A comparison that gathers notices leaves the results form up on their list; the next one starts
// without the list, and one refused before it runs shows none of the old notices.
TEST(EndToEnd, NoticesKeepTheResultsFormOpenOnTheirListUntilTheNextRun) {
  Harness h;
  memhost::MemWorksheet& sheet = h.host.AddWorkbook("Book1.xlsx").AddSheet("Sheet1");
  sheet.Put(1, 1, Value::Text("12.50"));
  sheet.Put(1, 2, Value::Number(12.5));
  h.StartUp();
  h.AnswerInputBoxes({sheet.Ref("A1:A2"), sheet.Ref("B1:B2")});
  h.Press("btnRange1");
  h.Press("btnRange2");

  h.ui.Clear();
  h.Press("btnCompare");
  EXPECT_EQ(h.ui.events(),
            (std::vector<std::string>{"Show frmVNT", "SetFocus frmVNT", "Layout frmVNT"}));
  EXPECT_TRUE(h.library.results_form.visible());
  const forms::FormControl* list = h.library.results_form.Find(forms::ResultsForm::kNoticeList);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->lines, (std::vector<std::string>{
                             "1) [Book1.xlsx]Sheet1!$A$1 is text but probably should be number."}));

  // The same lists without the text amount: the list goes when the run starts, and the form hides.
  sheet.Put(1, 1, Value::Number(12.5));
  h.ui.Clear();
  h.Press("btnCompare");
  EXPECT_EQ(h.ui.events(), (std::vector<std::string>{"Layout frmVNT", "Show frmVNT",
                                                     "SetFocus frmVNT", "Hide frmVNT"}));
  EXPECT_FALSE(h.library.results_form.visible());

  // Notices again, then a run refused for its size: it shows no notice of the run before.
  sheet.Put(1, 1, Value::Text("12.50"));
  h.Press("btnCompare");
  ASSERT_TRUE(h.library.results_form.has_notices());
  for (int row = 1; row <= 10001; ++row) sheet.Put(row, 3, Value::Number(row));
  h.AnswerInputBoxes({sheet.Ref("C1:C10001")});
  h.Press("btnRange1");
  h.Press("btnCompare");
  ASSERT_EQ(h.host.messages().size(), 1u);
  EXPECT_FALSE(h.library.results_form.has_notices());
  EXPECT_EQ(h.library.results_form.Find(forms::ResultsForm::kNoticeList), nullptr);
  EXPECT_FALSE(h.library.results_form.visible());
}

// A finding of the search that explains more stands in the list as one line; clicking it selects
// the finding's cell in Range 1.
TEST(EndToEnd, EachFindingThatExplainsMoreIsALineOfTheListThatSelectsItsCell) {
  Harness h;
  memhost::MemWorksheet& sheet = h.host.AddWorkbook("Book1.xlsx").AddSheet("Sheet1");
  sheet.Put(1, 1, Value::Number(40.25));
  sheet.Put(2, 1, Value::Number(350));
  sheet.Put(1, 2, Value::Number(-40.25));
  sheet.Put(2, 2, Value::Number(100));
  sheet.Put(3, 2, Value::Number(250));
  h.StartUp();
  h.AnswerInputBoxes({sheet.Ref("A1:A3"), sheet.Ref("B1:B3")});
  h.Press("btnRange1");
  h.Press("btnRange2");
  h.Press("btnCompare");

  const forms::FormControl* list = h.library.results_form.Find(forms::ResultsForm::kNoticeList);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->lines,
            (std::vector<std::string>{
                "[Book1.xlsx]Sheet1!$A$1: Possible Sign Error $A$1 and $B$1 for Range 1 and 2, "
                "respectively.",
                "[Book1.xlsx]Sheet1!$A$2: Possible Split: $A$2 of Range 1 equals $B$2 + $B$3 of "
                "Range 2"}));
  h.library.results_form.ClickLine(forms::ResultsForm::kNoticeList, 1);
  EXPECT_EQ(h.host.Selection().Address(), "$A$2");
}

}  // namespace
}  // namespace quorvane::testing
