// A mark's whole life on a sheet: marked (once or twice, as a cell in both ranges is), shaded and
// given the diagnosis's block, then erased: the sheet is as it was before, cell for cell and shape
// for shape.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/value.h"
#include "marks/clearing.h"
#include "marks/marking.h"
#include "marks/marks.h"
#include "memhost/host.h"
#include "support/mem_host_fixture.h"

namespace quorvane::marks {
namespace {

using host::Value;

// Everything the in-memory host keeps of a sheet, written out: every cell (value, number format,
// fill, comment and its visibility, formatting, style, formula), the hidden rows and every shape
// with all it shows. Left out: the host's counter for naming new shapes and its identities of
// shape handles, which a marking moves on and nothing on the sheet shows.
std::string Dump(const memhost::MemWorksheet& sheet) {
  std::ostringstream out;
  const memhost::SheetData& data = sheet.data();
  for (const auto& [key, cell] : data.cells) {
    out << "R" << key.first << "C" << key.second << " " << host::DebugString(cell.value) << " "
        << cell.number_format << " fill " << cell.fill.color << "/" << cell.fill.pattern
        << " formatted " << cell.formatted << " style " << cell.style << " formula "
        << cell.formula;
    if (cell.comment)
      out << " comment " << cell.comment->visible << " [" << cell.comment->text << "]";
    out << "\n";
  }
  for (const int row : data.hidden_rows) out << "hidden " << row << "\n";
  for (const memhost::ShapeData& s : data.shapes) {
    out << "shape " << s.name << " " << s.type << " " << s.left << "," << s.top << " " << s.width
        << "x" << s.height << " fill " << s.fill_scheme_color << s.fill_visible << s.fill_solid
        << " line " << s.line_visible << s.line_scheme_color << "/" << s.line_weight << " ["
        << s.text << "] " << s.font_size << "/" << s.font_color_index << " " << s.margin_left
        << s.margin_right << s.margin_top << s.margin_bottom << " " << s.horizontal_alignment
        << " id " << s.id << "\n";
  }
  return out.str();
}

using MarksRoundTrip = quorvane::testing::MemHostFixture;

TEST_F(MarksRoundTrip, MarkingShadingAndClearingGiveTheSheetBackExactly) {
  mem.SetTime(45000.5);
  // Values of every kind, with the user's own fills and (hidden) comments of every shape the
  // clearing must tell from its own text.
  const std::vector<std::string> notes = {
      "",  // no comment
      "Ask the bank.",
      "Two lines\nof the user's own",
      "<<< not ours >>> said the user",
      "zvk_color=255 is what I wrote",
      "<<<zvk_color=1,zvk_pattern=1>>> mine",
      ">>> starts with an end",
      "<<< 3/7 14:03:09:\nno end of a block",
      std::string(32700, 'x'),  // no room for a block: the marking leaves it as it is
  };
  const Value values[] = {Value::Number(123.45), Value::Text("Rent"),  Value::Date(44938),
                          Value::Number(-7),     Value::Logical(true), Value::Text("12.50"),
                          Value::Number(0.1),    Value::Text("  "),    Value::Number(1e10)};
  for (int row = 1; row <= 9; ++row) {
    for (const int column : {1, 2}) {
      sheet.Put(row, column, values[row - 1], row == 3 ? "m/d/yyyy" : "General");
      if (!notes[row - 1].empty()) sheet.PutComment(row, column, notes[row - 1]);
    }
  }
  sheet.PutFill(1, 1, 65535, host::kPatternSolid);
  sheet.PutFill(2, 2, 255, host::kPatternGray16);
  sheet.PutFill(4, 1, kMoreColor, host::kPatternSolid);  // the user's green, as the marking's
  sheet.PutFill(5, 2, 0, host::kPatternSolid);
  sheet.PutFormat(6, 1);
  sheet.Put(11, 1, Value::Number(5));  // a cell that no range holds keeps its marks
  sheet.HideRow(7);
  auto logo = sheet.AddShape(host::kShapeRectangle, 40, 2, 30, 10);
  logo->SetName("Logo");
  auto look_alike = sheet.AddShape(host::kShapeRectangle, 40, 20, 30, 10);
  look_alike->SetName("cmtnumA" + look_alike->Name());  // not ours: the prefix is matched exactly
  const std::string before = Dump(sheet);

  // Range 1 is A1:A9, Range 2 A7:B9: A7:A9 are in both and marked twice.
  const host::Range range1 = sheet.Ref("A1:A9");
  const host::Range range2 = sheet.Ref("A7:B9");
  for (int round = 1; round <= 2; ++round) {  // a second comparison marks the marked cells again
    for (int row = 1; row <= 9; ++row) {
      MarkMismatch(mem, sheet.Ref("A" + std::to_string(row)), "A", 1, 2, false);
    }
    range2.ForEachCell([&](const host::Range& cell) { MarkMismatch(mem, cell, "B", 2, 1, false); });
    // The diagnosis shades pairs of marked cells, one of each range, and puts its block in front
    // of both comments.
    for (const auto& [a1, b1] : {std::pair{"A1", "B7"}, {"A3", "B8"}, {"A5", "B7"}, {"A7", "A8"}}) {
      const host::Range a = sheet.Ref(a1);
      const host::Range b = sheet.Ref(b1);
      ShadePair(a, b);
      const std::string block = Block("1/5 12:00:00", TransposeBody("123.45", "132.45"));
      PrependBlock(a, block);
      PrependBlock(b, block);
    }
  }
  MarkMismatch(mem, sheet.Ref("A11"), "A", 1, 0, false);
  const std::string outside = sheet.data().Find(11, 1)->comment->text;
  ASSERT_NE(Dump(sheet), before);

  MarkEraser eraser;
  eraser.ClearRange(range1);
  eraser.ClearRange(range2);

  // A11 lies outside both ranges: its fill and comment stay marked, its rectangle goes with the
  // sheet's others. Everything else is the user's sheet again.
  ASSERT_EQ(sheet.data().Find(11, 1)->comment->text, outside);
  ASSERT_EQ(sheet.data().Find(11, 1)->fill.color, MismatchColor(1, 0));
  sheet.ClearComments(host::Area{11, 1, 11, 1});
  sheet.PutFill(11, 1, memhost::Fill{}.color, memhost::Fill{}.pattern);
  EXPECT_EQ(Dump(sheet), before);
}

}  // namespace
}  // namespace quorvane::marks
