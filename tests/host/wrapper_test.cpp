// The host wrapper over the in-memory host: every call made through it, or through an object it
// handed out, passes its hook once; ranges are re-pointed both ways; a decorator changes one member
// and inherits the rest.
#include "host/wrapper.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "host/error.h"
#include "memhost/host.h"
#include "support/counting_host.h"
#include "support/mem_host_fixture.h"

namespace quorvane::host {
namespace {

using quorvane::testing::CountingApplication;

bool IsWrapperOf(const ApplicationWrapper& app, Worksheet& sheet) {
  auto* wrapper = dynamic_cast<WorksheetWrapper*>(&sheet);
  return wrapper != nullptr && &wrapper->app() == &app;
}

class WrapperTest : public quorvane::testing::MemHostFixture {
 protected:
  memhost::MemWorksheet& other_ = book.AddSheet("Other");
  CountingApplication counted_{mem};
};

TEST_F(WrapperTest, EveryCallIsSeenOnceFailedOnesTooAndSetUpIsNot) {
  sheet.Put(1, 1, Value::Number(1));
  sheet.PutFill(1, 1, 255, 1);
  sheet.PutComment(1, 1, "x");
  sheet.HideRow(2);
  const Range cell = counted_.Wrap(sheet.Ref("A1"));
  EXPECT_EQ(counted_.total(), 0u);

  EXPECT_EQ(cell.GetValue(), Value::Number(1));
  cell.GetValue();
  cell.Text();
  cell.SetInteriorColor(Value::Number(1));
  EXPECT_THROW(cell.AddComment(), HostError);                // the cell has one
  EXPECT_EQ(cell.Address(true), "[Book1.xlsx]Sheet1!$A$1");  // the sheet's parent and both names
  EXPECT_EQ(counted_.count(Call::kValue), 2u);
  EXPECT_EQ(counted_.count(Call::kText), 1u);
  EXPECT_EQ(counted_.count(Call::kSetInteriorColor), 1u);
  EXPECT_EQ(counted_.count(Call::kAddComment), 1u);
  EXPECT_EQ(counted_.count(Call::kSheetParent), 1u);
  EXPECT_EQ(counted_.count(Call::kSheetName), 1u);
  EXPECT_EQ(counted_.count(Call::kWorkbookName), 1u);
  EXPECT_EQ(counted_.total(), 8u);
  EXPECT_EQ(sheet.data().Find(1, 1)->fill.color, 1);  // the call reached the host

  // Failed selections count: the host refuses cells of a sheet that is not active.
  EXPECT_THROW(counted_.Wrap(other_.Ref("B2")).Select(), HostError);
  counted_.Wrap(sheet.Ref("B2")).Select();
  EXPECT_EQ(counted_.count(Call::kRangeSelect), 2u);
  counted_.Reset();
  EXPECT_EQ(counted_.total(), 0u);

  EXPECT_STREQ(CallName(Call::kValue), "Value");
  EXPECT_STREQ(CallName(Call::kShapeFormat), "Shape format");
  EXPECT_STREQ(CallName(Call::kHasScreen), "HasScreen");
  EXPECT_STREQ(CallName(Call::kCount), "?");
}

TEST_F(WrapperTest, EverythingReachedThroughItIsItsOwnWrapperOnePerTarget) {
  Worksheet& active = counted_.ActiveSheet();
  ASSERT_TRUE(IsWrapperOf(counted_, active));
  EXPECT_EQ(&static_cast<WorksheetWrapper&>(active).target(), &sheet);
  EXPECT_EQ(&counted_.Worksheets("Sheet1"), &active);
  EXPECT_EQ(&counted_.Workbooks("Book1.xlsx").Worksheets("Sheet1"), &active);
  EXPECT_EQ(&counted_.ActiveWorkbook(), &counted_.Workbooks("book1.xlsx"));
  EXPECT_EQ(&active.Parent(), &counted_.ActiveWorkbook());
  EXPECT_EQ(&counted_.Wrap(static_cast<Worksheet&>(sheet)), &active);
  EXPECT_EQ(&counted_.Wrap(active), &active);  // already its own
  EXPECT_NE(&counted_.Worksheets("Other"), &active);

  sheet.Put(3, 2, Value::Text("x"));
  EXPECT_EQ(&active.UsedRange().Parent(), &active);
  EXPECT_EQ(active.UsedRange().Address(), "$B$3");
  EXPECT_EQ(&counted_.RangeFromReference("Other!C4").Parent(), &counted_.Worksheets("Other"));
  mem.SetSelection(sheet.Ref("D5"));
  EXPECT_EQ(&counted_.Selection().Parent(), &active);
  mem.SetSelection(Range());
  EXPECT_TRUE(counted_.Selection().is_nothing());
  mem.SetInputBoxHandler([&](const memhost::InputBoxRequest&) { return sheet.Ref("A1:A3"); });
  const std::optional<Range> picked = counted_.InputBox("Pick", "Title", "");
  ASSERT_TRUE(picked);
  EXPECT_EQ(&picked->Parent(), &active);
  mem.SetInputBoxHandler(nullptr);
  EXPECT_FALSE(counted_.InputBox("Pick", "Title", ""));  // cancelled

  // A shape handed out is a wrapper too: its calls are seen, and they reach the host.
  std::unique_ptr<Shape> shape = active.AddShape(kShapeRectangle, 3, 15, 18, 8);
  ASSERT_NE(dynamic_cast<ShapeWrapper*>(shape.get()), nullptr);
  counted_.Reset();
  shape->SetName("CmtNum1");
  shape->SetFillForeSchemeColor(9);
  shape->SetFillVisible(true);
  shape->SetFillSolid();
  shape->SetLineVisible(false);
  shape->SetLineForeSchemeColor(64);
  shape->SetLineWeight(0.25);
  shape->SetText("1/2");
  shape->SetFontSize(6);
  shape->SetFontColorIndex(kColorIndexAutomatic);
  shape->SetMarginLeft(0);
  shape->SetMarginRight(0.5);
  shape->SetMarginTop(1);
  shape->SetMarginBottom(2);
  shape->SetHorizontalAlignment(kHAlignCenter);
  EXPECT_EQ(active.ShapesItem(1)->Name(), "CmtNum1");
  EXPECT_EQ(counted_.count(Call::kShapeSetName), 1u);
  EXPECT_EQ(counted_.count(Call::kShapeFormat), 14u);
  EXPECT_EQ(counted_.count(Call::kShapesItem), 1u);
  EXPECT_EQ(counted_.count(Call::kShapeName), 1u);
  EXPECT_EQ(counted_.total(), 17u);
  EXPECT_EQ(sheet.data().shapes.at(0).text, "1/2");
  EXPECT_EQ(sheet.data().shapes.at(0).margin_bottom, 2);
}

TEST_F(WrapperTest, RangesGoingInArePointedBackAtTheTargetsSheets) {
  sheet.Put(1, 1, Value::Number(1));
  sheet.Put(3, 1, Value::Text("a"));
  const Range list = counted_.Wrap(sheet.Ref("A1:A3"));
  EXPECT_EQ(counted_.Unwrap(list), sheet.Ref("A1:A3"));
  EXPECT_EQ(counted_.Unwrap(sheet.Ref("A1")), sheet.Ref("A1"));  // not its own: as it is
  EXPECT_TRUE(counted_.Unwrap(Range()).is_nothing());
  EXPECT_TRUE(counted_.Wrap(Range()).is_nothing());

  // The host answers from its own sheets, so no cell is read through the wrapper.
  counted_.Reset();
  EXPECT_EQ(counted_.CountA(list), 2);
  EXPECT_TRUE(counted_.IsText(list.Item(3)));
  EXPECT_FALSE(counted_.IsError(list.Item(1)));
  EXPECT_FALSE(counted_.IsLogical(list.Item(1)));
  EXPECT_EQ(counted_.total(), 4u);

  // Intersect takes ranges of the wrapper or of the host alike and answers on the wrapper.
  const Range overlap = counted_.Intersect(list, sheet.Ref("A2:B9"));
  EXPECT_EQ(overlap.Address(), "$A$2:$A$3");
  EXPECT_EQ(&overlap.Parent(), &list.Parent());
  EXPECT_TRUE(counted_.Intersect(list, counted_.Wrap(sheet.Ref("C1"))).is_nothing());
  EXPECT_THROW(counted_.Intersect(list, counted_.Wrap(other_.Ref("A1"))), HostError);
}

// A decorator that answers one member itself and refuses another; the rest passes through.
class FixedClockRefusingFills : public ApplicationWrapper {
 public:
  using ApplicationWrapper::ApplicationWrapper;
  double Now() override { return 45000.25; }
  void BeforeCall(Call member) override {
    if (member == Call::kSetInteriorColor) throw HostError("refused");
  }
};

TEST_F(WrapperTest, ADecoratorOverridesWhatItNeedsAndInheritsTheRest) {
  const LocaleConversions conversions;
  mem.SetConversions(conversions);
  mem.SetTime(44000);
  mem.SetHasScreen(true);
  FixedClockRefusingFills app(mem);
  EXPECT_EQ(app.Now(), 45000.25);
  EXPECT_TRUE(app.HasScreen());
  EXPECT_EQ(&app.GetConversions(), &conversions);
  app.MsgBox("Done", MessageIcon::kExclamation);
  app.SetStatusBar("Comparing");
  app.ResetStatusBar();
  app.DoEvents();
  EXPECT_EQ(mem.messages(), std::vector<std::string>{"Done"});
  EXPECT_EQ(mem.status_bar_history().size(), 2u);
  EXPECT_EQ(mem.yields(), 1u);
  app.ActiveWorkbook().FollowHyperlink("https://example.com/");
  EXPECT_EQ(mem.followed_links().size(), 1u);

  // A refused call never reaches the host.
  const Range cell = app.Wrap(sheet.Ref("B2"));
  EXPECT_THROW(cell.SetInteriorColor(Value::Number(255)), HostError);
  EXPECT_EQ(sheet.data().Find(2, 2), nullptr);
  cell.SetInteriorPattern(Value::Number(kPatternSolid));
  EXPECT_EQ(cell.InteriorPattern(), kPatternSolid);
}

}  // namespace
}  // namespace quorvane::host
