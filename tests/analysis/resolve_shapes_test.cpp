#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "analysis/resolve.h"
#include "host/error.h"
#include "marks/rectangles.h"
#include "memhost/host.h"
#include "support/mem_host_fixture.h"

namespace quorvane::testing {
namespace {

class ResolveTest : public MemHostFixture {
 protected:
  ResolveTest() : sheet2(book.AddSheet("Sheet2")) {}

  void Fill(memhost::MemWorksheet& on, const char* from, const char* to) {
    const host::Range a = on.Ref(from), b = on.Ref(to);
    on.Put(a.row(), a.column(), host::Value::Number(1));
    on.Put(b.row(), b.column(), host::Value::Number(1));
  }

  memhost::MemWorksheet& sheet2;
};

TEST_F(ResolveTest, CutsTheRangeDownToTheUsedArea) {
  Fill(sheet, "A1", "C25");
  EXPECT_EQ(analysis::ResolveRange(mem, sheet.Ref("A2:A40")).Address(), "$A$2:$A$25");
  EXPECT_EQ(analysis::ResolveRange(mem, sheet.Ref("B:B")).Address(), "$B$1:$B$25");
}

TEST_F(ResolveTest, RangeWhollyOutsideTheUsedAreaGivesNothing) {
  Fill(sheet, "B2", "D9");
  EXPECT_TRUE(analysis::ResolveRange(mem, sheet.Ref("A:A")).is_nothing());
}

TEST_F(ResolveTest, BringsTheRangesWorkbookAndSheetToTheFront) {
  memhost::MemWorkbook& book2 = mem.AddWorkbook("Other Book.xlsx");
  book2.AddSheet("First");
  memhost::MemWorksheet& target = book2.AddSheet("Ledger 2026");
  Fill(target, "A1", "B5");
  ASSERT_EQ(mem.ActiveWorkbook().Name(), "Book1.xlsx");
  const host::Range resolved = analysis::ResolveRange(mem, target.Ref("A1:A3"));
  EXPECT_EQ(resolved.Address(true), "'[Other Book.xlsx]Ledger 2026'!$A$1:$A$3");
  EXPECT_EQ(mem.ActiveWorkbook().Name(), "Other Book.xlsx");
  EXPECT_EQ(mem.ActiveSheet().Name(), "Ledger 2026");
}

TEST_F(ResolveTest, FindsAWorkbookWhoseNameHoldsASingleQuote) {
  memhost::MemWorkbook& bobs = mem.AddWorkbook("Bob's accounts.xlsx");
  memhost::MemWorksheet& here = bobs.AddSheet("It's here");
  Fill(here, "A1", "A3");
  const host::Range resolved = analysis::ResolveRange(mem, here.Ref("A1:A9"));
  EXPECT_EQ(resolved.Address(), "$A$1:$A$3");
  EXPECT_EQ(mem.ActiveWorkbook().Name(), "Bob's accounts.xlsx");
  EXPECT_EQ(mem.ActiveSheet().Name(), "It's here");
}

TEST_F(ResolveTest, NothingFailsWithAHostError) {
  EXPECT_THROW(analysis::ResolveRange(mem, host::Range()), host::HostError);
}

class ShapesTest : public ResolveTest {
 protected:
  host::Range Cell(const char* ref) { return sheet.Ref(ref); }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const memhost::ShapeData& shape : sheet.data().shapes) names.push_back(shape.name);
    return names;
  }
};

TEST_F(ShapesTest, RectangleSitsInTheCellsTopLeftCornerWithItsLook) {
  sheet.data().row_heights[3] = 20;
  marks::AddCommentShape(Cell("A4"), "A", "2,1");
  ASSERT_EQ(sheet.data().shapes.size(), 1u);
  const memhost::ShapeData& shape = sheet.data().shapes[0];
  EXPECT_EQ(shape.name, "CmtNumARectangle 1");
  EXPECT_EQ(shape.type, host::kShapeRectangle);
  EXPECT_DOUBLE_EQ(shape.left, 3);
  EXPECT_DOUBLE_EQ(shape.top, 15 + 15 + 20);
  EXPECT_DOUBLE_EQ(shape.width, 18);
  EXPECT_DOUBLE_EQ(shape.height, 8);
  EXPECT_EQ(shape.fill_scheme_color, 9);
  EXPECT_TRUE(shape.fill_visible);
  EXPECT_TRUE(shape.fill_solid);
  EXPECT_TRUE(shape.line_visible);
  EXPECT_EQ(shape.line_scheme_color, 64);
  EXPECT_DOUBLE_EQ(shape.line_weight, 0.25);
  EXPECT_EQ(shape.text, "2,1");
  EXPECT_DOUBLE_EQ(shape.font_size, 6);
  EXPECT_EQ(shape.font_color_index, -4105);
  EXPECT_DOUBLE_EQ(shape.margin_left + shape.margin_right + shape.margin_top + shape.margin_bottom,
                   0);
  EXPECT_EQ(shape.horizontal_alignment, -4108);

  sheet.data().column_widths[2] = 30;
  marks::AddCommentShape(Cell("C1"), "B", "1,0");
  EXPECT_DOUBLE_EQ(sheet.data().shapes[1].left, 48 + 30 + 3);
  EXPECT_EQ(sheet.data().shapes[1].name, "CmtNumBRectangle 2");
}

TEST_F(ShapesTest, RemovalByTagKeepsOtherTagsAndOtherLetterCase) {
  marks::AddCommentShape(Cell("A1"), "A", "1,0");
  marks::AddCommentShape(Cell("A2"), "B", "1,0");
  marks::AddCommentShape(Cell("A3"), "A", "1,0");
  sheet.AddShape(host::kShapeRectangle, 0, 0, 10, 10)->SetName("cmtnumA mine");
  sheet.AddShape(host::kShapeRectangle, 0, 0, 10, 10)->SetName("CmtNu");
  marks::RemoveCommentShapes(Cell("Z99"), "A");
  EXPECT_EQ(Names(), (std::vector<std::string>{"CmtNumBRectangle 2", "cmtnumA mine", "CmtNu"}));
  marks::RemoveCommentShapes(Cell("A1"), "");
  EXPECT_EQ(Names(), (std::vector<std::string>{"cmtnumA mine", "CmtNu"}));
  // A new shape is never given a name that was used before.
  marks::AddCommentShape(Cell("A1"), "A", "1,0");
  EXPECT_EQ(Names().back(), "CmtNumARectangle 6");
}

TEST_F(ShapesTest, ProtectedSheetRefusesAndASheetWithoutShapesIsFine) {
  marks::RemoveCommentShapes(Cell("A1"), "A");
  sheet.Protect();
  EXPECT_THROW(marks::AddCommentShape(Cell("A1"), "A", "1,0"), host::HostError);
  EXPECT_TRUE(sheet.data().shapes.empty());
}

}  // namespace
}  // namespace quorvane::testing
