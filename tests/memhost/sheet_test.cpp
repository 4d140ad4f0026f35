// The in-memory worksheet: fills, the used range, comments, shapes, cell geometry and protection.
#include <gtest/gtest.h>

#include <string>

#include "host/error.h"
#include "memhost/expect_host_error.h"
#include "memhost/host.h"

namespace quorvane::memhost {
namespace {

using host::HostError;
using host::Value;

class SheetTest : public ::testing::Test {
 protected:
  MemHost host_;
  MemWorkbook& book_ = host_.AddWorkbook("Book1.xlsx");
  MemWorksheet& sheet_ = book_.AddSheet("Sheet1");
};

TEST_F(SheetTest, FillsFollowTheHost) {
  // Unfilled.
  EXPECT_EQ(sheet_.InteriorColor(2, 2), 16777215);
  EXPECT_EQ(sheet_.InteriorPattern(2, 2), -4142);

  // A colour on an unfilled cell makes it solid; a text colour is read as a number.
  sheet_.SetInteriorColor(2, 2, Value::Text(" 11120637 "));
  EXPECT_EQ(sheet_.InteriorColor(2, 2), 11120637);
  EXPECT_EQ(sheet_.InteriorPattern(2, 2), 1);

  // A pattern keeps the colour, a colour keeps the pattern.
  sheet_.SetInteriorPattern(2, 2, Value::Number(17));
  sheet_.SetInteriorColor(2, 2, Value::Number(6745634));
  EXPECT_EQ(sheet_.InteriorPattern(2, 2), 17);
  EXPECT_EQ(sheet_.InteriorColor(2, 2), 6745634);

  // No pattern removes the fill: white again, and the cell no longer stored.
  sheet_.SetInteriorPattern(2, 2, Value::Text("-4142"));
  EXPECT_EQ(sheet_.InteriorColor(2, 2), 16777215);
  EXPECT_EQ(sheet_.InteriorPattern(2, 2), -4142);
  EXPECT_EQ(sheet_.data().Find(2, 2), nullptr);

  // A pattern alone on an unfilled cell leaves the colour white.
  sheet_.SetInteriorPattern(3, 3, Value::Number(17));
  EXPECT_EQ(sheet_.InteriorColor(3, 3), 16777215);
  EXPECT_EQ(sheet_.InteriorPattern(3, 3), 17);

  // Removing the fill keeps the value.
  sheet_.Put(4, 1, Value::Number(5));
  sheet_.SetInteriorColor(4, 1, Value::Number(255));
  sheet_.SetInteriorPattern(4, 1, Value::Number(-4142));
  EXPECT_EQ(sheet_.CellValue(4, 1), Value::Number(5));
}

TEST_F(SheetTest, FillValuesTheHostRefuses) {
  EXPECT_HOST_ERROR(sheet_.SetInteriorColor(1, 1, Value::Text("red")), "Type mismatch");
  EXPECT_HOST_ERROR(sheet_.SetInteriorColor(1, 1, Value::Error(host::CellError::kNA)),
                    "Type mismatch");
  EXPECT_THROW(sheet_.SetInteriorColor(1, 1, Value::Number(16777216)), HostError);
  EXPECT_THROW(sheet_.SetInteriorColor(1, 1, Value::Number(-1)), HostError);
  EXPECT_HOST_ERROR(sheet_.SetInteriorColor(1, 1, Value::Number(1e12)), "Overflow");
  EXPECT_THROW(sheet_.SetInteriorPattern(1, 1, Value::Number(2)), HostError);
  EXPECT_THROW(sheet_.SetInteriorPattern(1, 1, Value::Number(19)), HostError);
  EXPECT_HOST_ERROR(sheet_.SetInteriorPattern(1, 1, Value::Text("solid")), "Type mismatch");
  // Nothing was changed by the refused calls.
  EXPECT_TRUE(sheet_.data().cells.empty());
  // Every constant of the host is accepted.
  for (int pattern : {-4105, 1, 9, 18, -4125, -4126, -4124, -4128, -4166, -4121, -4162}) {
    EXPECT_NO_THROW(sheet_.SetInteriorPattern(1, 1, Value::Number(pattern))) << pattern;
  }
}

TEST_F(SheetTest, UsedRangeCoversValuesCommentsAndFills) {
  EXPECT_EQ(sheet_.UsedRange().Address(), "$A$1");  // empty sheet
  sheet_.Put(3, 2, Value::Text("x"));
  EXPECT_EQ(sheet_.UsedRange().Address(), "$B$3");
  sheet_.PutComment(9, 4, "note");
  sheet_.PutFill(2, 3, 255, 1);
  EXPECT_EQ(sheet_.UsedRange().Address(), "$B$2:$D$9");
  // Taking the fill and the comment away shrinks it again.
  sheet_.SetInteriorPattern(2, 3, Value::Number(-4142));
  sheet_.ClearComments(host::Area{1, 1, 100, 100});
  EXPECT_EQ(sheet_.UsedRange().Address(), "$B$3");

  // Formatting alone counts: a number format, a border.
  sheet_.Put(20, 1, Value(), "0.00");
  EXPECT_EQ(sheet_.UsedRange().Address(), "$A$3:$B$20");
  sheet_.PutFormat(25, 6);
  EXPECT_EQ(sheet_.UsedRange().Address(), "$A$3:$F$25");
  // A formatted cell that loses its fill is still used.
  sheet_.SetInteriorColor(25, 6, Value::Number(255));
  sheet_.SetInteriorPattern(25, 6, Value::Number(-4142));
  EXPECT_EQ(sheet_.UsedRange().Address(), "$A$3:$F$25");
}

TEST_F(SheetTest, FormattedRowsAndColumnsGrowTheUsedRangeOneWayEach) {
  // Alone, a formatted column spans the first row and a formatted row the first column.
  sheet_.FormatColumn(3);
  EXPECT_EQ(sheet_.UsedRange().Address(), "$C$1");
  sheet_.FormatRow(7);
  EXPECT_EQ(sheet_.UsedRange().Address(), "$C$7");
  sheet_.data().column_styles.clear();
  EXPECT_EQ(sheet_.UsedRange().Address(), "$A$7");

  // Beside used cells a formatted row adds its rows only, a formatted column its columns only.
  sheet_.Put(2, 2, Value::Number(1));
  sheet_.Put(4, 4, Value::Number(2));
  EXPECT_EQ(sheet_.UsedRange().Address(), "$B$2:$D$7");
  sheet_.FormatColumn(9);
  sheet_.FormatColumn(1);
  EXPECT_EQ(sheet_.UsedRange().Address(), "$A$2:$I$7");
  // No cell is stored for them.
  EXPECT_EQ(sheet_.data().cells.size(), 2u);
}

TEST_F(SheetTest, CommentsFollowTheHost) {
  EXPECT_FALSE(sheet_.HasComment(2, 1));
  EXPECT_HOST_ERROR(sheet_.CommentText(2, 1), host::kObjectNotSet);
  EXPECT_HOST_ERROR(sheet_.SetCommentText(2, 1, "x"), host::kObjectNotSet);
  EXPECT_HOST_ERROR(sheet_.SetCommentVisible(2, 1, true), host::kObjectNotSet);

  sheet_.AddComment(2, 1);
  ASSERT_TRUE(sheet_.HasComment(2, 1));
  EXPECT_EQ(sheet_.CommentText(2, 1), "");
  EXPECT_FALSE(sheet_.data().Find(2, 1)->comment->visible);  // new comments are hidden
  EXPECT_THROW(sheet_.AddComment(2, 1), HostError);          // one comment per cell

  sheet_.SetCommentText(2, 1, "<<<a>>>\nmine");
  sheet_.SetCommentVisible(2, 1, true);
  EXPECT_EQ(sheet_.CommentText(2, 1), "<<<a>>>\nmine");
  EXPECT_TRUE(sheet_.data().Find(2, 1)->comment->visible);
}

TEST_F(SheetTest, ClearCommentsTakesOnlyTheArea) {
  sheet_.PutComment(1, 1, "a");
  sheet_.PutComment(5, 1, "b");
  sheet_.PutComment(5, 2, "c");
  sheet_.Put(5, 1, Value::Number(1));
  sheet_.ClearComments(host::Area{2, 1, host::kMaxRows, 1});  // A2:A1048576

  EXPECT_TRUE(sheet_.HasComment(1, 1));
  EXPECT_FALSE(sheet_.HasComment(5, 1));
  EXPECT_TRUE(sheet_.HasComment(5, 2));
  EXPECT_EQ(sheet_.CellValue(5, 1), Value::Number(1));  // the value stays
  sheet_.ClearComments(host::Area{1, 1, 1, 1});
  EXPECT_EQ(sheet_.data().Find(1, 1), nullptr);  // nothing left of the cell
}

TEST_F(SheetTest, TextFollowsTheNumberFormat) {
  sheet_.Put(1, 1, Value::Date(44931), "m/d/yyyy");
  sheet_.Put(1, 2, Value::Number(0.5), "0.00");
  sheet_.Put(1, 3, Value::Text(""));
  EXPECT_EQ(sheet_.CellText(1, 1), "1/5/2023");
  EXPECT_EQ(sheet_.CellText(1, 2), "0.50");
  EXPECT_EQ(sheet_.CellText(1, 3), "");
  EXPECT_EQ(sheet_.CellText(7, 7), "");

  // In a column too narrow for them, numbers and dates show as "#" across the cell; texts don't.
  sheet_.data().narrow_columns = {1, 2, 3};
  sheet_.data().column_widths[2] = 30;
  EXPECT_EQ(sheet_.CellText(1, 1), "########");
  EXPECT_EQ(sheet_.CellText(1, 2), "#####");
  EXPECT_EQ(sheet_.CellText(1, 3), "");
  EXPECT_EQ(sheet_.BlockTexts({1, 1, 1, 3}), (std::vector<std::string>{"########", "#####", ""}));
}

TEST_F(SheetTest, CellBoxesInPoints) {
  EXPECT_EQ(sheet_.CellLeft(1, 1), 0);
  EXPECT_EQ(sheet_.CellLeft(1, 3), 96);
  EXPECT_EQ(sheet_.CellWidth(1, 3), 48);
  EXPECT_EQ(sheet_.CellTop(4, 1), 45);

  sheet_.data().column_widths[2] = 20;
  sheet_.data().row_heights[2] = 30;
  sheet_.data().row_heights[3] = 40;
  sheet_.HideRow(3);
  sheet_.HideRow(5);
  EXPECT_EQ(sheet_.CellLeft(1, 3), 68);
  EXPECT_EQ(sheet_.CellWidth(1, 2), 20);
  // Rows 1 (15) + 2 (30) + 3 hidden (0) + 4 (15) + 5 hidden (0).
  EXPECT_EQ(sheet_.CellTop(3, 1), 45);
  EXPECT_EQ(sheet_.CellTop(6, 1), 60);
  EXPECT_EQ(sheet_.CellTop(1000000, 1), 999999 * 15.0 + 15 - 15 - 15);
}

TEST_F(SheetTest, ShapesAreNamedByAPerSheetCounter) {
  auto first = sheet_.AddShape(1, 3, 0, 18, 8);
  auto second = sheet_.AddShape(1, 51, 15, 18, 8);
  EXPECT_EQ(first->Name(), "Rectangle 1");
  EXPECT_EQ(second->Name(), "Rectangle 2");
  first->Delete();
  // Numbers are not reused, and the other sheet counts on its own.
  EXPECT_EQ(sheet_.AddShape(1, 0, 0, 1, 1)->Name(), "Rectangle 3");
  EXPECT_EQ(book_.AddSheet("Sheet2").AddShape(1, 0, 0, 1, 1)->Name(), "Rectangle 1");

  ASSERT_EQ(sheet_.ShapesCount(), 2);
  EXPECT_EQ(sheet_.ShapesItem(1)->Name(), "Rectangle 2");
  EXPECT_EQ(sheet_.ShapesItem(2)->Name(), "Rectangle 3");
  EXPECT_THROW(sheet_.ShapesItem(0), HostError);
  EXPECT_THROW(sheet_.ShapesItem(3), HostError);
}

TEST_F(SheetTest, ShapeHandlesFollowTheirShape) {
  auto a = sheet_.AddShape(1, 0, 0, 1, 1);
  auto b = sheet_.AddShape(1, 0, 0, 1, 1);
  ShapeData loaded_data;  // as a file loader leaves it: no serial yet
  loaded_data.name = "Loaded";
  sheet_.data().shapes.insert(sheet_.data().shapes.begin(), loaded_data);
  auto loaded = sheet_.ShapesItem(1);
  a->Delete();  // b and the loaded shape move
  b->SetName("CmtNumA" + b->Name());
  EXPECT_EQ(sheet_.data().shapes[1].name, "CmtNumARectangle 2");
  loaded->SetText("2/1");
  EXPECT_EQ(sheet_.data().shapes[0].text, "2/1");
  EXPECT_THROW(a->Name(), HostError);  // deleted
  b->Delete();
  loaded->Delete();
  EXPECT_EQ(sheet_.ShapesCount(), 0);
}

TEST_F(SheetTest, ShapeSettersAreStored) {
  auto shape = sheet_.AddShape(1, 3, 15, 18, 8);
  shape->SetFillForeSchemeColor(9);
  shape->SetFillVisible(true);
  shape->SetFillSolid();
  shape->SetLineVisible(false);
  shape->SetLineForeSchemeColor(64);
  shape->SetLineWeight(0.25);
  shape->SetText("1/2");
  shape->SetFontSize(6);
  shape->SetFontColorIndex(-4105);
  shape->SetMarginLeft(0);
  shape->SetMarginRight(0.5);
  shape->SetMarginTop(1);
  shape->SetMarginBottom(2);
  shape->SetHorizontalAlignment(-4108);

  const ShapeData& s = sheet_.data().shapes.at(0);
  EXPECT_EQ(s.type, 1);
  EXPECT_EQ(s.left, 3);
  EXPECT_EQ(s.top, 15);
  EXPECT_EQ(s.width, 18);
  EXPECT_EQ(s.height, 8);
  EXPECT_EQ(s.fill_scheme_color, 9);
  EXPECT_TRUE(s.fill_visible);
  EXPECT_TRUE(s.fill_solid);
  EXPECT_FALSE(s.line_visible);
  EXPECT_EQ(s.line_scheme_color, 64);
  EXPECT_EQ(s.line_weight, 0.25);
  EXPECT_EQ(s.text, "1/2");
  EXPECT_EQ(s.font_size, 6);
  EXPECT_EQ(s.font_color_index, -4105);
  EXPECT_EQ(s.margin_left, 0);
  EXPECT_EQ(s.margin_right, 0.5);
  EXPECT_EQ(s.margin_top, 1);
  EXPECT_EQ(s.margin_bottom, 2);
  EXPECT_EQ(s.horizontal_alignment, -4108);
}

TEST_F(SheetTest, AProtectedSheetRefusesEveryChange) {
  sheet_.Put(1, 1, Value::Number(1));
  sheet_.PutComment(2, 1, "note");
  auto shape = sheet_.AddShape(1, 0, 0, 1, 1);
  sheet_.Protect();
  const auto before = sheet_.data().cells.size();

  EXPECT_HOST_ERROR(sheet_.SetInteriorColor(1, 1, Value::Number(255)), kProtectedSheet);
  EXPECT_HOST_ERROR(sheet_.SetInteriorPattern(1, 1, Value::Number(17)), kProtectedSheet);
  EXPECT_HOST_ERROR(sheet_.SetInteriorPattern(1, 1, Value::Number(-4142)), kProtectedSheet);
  EXPECT_HOST_ERROR(sheet_.AddComment(3, 1), kProtectedSheet);
  EXPECT_HOST_ERROR(sheet_.SetCommentText(2, 1, "x"), kProtectedSheet);
  EXPECT_HOST_ERROR(sheet_.SetCommentVisible(2, 1, true), kProtectedSheet);
  EXPECT_HOST_ERROR(sheet_.ClearComments(host::Area{1, 1, 5, 5}), kProtectedSheet);
  EXPECT_HOST_ERROR(sheet_.AddShape(1, 0, 0, 1, 1), kProtectedSheet);
  EXPECT_HOST_ERROR(shape->SetName("x"), kProtectedSheet);
  EXPECT_HOST_ERROR(shape->SetText("x"), kProtectedSheet);
  EXPECT_HOST_ERROR(shape->SetFillSolid(), kProtectedSheet);
  EXPECT_HOST_ERROR(shape->Delete(), kProtectedSheet);

  // Reading still works, and nothing changed.
  EXPECT_EQ(sheet_.InteriorPattern(1, 1), -4142);
  EXPECT_EQ(sheet_.CommentText(2, 1), "note");
  EXPECT_EQ(shape->Name(), "Rectangle 1");
  EXPECT_EQ(sheet_.data().cells.size(), before);
  EXPECT_EQ(sheet_.data().next_shape_number, 2);

  sheet_.Protect(false);
  EXPECT_NO_THROW(shape->Delete());
}

}  // namespace
}  // namespace quorvane::memhost
