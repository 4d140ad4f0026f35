// Whole workbooks written and read back: the model survives, marks land where the host put them,
// and parts this layer does not touch are copied unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "host/worksheet.h"
#include "marks/rectangles.h"
#include "memhost/geometry.h"
#include "memhost/host.h"
#include "support/temp_folder.h"
#include "xlsx/content_types.h"
#include "xlsx/error.h"
#include "xlsx/model_matchers.h"
#include "xlsx/package.h"
#include "xlsx/workbook_file.h"

namespace quorvane::xlsx {
namespace {

namespace fs = std::filesystem;
using host::Value;

class RoundTrip : public quorvane::testing::TempFolderTest {
 protected:
  RoundTrip() : TempFolderTest("quorvane_xlsx") {}

  fs::path Save(const WorkbookFile& file, const memhost::WorkbookData& data, const char* name) {
    const fs::path path = dir_ / name;
    SaveWorkbooks({{&file, &data, path}});
    return path;
  }
};

memhost::WorkbookData SampleModel(const WorkbookFile& file) {
  memhost::WorkbookData data = file.data();
  memhost::SheetData& bank = data.sheets[0];
  bank.At(1, 1).value = Value::Text("Amount");
  bank.At(2, 1).value = Value::Number(123.45);
  bank.At(3, 1).value = Value::Number(-0.1);
  bank.At(4, 1).value = Value::Date(44931);
  bank.At(4, 1).number_format = "m/d/yyyy";
  bank.At(5, 1).value = Value::Logical(true);
  bank.At(6, 1).value = Value::Error(host::CellError::kNA);
  bank.At(7, 1).value = Value::Text("line one\nline two & <three>");
  bank.At(2, 1).fill = {11120637, host::kPatternSolid};
  bank.At(3, 1).fill = {6745634, host::kPatternGray16};
  bank.At(8, 2).fill = {65535, host::kPatternSolid};  // a fill alone
  bank.At(2, 1).comment =
      memhost::CommentData{"<<< 1/5 10:00:00:\nThis list has 1 123.45.\n>>>", false};
  bank.At(3, 1).comment = memhost::CommentData{"shown note", true};
  bank.hidden_rows = {5};
  bank.column_widths[2] = 96;
  bank.row_heights[3] = 30;
  memhost::ShapeData shape;
  shape.name = "CmtNumA Rectangle 1";
  shape.left = 3;
  shape.top = 15;
  shape.width = 18;
  shape.height = 8;
  shape.fill_scheme_color = 9;
  shape.fill_solid = true;
  shape.line_scheme_color = 64;
  shape.line_weight = 0.25;
  shape.text = "2,1";
  shape.font_size = 6;
  shape.margin_left = shape.margin_right = shape.margin_top = shape.margin_bottom = 0;
  shape.horizontal_alignment = host::kHAlignCenter;
  bank.shapes.push_back(shape);
  data.sheets[1].At(1, 1).value = Value::Number(1);
  return data;
}

TEST_F(RoundTrip, NewWorkbookReadsBackAsWritten) {
  const WorkbookFile file = WorkbookFile::New("Book.xlsx", {"Bank", "Ledger"});
  const memhost::WorkbookData data = SampleModel(file);
  const WorkbookFile loaded = WorkbookFile::Load(Save(file, data, "book.xlsx"));
  testing::ExpectSameWorkbook(data, loaded.data());
  // The rectangle sits in A2, 3 points in.
  EXPECT_NEAR(loaded.data().sheets[0].shapes[0].left, 3, 1e-9);
}

// The reader goes by relationships and ignores content types, which other readers rely on: every
// part of a new workbook has the type its role needs, and sheet names needing escapes survive.
TEST_F(RoundTrip, NewWorkbookGivesEveryPartItsTypeAndKeepsSheetNames) {
  const WorkbookFile file = WorkbookFile::New("Book.xlsx", {"Bank & <Co>", "\"Ledger\""});
  const fs::path path = Save(file, file.data(), "book.xlsx");
  const Package package = Package::Open(path);
  const ContentTypes types = ContentTypes::Parse(package.Read(kContentTypesPart), "book.xlsx");
  const std::map<std::string, std::string> expected = {
      {kContentTypesPart, ""},
      {"_rels/.rels", kTypeRelationships},
      {"xl/_rels/workbook.xml.rels", kTypeRelationships},
      {"xl/workbook.xml", kTypeWorkbook},
      {"xl/styles.xml", kTypeStyles},
      {"xl/worksheets/sheet1.xml", kTypeWorksheet},
      {"xl/worksheets/sheet2.xml", kTypeWorksheet}};
  std::map<std::string, std::string> found;
  for (const std::string& name : package.names()) {
    found[name] = name == kContentTypesPart ? "" : types.TypeOf(name);
  }
  EXPECT_EQ(found, expected);
  const WorkbookFile loaded = WorkbookFile::Load(path);
  ASSERT_EQ(loaded.data().sheets.size(), 2u);
  EXPECT_EQ(loaded.data().sheets[0].name, "Bank & <Co>");
  EXPECT_EQ(loaded.data().sheets[1].name, "\"Ledger\"");
}

TEST_F(RoundTrip, SavingTheLoadedModelAgainChangesNothing) {
  const WorkbookFile file = WorkbookFile::New("Book.xlsx", {"Bank", "Ledger"});
  const WorkbookFile first = WorkbookFile::Load(Save(file, SampleModel(file), "first.xlsx"));
  const fs::path second = Save(first, first.data(), "second.xlsx");
  std::ifstream a(dir_ / "first.xlsx", std::ios::binary), b(second, std::ios::binary);
  const std::string bytes_a((std::istreambuf_iterator<char>(a)), {});
  const std::string bytes_b((std::istreambuf_iterator<char>(b)), {});
  const Package pa = Package::Open(dir_ / "first.xlsx");
  const Package pb = Package::Open(second);
  ASSERT_EQ(pa.names(), pb.names());
  for (const std::string& name : pa.names()) EXPECT_EQ(pa.Read(name), pb.Read(name)) << name;
}

TEST_F(RoundTrip, MarkingAndClearingThroughTheHostRestoresTheFile) {
  const WorkbookFile file = WorkbookFile::New("Book.xlsx", {"Bank", "Ledger"});
  const WorkbookFile original = WorkbookFile::Load(Save(file, SampleModel(file), "original.xlsx"));
  memhost::WorkbookData marked = original.data();
  // A second marking pass: a new note, new fills, a second rectangle, the first one deleted.
  memhost::SheetData& bank = marked.sheets[0];
  bank.At(9, 1).value = Value::Number(5);
  bank.At(9, 1).fill = {6745634, host::kPatternSolid};
  bank.At(9, 1).comment = memhost::CommentData{"new", false};
  bank.At(2, 1).comment.reset();
  bank.At(3, 1).comment->visible = false;
  memhost::ShapeData second = bank.shapes[0];
  second.id = 0;
  second.name = "CmtNumB Rectangle 2";
  second.top = bank.RowHeight(1) * 7 + 30;  // A9: rows 1-8, row 3 30 high, row 5 hidden
  bank.shapes.erase(bank.shapes.begin());
  bank.shapes.push_back(second);
  const WorkbookFile reread = WorkbookFile::Load(Save(original, marked, "marked.xlsx"));
  testing::ExpectSameWorkbook(marked, reread.data());

  // Undoing every change on the read-back model gives the original file's model again.
  memhost::WorkbookData restored = reread.data();
  memhost::SheetData& again = restored.sheets[0];
  again.cells.erase({9, 1});
  again.At(2, 1).comment = original.data().sheets[0].Find(2, 1)->comment;
  again.At(3, 1).comment->visible = true;
  memhost::ShapeData first = original.data().sheets[0].shapes[0];
  first.id = 0;
  again.shapes = {first};
  const WorkbookFile back = WorkbookFile::Load(Save(reread, restored, "restored.xlsx"));
  testing::ExpectSameWorkbook(original.data(), back.data());
}

TEST_F(RoundTrip, ReusesFillsAndCellFormatsInsteadOfAddingOnePerCell) {
  const WorkbookFile file = WorkbookFile::New("Book.xlsx", {"S"});
  memhost::WorkbookData data = file.data();
  for (int r = 1; r <= 100; ++r) {
    data.sheets[0].At(r, 1).value = Value::Number(r);
    data.sheets[0].At(r, 1).fill = {6745634, host::kPatternSolid};
  }
  const fs::path path = Save(file, data, "many.xlsx");
  const std::string styles = Package::Open(path).Read("xl/styles.xml");
  EXPECT_NE(styles.find("<fills count=\"3\">"), std::string::npos) << styles;
  EXPECT_NE(styles.find("<cellXfs count=\"2\">"), std::string::npos) << styles;
  // A second save of the same marks on the read-back file adds nothing either.
  const WorkbookFile again = WorkbookFile::Load(path);
  memhost::WorkbookData cleared = again.data();
  for (auto& [key, cell] : cleared.sheets[0].cells) cell.fill = {};
  const WorkbookFile plain = WorkbookFile::Load(Save(again, cleared, "plain.xlsx"));
  const fs::path remarked = Save(plain, data, "remarked.xlsx");
  // Clearing made one plain format with applyFill; marking again reuses the first green one.
  EXPECT_NE(Package::Open(remarked).Read("xl/styles.xml").find("<cellXfs count=\"3\">"),
            std::string::npos);
}

TEST_F(RoundTrip, HostRunOnTheLoadedModelIsSaved) {
  const WorkbookFile file = WorkbookFile::New("Book.xlsx", {"Bank"});
  memhost::MemHost host;
  memhost::MemWorkbook& book = host.AddWorkbook(file.data());
  memhost::MemWorksheet& sheet = *book.FindSheet("Bank");
  sheet.Put(2, 2, Value::Number(7));
  sheet.SetInteriorColor(2, 2, Value::Number(6745634));
  sheet.AddComment(2, 2);
  sheet.SetCommentText(2, 2, "hello");
  marks::AddCommentShape(sheet.Cells({2, 2, 2, 2}), "A", "1,0");
  const WorkbookFile loaded = WorkbookFile::Load(Save(file, book.data(), "host.xlsx"));
  testing::ExpectSameWorkbook(book.data(), loaded.data());
  EXPECT_EQ(loaded.data().sheets[0].shapes[0].name, "CmtNumARectangle 1");
}

// A model handed over to the host (TakeData) is saved from the states as loaded of the cells it
// changed: the same parts, byte for byte, as from a comparison with a whole copy of the model as
// loaded, whatever the host did to its cells.
TEST_F(RoundTrip, AModelHandedOverSavesWhatACopyWouldSave) {
  const WorkbookFile file = WorkbookFile::New("Book.xlsx", {"Bank", "Ledger"});
  const fs::path original = Save(file, SampleModel(file), "original.xlsx");
  const auto edit = [](memhost::MemWorkbook& book, int round) {
    memhost::MemWorksheet& bank = *book.FindSheet("Bank");
    if (round >= 1) {
      bank.Put(2, 1, Value::Number(99));  // a loaded value changed
      bank.Put(20, 3, Value::Text("new & <cell>"));
      bank.SetInteriorColor(1, 1, Value::Number(6745634));
      bank.SetInteriorPattern(8, 2, Value::Number(host::kPatternNone));  // a fill alone: erased
      bank.ClearComments({2, 1, 2, 1});
      bank.SetCommentVisible(3, 1, false);
      bank.AddComment(7, 1);
      bank.SetCommentText(7, 1, "added");
      bank.Put(4, 1, Value::Date(44931), "m/d/yyyy");  // written back as it was
    }
    if (round >= 2) {
      bank.Put(20, 3, Value());  // added, then taken away again
      bank.data().cells.erase({20, 3});
      // A walk that could write any cell.
      for (auto& [key, cell] : bank.data().cells) {
        if (key == memhost::CellKey{5, 1}) cell.value = Value::Logical(false);
      }
      book.FindSheet("Ledger")->Put(1, 1, Value::Number(1));
    }
  };
  for (int round = 0; round <= 2; ++round) {
    SCOPED_TRACE(round);
    WorkbookFile copied = WorkbookFile::Load(original);
    WorkbookFile taken = WorkbookFile::Load(original);
    memhost::MemHost host_a, host_b;
    memhost::MemWorkbook& book_a = host_a.AddWorkbook(copied.data());
    memhost::MemWorkbook& book_b = host_b.AddWorkbook(taken.TakeData());
    EXPECT_TRUE(taken.data().sheets[0].cells.empty());
    // Neither file compares the other's model: the one handed over keeps only the changed cells.
    EXPECT_THROW(copied.Serialize(book_b.data()), FileError);
    EXPECT_THROW(taken.Serialize(book_a.data()), FileError);
    edit(book_a, round);
    edit(book_b, round);
    const Package a = Package::Open(Save(copied, book_a.data(), "copied.xlsx"));
    const Package b = Package::Open(Save(taken, book_b.data(), "taken.xlsx"));
    ASSERT_EQ(a.names(), b.names());
    for (const std::string& name : a.names()) EXPECT_EQ(a.Read(name), b.Read(name)) << name;
    const Package before = Package::Open(original);
    EXPECT_EQ(round > 0,
              before.Read("xl/worksheets/sheet1.xml") != b.Read("xl/worksheets/sheet1.xml"));
  }
}

// The in-memory host and the workbook files measure a sheet alike: a shape that the host puts at a
// cell's top left corner, on a sheet with columns and rows of their own size and hidden rows, is
// anchored to that very cell in the file, and is at the host's corner again when read back.
TEST_F(RoundTrip, AShapeAtACellsCornerIsAnchoredToThatCell) {
  const WorkbookFile file = WorkbookFile::New("Book.xlsx", {"Bank"});
  memhost::MemHost host;
  memhost::MemWorkbook& book = host.AddWorkbook(file.data());
  memhost::MemWorksheet& sheet = *book.FindSheet("Bank");
  sheet.data().column_widths[2] = 96;
  sheet.data().column_widths[4] = 12;
  sheet.data().row_heights[3] = 30;
  sheet.data().row_heights[6] = 42;  // hidden as well: it takes no room
  sheet.HideRow(5);
  sheet.HideRow(6);
  const std::vector<std::pair<int, int>> cells = {{1, 1}, {2, 3}, {4, 5}, {7, 2}, {9, 4}, {40, 12}};
  for (const auto& [row, column] : cells) {
    sheet.AddShape(host::kShapeRectangle, sheet.CellLeft(row, column), sheet.CellTop(row, column),
                   10, 10);
  }
  EXPECT_EQ(sheet.CellTop(7, 1), 15 + 15 + 30 + 15);  // rows 1 to 4, then two hidden rows
  EXPECT_EQ(sheet.CellLeft(1, 5), 48 + 96 + 48 + 12);
  const fs::path path = Save(file, book.data(), "anchors.xlsx");

  const Package package = Package::Open(path);
  std::string drawing;
  for (const std::string& name : package.names()) {
    if (name.rfind("xl/drawings/drawing", 0) == 0 && name.find("_rels") == std::string::npos) {
      drawing = package.Read(name);
    }
  }
  pugi::xml_document xml;
  ASSERT_TRUE(xml.load_string(drawing.c_str()));
  std::vector<std::vector<std::string>> anchors;  // col, colOff, row, rowOff of each "from"
  for (const pugi::xpath_node& from : xml.select_nodes("//*[local-name()='from']")) {
    std::vector<std::string>& anchor = anchors.emplace_back();
    for (pugi::xml_node part : from.node().children()) anchor.emplace_back(part.text().get());
  }
  ASSERT_EQ(anchors.size(), cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const auto [row, column] = cells[i];
    const std::vector<std::string> expected = {std::to_string(column - 1), "0",
                                               std::to_string(row - 1), "0"};
    EXPECT_EQ(anchors[i], expected) << "shape " << i;
  }

  const WorkbookFile loaded = WorkbookFile::Load(path);
  const memhost::SheetData& back = loaded.data().sheets.at(0);
  const memhost::SheetGeometry geometry(back);
  ASSERT_EQ(back.shapes.size(), cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const auto [row, column] = cells[i];
    EXPECT_DOUBLE_EQ(back.shapes[i].left, sheet.CellLeft(row, column)) << "shape " << i;
    EXPECT_DOUBLE_EQ(back.shapes[i].top, sheet.CellTop(row, column)) << "shape " << i;
    EXPECT_EQ(geometry.ColumnAt(back.shapes[i].left), column);
    EXPECT_EQ(geometry.RowAt(back.shapes[i].top), row);
  }
}

}  // namespace
}  // namespace quorvane::xlsx
