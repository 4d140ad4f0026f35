// The ribbon's callbacks as the host reaches them by name: the table itself, the text and enable
// callbacks, the invalidations, the options, range entry with its cancel paths and the button
// commands, including presses that arrive nested inside a running comparison.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin/harness.h"
#include "host/error.h"
#include "ribbon/buttons.h"
#include "ribbon/callbacks.h"
#include "ribbon/dispatch.h"

namespace quorvane::ribbon {
namespace {

using host::Value;
using quorvane::testing::Harness;

const std::vector<std::string> kClosing = {"btnCompare", "btnClearFormating", "btnStop"};

class RibbonTest : public ::testing::Test {
 protected:
  RibbonTest() {
    for (int row = 1; row <= 4; ++row) {
      sheet_.Put(row, 1, Value::Number(row * 10));
      sheet_.Put(row, 2, Value::Number(row * 10 + (row == 4 ? 1 : 0)));
    }
    h_.StartUp();
    h_.ribbon.events.clear();
  }
  void SetBothRanges() {
    h_.AnswerInputBoxes({sheet_.Ref("A1:A4"), sheet_.Ref("B1:B4")});
    h_.Press("btnRange1");
    h_.Press("btnRange2");
    h_.ribbon.events.clear();
  }

  Harness h_;
  memhost::MemWorkbook& book_ = h_.host.AddWorkbook("Book1.xlsx");
  memhost::MemWorksheet& sheet_ = book_.AddSheet("Sheet1");
};

TEST(Dispatch, NamesAreFoundWithoutRegardToCase) {
  ASSERT_TRUE(FindCallback("onButtonPressed").has_value());
  EXPECT_EQ(FindCallback("OnButtonPressed"), FindCallback("onButtonPressed"));
  EXPECT_EQ(FindCallback("ONBUTTONPRESSED"), FindCallback("onButtonPressed"));
  EXPECT_EQ(CallbackName(*FindCallback("onbuttonpressed")), "onButtonPressed");
  EXPECT_EQ(CallbackName(*FindCallback("on_action")), "On_Action");
  EXPECT_FALSE(FindCallback("onButtonPressed ").has_value());
  EXPECT_FALSE(FindCallback("").has_value());
  EXPECT_FALSE(FindCallback("ThisDocument.MyLauncherMacro").has_value());
  EXPECT_EQ(CallbackName(0), "");
  EXPECT_EQ(CallbackName(999), "");
}

TEST_F(RibbonTest, UnknownNamesAndBadArgumentsComeBackAsResults) {
  DispatchResult r = h_.Call("NoSuchCallback", {});
  EXPECT_EQ(r.status, DispatchStatus::kUnknownName);
  EXPECT_EQ(r.description, "unknown name: NoSuchCallback");
  std::vector<Variant> none;
  EXPECT_EQ(Invoke(h_.connect, 0, none).status, DispatchStatus::kUnknownName);

  EXPECT_EQ(h_.Call("OnGetText", {}).status, DispatchStatus::kBadArguments);
  EXPECT_EQ(h_.Call("OnGetText", {std::string("EditBox1")}).status, DispatchStatus::kBadArguments);
  EXPECT_EQ(h_.Call("OnGetText", {static_cast<RibbonControl*>(nullptr)}).status,
            DispatchStatus::kBadArguments);
  EXPECT_EQ(h_.Call("RefreshCounts", {state::kTrue}).status, DispatchStatus::kBadArguments);
  // A pressed state that is not a boolean changes nothing.
  ASSERT_EQ(h_.library.state.options.hide_comments, state::kTrue);
  DispatchResult bad = h_.CallWith("On_Action", "chkHideComments", {std::string("0")});
  EXPECT_EQ(bad.status, DispatchStatus::kBadArguments);
  EXPECT_EQ(h_.library.state.options.hide_comments, state::kTrue);
  EXPECT_TRUE(h_.ribbon.events.empty());
}

TEST_F(RibbonTest, LabelTextsFollowTheCountRule) {
  EXPECT_EQ(CountText(0), " 0");
  EXPECT_EQ(CountText(125), " 125");
  EXPECT_EQ(CountText(-3), "-3");
  EXPECT_EQ(CountText(32767), " 32767");
  EXPECT_EQ(CountText(-32768), "-32768");

  h_.library.state.counters.count1 = 12;
  h_.library.state.counters.hidden2 = -1;
  EXPECT_EQ(h_.Text("lblCount01"), " 12");
  EXPECT_EQ(h_.Text("txtCount01"), " 12");
  EXPECT_EQ(h_.Text("lblHiddenCells02"), "-1");
  EXPECT_EQ(h_.Text("lblCount"), "");  // a fixed title label
  EXPECT_EQ(h_.Text("lblcount01"), "");
  EXPECT_EQ(h_.Text(""), "");
}

TEST_F(RibbonTest, BothLargeButtonsAreEnabledOnlyWithBothRangeTexts) {
  auto enabled = [&] {
    state::Bool16 a = h_.Flag("GetEnable", "btnCompare");
    EXPECT_EQ(a, h_.Flag("GetEnable", "btnClearFormating"));
    return a;
  };
  EXPECT_EQ(enabled(), state::kFalse);
  h_.library.state.range1_text = "[Book1.xlsx]Sheet1!$A$1";
  EXPECT_EQ(enabled(), state::kFalse);
  h_.library.state.range1_text.clear();
  h_.library.state.range2_text = "[Book1.xlsx]Sheet1!$B$1";
  EXPECT_EQ(enabled(), state::kFalse);
  h_.library.state.range1_text = "x";
  EXPECT_EQ(enabled(), state::kTrue);
}

TEST_F(RibbonTest, InvalidationsComeInTheirOrder) {
  h_.Call("RefreshCounts", {});
  EXPECT_EQ(h_.ribbon.events,
            (std::vector<std::string>{"lblCount01", "lblCount02", "lblMatch01", "lblMatch02",
                                      "lblNoMatch01", "lblNoMatch02", "lblPossibleTP01",
                                      "lblPossibleTP02", "lblPossibleYO01", "lblPossibleYO02",
                                      "lblHiddenCells01", "lblHiddenCells02"}));
  // An unknown or empty id runs no command, only the closing invalidations.
  for (const char* id : {"btnNothing", "", "BTNCOMPARE"}) {
    h_.ribbon.events.clear();
    h_.Press(id);
    EXPECT_EQ(h_.ribbon.events, kClosing) << id;
  }
  h_.ribbon.events.clear();
  h_.Press("btnClearRange2");
  EXPECT_EQ(h_.ribbon.events,
            (std::vector<std::string>{"EditBox2", "btnCompare", "btnClearFormating", "btnStop"}));
}

TEST(Ribbon, InvalidationBeforeTheRibbonLoadsDoesNothing) {
  Harness h;
  h.connect.IDTExtensibility2_OnConnection(&h.application, addin::kStartup);
  h.connect.IDTExtensibility2_OnStartupComplete();  // no ribbon yet
  EXPECT_EQ(h.Call("RefreshControl", {std::string("EditBox1")}).status, DispatchStatus::kOk);
  EXPECT_EQ(h.Call("RefreshCounts", {}).status, DispatchStatus::kOk);
  h.connect.IRibbonExtensibility_GetCustomUI("Microsoft.Excel.Workbook");
  h.Call("OnRibbonLoad", {static_cast<RibbonUI*>(&h.ribbon)});
  EXPECT_TRUE(h.ribbon.events.empty());
  h.connect.IDTExtensibility2_OnStartupComplete();
  EXPECT_EQ(h.ribbon.events, std::vector<std::string>{"*"});
}

TEST_F(RibbonTest, OptionStatesAcrossASecondRibbonDefinition) {
  const std::vector<std::string> on = {"chkRoundNum", "chkCompareNum", "chkIgnoreZero",
                                       "chkHideComments", "chkExplainMore"};
  const std::vector<std::string> off = {"chkIgnoreSign", "chkReverse", "chkIgnore10digit"};
  for (const auto& id : on) EXPECT_EQ(h_.Flag("GetPressed", id), state::kTrue) << id;
  for (const auto& id : off) EXPECT_EQ(h_.Flag("GetPressed", id), state::kFalse) << id;

  h_.CallWith("On_Action", "chkHideComments", {state::kFalse});
  h_.CallWith("On_Action", "chkReverse", {state::kTrue});
  h_.CallWith("On_Action", "chkRoundNum", {state::Bool16{1}});  // not -1: false
  h_.CallWith("On_Action", "chkcompareNum", {state::kFalse});   // case differs: nothing
  EXPECT_EQ(h_.Flag("GetPressed", "chkHideComments"), state::kFalse);
  EXPECT_EQ(h_.Flag("GetPressed", "chkReverse"), state::kTrue);
  EXPECT_EQ(h_.Flag("GetPressed", "chkRoundNum"), state::kFalse);
  EXPECT_EQ(h_.Flag("GetPressed", "chkCompareNum"), state::kTrue);
  EXPECT_TRUE(h_.ribbon.events.empty());  // the host already shows a clicked box

  // Asking for the definition again turns the five default-on options back on, and, with the
  // ribbon held now, invalidates their boxes; the others keep their state.
  h_.connect.IRibbonExtensibility_GetCustomUI("Microsoft.Excel.Workbook");
  EXPECT_EQ(h_.ribbon.events, on);
  for (const auto& id : on) EXPECT_EQ(h_.Flag("GetPressed", id), state::kTrue) << id;
  EXPECT_EQ(h_.Flag("GetPressed", "chkReverse"), state::kTrue);
  EXPECT_EQ(h_.Flag("GetPressed", "chkIgnoreSign"), state::kFalse);
  EXPECT_EQ(h_.Flag("GetPressed", "chkUnknown"), state::kFalse);
}

TEST_F(RibbonTest, RangeEntryDefaultsAndCancelPaths) {
  // A shape or chart selected: no default.
  h_.host.SetSelection(host::Range());
  h_.AnswerInputBoxes({sheet_.Ref("A1:A4"), sheet_.Ref("B1:B4"), host::Range()});
  h_.Press("btnRange1");
  h_.host.SetSelection(sheet_.Ref("B3:B17"));
  h_.Press("btnRange2");
  ASSERT_EQ(h_.host.input_boxes().size(), 2u);
  EXPECT_EQ(h_.host.input_boxes()[0].default_text, "");
  EXPECT_EQ(h_.host.input_boxes()[1].default_text, "$B$3:$B$17");
  EXPECT_EQ(h_.Flag("GetEnable", "btnCompare"), state::kTrue);

  // Cancelling "Set Range#2" empties both the slot and the text, even after a range was set.
  h_.ribbon.events.clear();
  h_.Press("btnRange2");
  EXPECT_FALSE(h_.library.state.range2);
  EXPECT_EQ(h_.Text("EditBox2"), "");
  EXPECT_EQ(h_.Flag("GetEnable", "btnCompare"), state::kFalse);
  EXPECT_EQ(h_.ribbon.events,
            (std::vector<std::string>{"EditBox2", "btnCompare", "btnClearFormating", "btnStop"}));

  // "Clear Range#1" empties the text only.
  h_.Press("btnClearRange1");
  EXPECT_EQ(h_.Text("EditBox1"), "");
  EXPECT_EQ(h_.library.state.range1, sheet_.Ref("A1:A4"));

  // GetRangeForm with another control asks nothing and changes nothing.
  DispatchResult r = h_.CallWith("GetRangeForm", "btnCompare");
  EXPECT_EQ(r.status, DispatchStatus::kOk);
  EXPECT_EQ(std::get<std::string>(r.value), "");
  EXPECT_EQ(h_.host.input_boxes().size(), 3u);
  EXPECT_EQ(h_.library.state.range1, sheet_.Ref("A1:A4"));
}

TEST_F(RibbonTest, RangeSetupComparesOrFailsOnCancel) {
  h_.AnswerInputBoxes({sheet_.Ref("A1:A4"), sheet_.Ref("B1:B4")});
  ASSERT_EQ(h_.Call("RangeSetup", {}).status, DispatchStatus::kOk);
  ASSERT_EQ(h_.host.input_boxes().size(), 2u);
  EXPECT_EQ(h_.host.input_boxes()[0].title, "MERIDANE TOOL - RANGE1");
  EXPECT_EQ(h_.host.input_boxes()[1].prompt, "Enter range");
  EXPECT_EQ(h_.host.input_boxes()[1].title, "MERIDANE TOOL - RANGE2");
  EXPECT_EQ(h_.host.input_boxes()[1].default_text, "");
  EXPECT_EQ(h_.Text("lblNoMatch01"), " 1");
  EXPECT_EQ(h_.Text("EditBox1"), "");  // the texts are not touched
  EXPECT_EQ(h_.host.status_bar(), std::nullopt);

  // Second box cancelled: fails at once, Range 2 stays.
  h_.AnswerInputBoxes({sheet_.Ref("A2:A4"), host::Range()});
  DispatchResult r = h_.Call("RangeSetup", {});
  EXPECT_EQ(r.status, DispatchStatus::kFailed);
  EXPECT_EQ(r.description, host::kTypeMismatch);
  EXPECT_EQ(h_.library.state.range2, sheet_.Ref("B1:B4"));

  // First box cancelled: the second is still shown, then it fails without comparing.
  h_.AnswerInputBoxes({host::Range(), sheet_.Ref("B2:B4")});
  r = h_.Call("RangeSetup", {});
  EXPECT_EQ(r.status, DispatchStatus::kFailed);
  EXPECT_EQ(h_.host.input_boxes().size(), 6u);
  EXPECT_FALSE(h_.library.state.range1);
  EXPECT_EQ(h_.Text("lblCount01"), " 4");  // still the first run's counts
  EXPECT_FALSE(h_.library.comparison_running);
}

// RangeSetup runs the matching pass without the driver's item limit; the cell limit still holds,
// so no count of a range past 32767 reaches the counters or a mark.
TEST_F(RibbonTest, RangeSetupRefusesRangesTooLargeForTheCounters) {
  for (int row = 1; row <= 33000; ++row) sheet_.Put(row, 3, Value::Number(1));
  sheet_.Put(1, 4, Value::Number(2));
  h_.AnswerInputBoxes({sheet_.Ref("C1:C33000"), sheet_.Ref("D1")});
  ASSERT_EQ(h_.Call("RangeSetup", {}).status, DispatchStatus::kOk);
  EXPECT_EQ(h_.host.messages(), std::vector<std::string>{"Too many cells in range.  Max is 32767"});
  EXPECT_FALSE(sheet_.data().Find(1, 3)->comment.has_value());
  EXPECT_EQ(h_.library.state.counters.count1, 0);
}

TEST_F(RibbonTest, NestedCommandsAreRefusedWhileAComparisonRuns) {
  // Long enough lists for the comparison to yield and then look at the stop request.
  for (int row = 1; row <= 300; ++row) {
    sheet_.Put(row, 4, Value::Number(row));
    sheet_.Put(row, 5, Value::Number(row));
  }
  h_.AnswerInputBoxes({sheet_.Ref("D1:D300"), sheet_.Ref("E1:E300")});
  h_.Press("btnRange1");
  h_.Press("btnRange2");
  const std::string text1 = h_.library.state.range1_text;
  int nested = 0;
  h_.host.SetYieldHook([&] {
    if (nested++ > 0) return;
    for (const char* id :
         {"btnCompare", "btnClearFormating", "btnRange1", "btnClearRange1", "btnAbout"}) {
      h_.Press(id);
    }
    h_.Press("btnStop");
    h_.Press("btnStop");  // already set: stays set
  });
  h_.ui.Clear();
  h_.Press("btnCompare");
  EXPECT_EQ(h_.host.input_boxes().size(), 2u);  // no nested range entry
  EXPECT_EQ(h_.library.state.range1_text, text1);
  EXPECT_EQ(h_.ui.events(),
            (std::vector<std::string>{"Show frmVNT", "SetFocus frmVNT", "Hide frmVNT"}));
  EXPECT_EQ(h_.host.messages(), std::vector<std::string>{"User Stopped"});
  EXPECT_EQ(h_.library.state.stop_requested, state::kTrue);
  EXPECT_FALSE(h_.library.comparison_running);

  // Afterwards the commands work again, and a new run clears the stop request.
  h_.host.SetYieldHook({});
  h_.Press("btnCompare");
  EXPECT_EQ(h_.library.state.stop_requested, state::kFalse);
  EXPECT_EQ(h_.Text("lblMatch01"), " 300");
  h_.Press("btnClearRange1");
  EXPECT_EQ(h_.Text("EditBox1"), "");
}

TEST_F(RibbonTest, AFailingCommandGoesBackToTheHostAndTheNextOneWorks) {
  // "Compare Ranges" with a slot holding nothing: the driver fails; status text and form stay.
  h_.library.state.range1_text = h_.library.state.range2_text = "text only";
  DispatchResult r = h_.CallWith("onButtonPressed", "btnCompare");
  EXPECT_EQ(r.status, DispatchStatus::kFailed);
  EXPECT_FALSE(r.description.empty());
  EXPECT_EQ(h_.host.status_bar(), std::optional<std::string>(kStatusInProgress));
  EXPECT_TRUE(h_.library.results_form.visible());
  EXPECT_TRUE(h_.ribbon.events.empty());  // no closing invalidations
  EXPECT_FALSE(h_.library.comparison_running);

  SetBothRanges();
  h_.Press("btnCompare");
  EXPECT_EQ(h_.host.status_bar(), std::nullopt);
  EXPECT_FALSE(h_.library.results_form.visible());
  EXPECT_EQ(h_.Text("lblCount02"), " 4");
}

}  // namespace
}  // namespace quorvane::ribbon
