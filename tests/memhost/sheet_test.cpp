// The in-memory worksheet: fills, the used range, comments, shapes, cell geometry and protection.
#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "host/error.h"
#include "memhost/expect_host_error.h"
#include "memhost/host.h"
#include "support/mem_host_fixture.h"

namespace quorvane::memhost {
namespace {

using host::HostError;
using host::Value;

using SheetTest = quorvane::testing::MemHostFixture;

TEST_F(SheetTest, FillsFollowTheHost) {
  // Unfilled.
  EXPECT_EQ(sheet.InteriorColor(2, 2), 16777215);
  EXPECT_EQ(sheet.InteriorPattern(2, 2), -4142);

  // A colour on an unfilled cell makes it solid; a text colour is read as a number.
  sheet.SetInteriorColor(2, 2, Value::Text(" 11120637 "));
  EXPECT_EQ(sheet.InteriorColor(2, 2), 11120637);
  EXPECT_EQ(sheet.InteriorPattern(2, 2), 1);

  // A pattern keeps the colour, a colour keeps the pattern.
  sheet.SetInteriorPattern(2, 2, Value::Number(17));
  sheet.SetInteriorColor(2, 2, Value::Number(6745634));
  EXPECT_EQ(sheet.InteriorPattern(2, 2), 17);
  EXPECT_EQ(sheet.InteriorColor(2, 2), 6745634);

  // No pattern removes the fill: white again, and the cell no longer stored.
  sheet.SetInteriorPattern(2, 2, Value::Text("-4142"));
  EXPECT_EQ(sheet.InteriorColor(2, 2), 16777215);
  EXPECT_EQ(sheet.InteriorPattern(2, 2), -4142);
  EXPECT_EQ(sheet.data().Find(2, 2), nullptr);

  // A pattern alone on an unfilled cell leaves the colour white.
  sheet.SetInteriorPattern(3, 3, Value::Number(17));
  EXPECT_EQ(sheet.InteriorColor(3, 3), 16777215);
  EXPECT_EQ(sheet.InteriorPattern(3, 3), 17);

  // Removing the fill keeps the value.
  sheet.Put(4, 1, Value::Number(5));
  sheet.SetInteriorColor(4, 1, Value::Number(255));
  sheet.SetInteriorPattern(4, 1, Value::Number(-4142));
  EXPECT_EQ(sheet.CellValue(4, 1), Value::Number(5));
}

TEST_F(SheetTest, FillValuesTheHostRefuses) {
  EXPECT_HOST_ERROR(sheet.SetInteriorColor(1, 1, Value::Text("red")), "Type mismatch");
  EXPECT_HOST_ERROR(sheet.SetInteriorColor(1, 1, Value::Error(host::CellError::kNA)),
                    "Type mismatch");
  EXPECT_THROW(sheet.SetInteriorColor(1, 1, Value::Number(16777216)), HostError);
  EXPECT_THROW(sheet.SetInteriorColor(1, 1, Value::Number(-1)), HostError);
  EXPECT_HOST_ERROR(sheet.SetInteriorColor(1, 1, Value::Number(1e12)), "Overflow");
  EXPECT_THROW(sheet.SetInteriorPattern(1, 1, Value::Number(2)), HostError);
  EXPECT_THROW(sheet.SetInteriorPattern(1, 1, Value::Number(19)), HostError);
  EXPECT_HOST_ERROR(sheet.SetInteriorPattern(1, 1, Value::Text("solid")), "Type mismatch");
  // Nothing was changed by the refused calls.
  EXPECT_TRUE(sheet.data().cells.empty());
  // Every constant of the host is accepted.
  for (int pattern : {-4105, 1, 9, 18, -4125, -4126, -4124, -4128, -4166, -4121, -4162}) {
    EXPECT_NO_THROW(sheet.SetInteriorPattern(1, 1, Value::Number(pattern))) << pattern;
  }
}

TEST_F(SheetTest, UsedRangeCoversValuesCommentsAndFills) {
  EXPECT_EQ(sheet.UsedRange().Address(), "$A$1");  // empty sheet
  sheet.Put(3, 2, Value::Text("x"));
  EXPECT_EQ(sheet.UsedRange().Address(), "$B$3");
  sheet.PutComment(9, 4, "note");
  sheet.PutFill(2, 3, 255, 1);
  EXPECT_EQ(sheet.UsedRange().Address(), "$B$2:$D$9");
  // Taking the fill and the comment away shrinks it again.
  sheet.SetInteriorPattern(2, 3, Value::Number(-4142));
  sheet.ClearComments(host::Area{1, 1, 100, 100});
  EXPECT_EQ(sheet.UsedRange().Address(), "$B$3");

  // Formatting alone counts: a number format, a border.
  sheet.Put(20, 1, Value(), "0.00");
  EXPECT_EQ(sheet.UsedRange().Address(), "$A$3:$B$20");
  sheet.PutFormat(25, 6);
  EXPECT_EQ(sheet.UsedRange().Address(), "$A$3:$F$25");
  // A formatted cell that loses its fill is still used.
  sheet.SetInteriorColor(25, 6, Value::Number(255));
  sheet.SetInteriorPattern(25, 6, Value::Number(-4142));
  EXPECT_EQ(sheet.UsedRange().Address(), "$A$3:$F$25");
}

// The sheet keeps its used range from one call to the next. Writes of every kind, in and out of row
// order, clearings on and inside the border, and writes straight into the model, each followed by
// the question: the answer is always that of a copy of the sheet, which looks at every cell.
TEST_F(SheetTest, UsedRangeKeptBetweenCallsIsAlwaysThatOfAWalkOverEveryCell) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> row(1, 12), column(1, 4), what(0, 14);
  int next_row = 13;
  for (int step = 0; step < 4000; ++step) {
    const int r = row(random), c = column(random);
    switch (what(random)) {
      case 0:
      case 1:
        sheet.Put(r, c, Value::Number(step));
        break;
      case 2:
        sheet.Put(r, c, Value());  // stays stored, no longer used
        break;
      case 3:
        sheet.PutFill(r, c, 255, 1);
        break;
      case 4:
        sheet.SetInteriorPattern(r, c, Value::Number(-4142));  // erased when nothing is left
        break;
      case 5:
        sheet.PutComment(r, c, "note");
        break;
      case 6:
        sheet.ClearComments(host::Area{r, c, r + 3, c + 1});
        break;
      case 7:
        sheet.PutFormat(r, c);
        break;
      case 8:
        sheet.Put(r, c, Value(), "0.00");
        break;
      case 9:
        // Added at the end, as a file or a list is read, into the model.
        sheet.data().At(next_row++, c).value = Value::Text("new");
        if (next_row > 16) next_row = 13;
        break;
      case 10:
      case 11:
      case 12:
      case 13:
        sheet.data().At(r, c) = memhost::CellData{};
        break;
      default:
        if (step % 50 == 0) {
          for (auto& [key, cell] : sheet.data().cells) {
            if (key.second == c) cell.value = Value();
          }
        }
        break;
    }
    if (step % 3 == 0) {
      const memhost::SheetData fresh = sheet.data();
      ASSERT_EQ(sheet.data().UsedArea(), fresh.UsedArea()) << "step " << step;
    }
  }
}

TEST_F(SheetTest, FormattedRowsAndColumnsGrowTheUsedRangeOneWayEach) {
  // Alone, a formatted column spans the first row and a formatted row the first column.
  sheet.FormatColumn(3);
  EXPECT_EQ(sheet.UsedRange().Address(), "$C$1");
  sheet.FormatRow(7);
  EXPECT_EQ(sheet.UsedRange().Address(), "$C$7");
  sheet.data().column_styles.clear();
  EXPECT_EQ(sheet.UsedRange().Address(), "$A$7");

  // Beside used cells a formatted row adds its rows only, a formatted column its columns only.
  sheet.Put(2, 2, Value::Number(1));
  sheet.Put(4, 4, Value::Number(2));
  EXPECT_EQ(sheet.UsedRange().Address(), "$B$2:$D$7");
  sheet.FormatColumn(9);
  sheet.FormatColumn(1);
  EXPECT_EQ(sheet.UsedRange().Address(), "$A$2:$I$7");
  // No cell is stored for them.
  EXPECT_EQ(sheet.data().cells.size(), 2u);
}

TEST_F(SheetTest, CommentsFollowTheHost) {
  EXPECT_FALSE(sheet.HasComment(2, 1));
  EXPECT_HOST_ERROR(sheet.CommentText(2, 1), host::kObjectNotSet);
  EXPECT_HOST_ERROR(sheet.SetCommentText(2, 1, "x"), host::kObjectNotSet);
  EXPECT_HOST_ERROR(sheet.SetCommentVisible(2, 1, true), host::kObjectNotSet);

  sheet.AddComment(2, 1);
  ASSERT_TRUE(sheet.HasComment(2, 1));
  EXPECT_EQ(sheet.CommentText(2, 1), "");
  EXPECT_FALSE(sheet.data().Find(2, 1)->comment->visible);  // new comments are hidden
  EXPECT_THROW(sheet.AddComment(2, 1), HostError);          // one comment per cell

  sheet.SetCommentText(2, 1, "<<<a>>>\nmine");
  sheet.SetCommentVisible(2, 1, true);
  EXPECT_EQ(sheet.CommentText(2, 1), "<<<a>>>\nmine");
  EXPECT_TRUE(sheet.data().Find(2, 1)->comment->visible);
}

TEST_F(SheetTest, ClearCommentsTakesOnlyTheArea) {
  sheet.PutComment(1, 1, "a");
  sheet.PutComment(5, 1, "b");
  sheet.PutComment(5, 2, "c");
  sheet.Put(5, 1, Value::Number(1));
  sheet.ClearComments(host::Area{2, 1, host::kMaxRows, 1});  // A2:A1048576

  EXPECT_TRUE(sheet.HasComment(1, 1));
  EXPECT_FALSE(sheet.HasComment(5, 1));
  EXPECT_TRUE(sheet.HasComment(5, 2));
  EXPECT_EQ(sheet.CellValue(5, 1), Value::Number(1));  // the value stays
  sheet.ClearComments(host::Area{1, 1, 1, 1});
  EXPECT_EQ(sheet.data().Find(1, 1), nullptr);  // nothing left of the cell
}

TEST_F(SheetTest, TextFollowsTheNumberFormat) {
  sheet.Put(1, 1, Value::Date(44931), "m/d/yyyy");
  sheet.Put(1, 2, Value::Number(0.5), "0.00");
  sheet.Put(1, 3, Value::Text(""));
  EXPECT_EQ(sheet.CellText(1, 1), "1/5/2023");
  EXPECT_EQ(sheet.CellText(1, 2), "0.50");
  EXPECT_EQ(sheet.CellText(1, 3), "");
  EXPECT_EQ(sheet.CellText(7, 7), "");

  // In a column too narrow for them, numbers and dates show as "#" across the cell; texts don't.
  sheet.data().narrow_columns = {1, 2, 3};
  sheet.data().column_widths[2] = 30;
  EXPECT_EQ(sheet.CellText(1, 1), "########");
  EXPECT_EQ(sheet.CellText(1, 2), "#####");
  EXPECT_EQ(sheet.CellText(1, 3), "");
  EXPECT_EQ(sheet.BlockTexts({1, 1, 1, 3}), (std::vector<std::string>{"########", "#####", ""}));
}

TEST_F(SheetTest, BlockVisitsAnswerAsTheBlockLists) {
  // Two columns of rows 2 to 6, with cells before, after and beside the block, an empty text, a
  // cell filled but without a value and rows with nothing stored.
  sheet.Put(1, 2, Value::Number(9));
  sheet.Put(2, 2, Value::Number(0.5), "0.00");
  sheet.Put(2, 3, Value::Text("x"));
  sheet.Put(2, 4, Value::Number(8));
  sheet.Put(3, 1, Value::Number(7));
  sheet.Put(4, 3, Value::Text(""));
  sheet.SetInteriorColor(5, 2, Value::Number(255));
  sheet.Put(6, 3, Value::Date(44931), "m/d/yyyy");
  sheet.Put(7, 2, Value::Number(6));
  const host::Area block{2, 2, 6, 3};

  std::vector<Value> values(10);
  std::vector<std::size_t> places;
  sheet.VisitBlockValues(block, [&](std::size_t i, const Value& value) {
    places.push_back(i);
    values.at(i) = value;
  });
  EXPECT_EQ(values, sheet.BlockValues(block));
  EXPECT_EQ(places, (std::vector<std::size_t>{0, 1, 5, 9}));

  std::vector<std::string> texts(10);
  places.clear();
  sheet.VisitBlockTexts(block, [&](std::size_t i, std::string_view text) {
    places.push_back(i);
    texts.at(i) = text;
  });
  EXPECT_EQ(texts, sheet.BlockTexts(block));
  EXPECT_EQ(places, (std::vector<std::size_t>{0, 1, 9}));

  // Fills: a colour, a pattern on its own, and a colour taken back to white.
  sheet.SetInteriorPattern(3, 3, Value::Number(17));
  sheet.SetInteriorColor(6, 2, Value::Number(65535));
  sheet.SetInteriorColor(6, 2, Value::Number(16777215));
  std::vector<double> colors(10, 16777215);
  places.clear();
  sheet.VisitBlockInteriorColors(block, [&](std::size_t i, double color) {
    places.push_back(i);
    colors.at(i) = color;
  });
  EXPECT_EQ(colors, sheet.BlockInteriorColors(block));
  EXPECT_EQ(places, (std::vector<std::size_t>{6}));
  std::vector<double> patterns(10, -4142);
  places.clear();
  sheet.VisitBlockInteriorPatterns(block, [&](std::size_t i, double pattern) {
    places.push_back(i);
    patterns.at(i) = pattern;
  });
  EXPECT_EQ(patterns, sheet.BlockInteriorPatterns(block));
  EXPECT_EQ(places, (std::vector<std::size_t>{3, 6, 8}));
}

TEST_F(SheetTest, CellBoxesInPoints) {
  EXPECT_EQ(sheet.CellLeft(1, 1), 0);
  EXPECT_EQ(sheet.CellLeft(1, 3), 96);
  EXPECT_EQ(sheet.CellWidth(1, 3), 48);
  EXPECT_EQ(sheet.CellTop(4, 1), 45);

  sheet.data().column_widths[2] = 20;
  sheet.data().row_heights[2] = 30;
  sheet.data().row_heights[3] = 40;
  sheet.HideRow(3);
  sheet.HideRow(5);
  EXPECT_EQ(sheet.CellLeft(1, 3), 68);
  EXPECT_EQ(sheet.CellWidth(1, 2), 20);
  // Rows 1 (15) + 2 (30) + 3 hidden (0) + 4 (15) + 5 hidden (0).
  EXPECT_EQ(sheet.CellTop(3, 1), 45);
  EXPECT_EQ(sheet.CellTop(6, 1), 60);
  EXPECT_EQ(sheet.CellTop(1000000, 1), 999999 * 15.0 + 15 - 15 - 15);
}

TEST_F(SheetTest, ShapesAreNamedByAPerSheetCounter) {
  auto first = sheet.AddShape(1, 3, 0, 18, 8);
  auto second = sheet.AddShape(1, 51, 15, 18, 8);
  EXPECT_EQ(first->Name(), "Rectangle 1");
  EXPECT_EQ(second->Name(), "Rectangle 2");
  first->Delete();
  // Numbers are not reused, and the other sheet counts on its own.
  EXPECT_EQ(sheet.AddShape(1, 0, 0, 1, 1)->Name(), "Rectangle 3");
  EXPECT_EQ(book.AddSheet("Sheet2").AddShape(1, 0, 0, 1, 1)->Name(), "Rectangle 1");

  ASSERT_EQ(sheet.ShapesCount(), 2);
  EXPECT_EQ(sheet.ShapesItem(1)->Name(), "Rectangle 2");
  EXPECT_EQ(sheet.ShapesItem(2)->Name(), "Rectangle 3");
  EXPECT_THROW(sheet.ShapesItem(0), HostError);
  EXPECT_THROW(sheet.ShapesItem(3), HostError);
}

TEST_F(SheetTest, ShapeHandlesFollowTheirShape) {
  auto a = sheet.AddShape(1, 0, 0, 1, 1);
  auto b = sheet.AddShape(1, 0, 0, 1, 1);
  ShapeData loaded_data;  // as a file loader leaves it: no serial yet
  loaded_data.name = "Loaded";
  sheet.data().shapes.insert(sheet.data().shapes.begin(), loaded_data);
  auto loaded = sheet.ShapesItem(1);
  a->Delete();  // b and the loaded shape move
  b->SetName("CmtNumA" + b->Name());
  EXPECT_EQ(sheet.data().shapes[1].name, "CmtNumARectangle 2");
  loaded->SetText("2/1");
  EXPECT_EQ(sheet.data().shapes[0].text, "2/1");
  EXPECT_THROW(a->Name(), HostError);  // deleted
  b->Delete();
  loaded->Delete();
  EXPECT_EQ(sheet.ShapesCount(), 0);
}

TEST_F(SheetTest, ShapeSettersAreStored) {
  auto shape = sheet.AddShape(1, 3, 15, 18, 8);
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

  const ShapeData& s = sheet.data().shapes.at(0);
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
  sheet.Put(1, 1, Value::Number(1));
  sheet.PutComment(2, 1, "note");
  auto shape = sheet.AddShape(1, 0, 0, 1, 1);
  sheet.Protect();
  const auto before = sheet.data().cells.size();

  EXPECT_HOST_ERROR(sheet.SetInteriorColor(1, 1, Value::Number(255)), kProtectedSheet);
  EXPECT_HOST_ERROR(sheet.SetInteriorPattern(1, 1, Value::Number(17)), kProtectedSheet);
  EXPECT_HOST_ERROR(sheet.SetInteriorPattern(1, 1, Value::Number(-4142)), kProtectedSheet);
  EXPECT_HOST_ERROR(sheet.AddComment(3, 1), kProtectedSheet);
  EXPECT_HOST_ERROR(sheet.SetCommentText(2, 1, "x"), kProtectedSheet);
  EXPECT_HOST_ERROR(sheet.SetCommentVisible(2, 1, true), kProtectedSheet);
  EXPECT_HOST_ERROR(sheet.ClearComments(host::Area{1, 1, 5, 5}), kProtectedSheet);
  EXPECT_HOST_ERROR(sheet.AddShape(1, 0, 0, 1, 1), kProtectedSheet);
  EXPECT_HOST_ERROR(shape->SetName("x"), kProtectedSheet);
  EXPECT_HOST_ERROR(shape->SetText("x"), kProtectedSheet);
  EXPECT_HOST_ERROR(shape->SetFillSolid(), kProtectedSheet);
  EXPECT_HOST_ERROR(shape->Delete(), kProtectedSheet);

  // Reading still works, and nothing changed.
  EXPECT_EQ(sheet.InteriorPattern(1, 1), -4142);
  EXPECT_EQ(sheet.CommentText(2, 1), "note");
  EXPECT_EQ(shape->Name(), "Rectangle 1");
  EXPECT_EQ(sheet.data().cells.size(), before);
  EXPECT_EQ(sheet.data().next_shape_number, 2);

  sheet.Protect(false);
  EXPECT_NO_THROW(shape->Delete());
}

}  // namespace
}  // namespace quorvane::memhost
