// A sheet's document as written by other programs: rows found by their namespace, cells without
// references, changes placed into the rows and cells they belong to, and each save starting from
// the file as it was loaded.
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/value.h"
#include "host/worksheet.h"
#include "memhost/model.h"
#include "support/temp_folder.h"
#include "support/zip_parts.h"
#include "xlsx/package.h"
#include "xlsx/workbook_file.h"

namespace quorvane::xlsx {
namespace {

namespace fs = std::filesystem;
using host::Value;

constexpr char kMain[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

class SheetEdits : public quorvane::testing::TempFolderTest {
 protected:
  SheetEdits() : TempFolderTest("quorvane_sheet_edits") {}

  // A workbook of one sheet whose document is `sheet_xml`.
  fs::path Book(const char* name, const std::string& sheet_xml) {
    const WorkbookFile file = WorkbookFile::New("Book.xlsx", {"Bank"});
    const fs::path base = dir_ / "base.xlsx";
    SaveWorkbooks({{&file, &file.data(), base}});
    const Package original = Package::Open(base);
    std::map<std::string, std::string> parts = {{"xl/worksheets/sheet1.xml", sheet_xml}};
    for (const std::string& part : original.names()) parts.emplace(part, original.Read(part));
    const fs::path path = dir_ / name;
    quorvane::testing::WriteZip(path, parts);
    return path;
  }

  static std::string SheetXml(const fs::path& path) {
    return Package::Open(path).Read("xl/worksheets/sheet1.xml");
  }

  // Each piece occurs in the text after the one before it.
  static void ExpectInOrder(const std::string& text, std::initializer_list<const char*> pieces) {
    std::size_t at = 0;
    for (const char* piece : pieces) {
      const std::size_t found = text.find(piece, at);
      ASSERT_NE(found, std::string::npos) << piece << " after offset " << at << " in " << text;
      at = found + 1;
    }
  }

  // The numbers of the sheet by cell, as "row,column=value".
  static std::map<std::string, double> Numbers(const memhost::SheetData& sheet) {
    std::map<std::string, double> numbers;
    for (const auto& [key, cell] : sheet.cells) {
      if (cell.value.is_number()) {
        numbers[std::to_string(key.first) + "," + std::to_string(key.second)] = cell.value.number();
      }
    }
    return numbers;
  }
};

TEST_F(SheetEdits, RowsAreReadOnlyInTheSheetNamespaceWhateverTheirPrefix) {
  const std::string xml = std::string("<x:worksheet xmlns:x=\"") + kMain +
                          "\" xmlns:y=\"urn:other\"><x:sheetData>"
                          "<x:row r=\"1\"><x:c r=\"A1\"><x:v>1</x:v></x:c></x:row>"
                          // Rebinds its prefix to another namespace: not a row of the sheet.
                          "<x:row r=\"2\" xmlns:x=\"urn:other\"><x:c r=\"A2\"><x:v>2</x:v></x:c>"
                          "</x:row>"
                          // Binds the sheet's namespace as its default one.
                          "<row xmlns=\"" +
                          kMain +
                          "\" r=\"3\"><c r=\"A3\"><v>3</v></c></row>"
                          "<y:row r=\"4\"><y:c r=\"A4\"><y:v>4</y:v></y:c></y:row>"
                          "<x:row r=\"5\"><x:c r=\"A5\"><x:v>5</x:v></x:c></x:row>"
                          "<y:row r=\"6\"><y:c r=\"A6\"><y:v>6</y:v></y:c></y:row>"
                          "<x:row r=\"7\"><x:c r=\"A7\"><x:v>7</x:v></x:c></x:row>"
                          "</x:sheetData></x:worksheet>";
  const WorkbookFile file = WorkbookFile::Load(Book("prefixed.xlsx", xml));
  const std::map<std::string, double> expected = {{"1,1", 1}, {"3,1", 3}, {"5,1", 5}, {"7,1", 7}};
  EXPECT_EQ(Numbers(file.data().sheets[0]), expected);
}

TEST_F(SheetEdits, RowsHiddenByDefaultAreThoseNotListedAsShown) {
  const std::string xml = std::string("<worksheet xmlns=\"") + kMain +
                          "\"><sheetFormatPr defaultRowHeight=\"15\" zeroHeight=\"1\"/><sheetData>"
                          "<row r=\"2\"><c r=\"A2\"><v>2</v></c></row>"
                          "<row r=\"3\" hidden=\"1\"><c r=\"A3\"><v>3</v></c></row>"
                          "<row r=\"5\"><c r=\"A5\"><v>5</v></c></row>"
                          "</sheetData></worksheet>";
  const WorkbookFile file = WorkbookFile::Load(Book("zero_height.xlsx", xml));
  EXPECT_EQ(file.data().sheets[0].hidden_rows, (std::set<int>{1, 3, 4}));
}

TEST_F(SheetEdits, ChangedCellsGoIntoTheirRowsInColumnOrder) {
  const std::string xml = std::string("<worksheet xmlns=\"") + kMain +
                          "\"><sheetData>"
                          // Cells and a row without references, numbered in order.
                          "<row r=\"2\"><c><v>21</v></c><c><v>22</v></c></row>"
                          "<row r=\"5\"><c r=\"C5\"><v>53</v></c></row>"
                          "<row><c><v>61</v></c></row>"
                          "</sheetData></worksheet>";
  const WorkbookFile file = WorkbookFile::Load(Book("unnumbered.xlsx", xml));
  memhost::WorkbookData data = file.data();
  memhost::SheetData& sheet = data.sheets[0];
  const std::map<std::string, double> loaded = {{"2,1", 21}, {"2,2", 22}, {"5,3", 53}, {"6,1", 61}};
  ASSERT_EQ(Numbers(sheet), loaded);
  sheet.At(2, 2).value = Value::Number(220);
  sheet.At(5, 4).value = Value::Number(54);
  sheet.At(5, 1).value = Value::Number(51);
  sheet.At(3, 2).value = Value::Number(32);
  sheet.At(9, 1).value = Value::Number(91);
  sheet.At(1, 1).value = Value::Number(11);
  const fs::path saved = dir_ / "saved.xlsx";
  SaveWorkbooks({{&file, &data, saved}});

  const std::map<std::string, double> expected = {{"1,1", 11}, {"2,1", 21}, {"2,2", 220},
                                                  {"3,2", 32}, {"5,1", 51}, {"5,3", 53},
                                                  {"5,4", 54}, {"6,1", 61}, {"9,1", 91}};
  EXPECT_EQ(Numbers(WorkbookFile::Load(saved).data().sheets[0]), expected);
  // Rows and cells stay in order, and every one carries its reference, also in the rows that did
  // not change.
  ExpectInOrder(SheetXml(saved),
                {"<row r=\"1\"", "r=\"A1\"", "<row r=\"2\"", "r=\"A2\"", "r=\"B2\"", "<row r=\"3\"",
                 "r=\"B3\"", "<row r=\"5\"", "r=\"A5\"", "r=\"C5\"", "r=\"D5\"", "<row r=\"6\"",
                 "r=\"A6\"", "<row r=\"9\"", "r=\"A9\""});
}

TEST_F(SheetEdits, RowsOutOfOrderOrGivenTwiceKeepEveryCellFound) {
  const std::string xml = std::string("<worksheet xmlns=\"") + kMain +
                          "\"><sheetData>"
                          "<row r=\"5\"><c r=\"A5\"><v>1</v></c></row>"
                          "<row r=\"2\"><c r=\"A2\"><v>2</v></c></row>"
                          "<row r=\"5\"><c r=\"B5\"><v>3</v></c></row>"
                          "</sheetData></worksheet>";
  const WorkbookFile file = WorkbookFile::Load(Book("disordered.xlsx", xml));
  memhost::WorkbookData data = file.data();
  memhost::SheetData& sheet = data.sheets[0];
  sheet.At(5, 1).value = Value::Number(10);  // in the first row 5
  sheet.At(5, 2).value = Value::Number(30);  // in the second
  sheet.At(5, 3).value = Value::Number(53);  // new: into the last row 5
  sheet.At(3, 1).value = Value::Number(31);  // new rows
  sheet.At(7, 1).value = Value::Number(71);
  sheet.At(4, 1).value = Value::Number(41);
  const fs::path saved = dir_ / "saved.xlsx";
  SaveWorkbooks({{&file, &data, saved}});

  const std::map<std::string, double> expected = {
      {"2,1", 2}, {"3,1", 31}, {"4,1", 41}, {"5,1", 10}, {"5,2", 30}, {"5,3", 53}, {"7,1", 71}};
  EXPECT_EQ(Numbers(WorkbookFile::Load(saved).data().sheets[0]), expected);
  // New rows go before the row of the next number that takes new cells.
  ExpectInOrder(SheetXml(saved),
                {"<row r=\"5\"", "r=\"A5\"", "<row r=\"2\"", "<row r=\"3\"", "<row r=\"4\"",
                 "<row r=\"5\"", "r=\"B5\"", "r=\"C5\"", "<row r=\"7\""});
}

// Saving writes changed cells into the sheet's text as loaded and copies the rest as it stands
// (single quotes and all) where it can cut the text safely, and edits the whole document where it
// cannot: comments and sections in the rows, a cell within a cell, another encoding. Either way
// the changed cells and only they change, and the text of every cell is kept.
TEST_F(SheetEdits, ChangedCellsAreWrittenIntoTheSheetsTextWhateverItHolds) {
  const std::string ns = std::string(" xmlns=\"") + kMain + "\"";
  const std::string changed = "<c r='A1' s = '0' ><v>1</v></c ><c r=\"B1\"><v>2</v></c>";
  const std::string untouched = "<c r='C1' t=\"inlineStr\"><is><t>caf\xC3\xA9</t></is></c>";
  struct Case {
    const char* name;
    std::string xml;
    bool kept_as_written;  // the untouched cell's text is copied as it stands
  };
  const std::vector<Case> cases = {
      {"plain",
       "<worksheet" + ns + "><sheetData><row r=\"1\">" + changed + untouched +
           "</row></sheetData></worksheet>",
       true},
      {"prefixed",
       std::string("<x:worksheet xmlns:x=\"") + kMain +
           "\"><x:sheetData><x:row r=\"1\"><x:c r='A1'><x:v>1</x:v></x:c><x:c r=\"B1\"><x:v>2</x:v>"
           "</x:c><x:c r='C1' t=\"inlineStr\"><x:is><x:t>caf\xC3\xA9</x:t></x:is></x:c></x:row>"
           "</x:sheetData></x:worksheet>",
       true},
      {"declared",
       "\xEF\xBB\xBF<?xml version=\"1.0\" encoding='utf-8'?>\n<worksheet" + ns +
           "><sheetData>\n  <row r=\"1\">" + changed + untouched +
           "</row>\n</sheetData></worksheet>",
       true},
      {"twice",
       "<worksheet" + ns + "><sheetData><row r=\"1\"><c r='A1'><v>9</v></c>" + changed + untouched +
           "</row></sheetData></worksheet>",
       true},
      {"comment",
       "<worksheet" + ns + "><sheetData><row r=\"1\">" + changed + "<!-- <c r=\"C1\"> -->" +
           untouched + "</row></sheetData></worksheet>",
       false},
      {"section",
       "<worksheet" + ns + "><sheetData><row r=\"1\">" + changed +
           "<c r=\"C1\" t=\"str\"><v><![CDATA[</c>]]></v></c></row></sheetData>"
           "</worksheet>",
       false},
      {"nested",
       "<worksheet" + ns +
           "><sheetData><row r=\"1\"><c r='A1'><v>1</v><c r=\"D1\"/>"
           "</c><c r=\"B1\"><v>2</v></c>" +
           untouched + "</row></sheetData></worksheet>",
       false},
      {"latin1",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><worksheet" + ns +
           "><sheetData><row r=\"1\">" + changed +
           "<c r=\"C1\" t=\"inlineStr\"><is><t>caf\xE9</t></is></c></row></sheetData>"
           "</worksheet>",
       false},
  };
  const memhost::Fill yellow{65535, host::kPatternSolid};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const WorkbookFile file =
        WorkbookFile::Load(Book((std::string(c.name) + ".xlsx").c_str(), c.xml));
    memhost::WorkbookData data = file.data();
    memhost::SheetData& sheet = data.sheets[0];
    const memhost::CellData c1 = sheet.At(1, 3);
    sheet.At(1, 1).value = Value::Number(10);
    sheet.At(1, 2).fill = yellow;
    const fs::path saved = dir_ / (std::string(c.name) + "_saved.xlsx");
    SaveWorkbooks({{&file, &data, saved}});

    const memhost::SheetData reloaded = WorkbookFile::Load(saved).data().sheets[0];
    const auto cell = [&](int column) { return reloaded.cells.find({1, column}); };
    ASSERT_NE(cell(1), reloaded.cells.end());
    ASSERT_NE(cell(2), reloaded.cells.end());
    ASSERT_NE(cell(3), reloaded.cells.end());
    EXPECT_EQ(cell(1)->second.value, Value::Number(10));
    EXPECT_EQ(cell(1)->second.fill, memhost::Fill{});
    EXPECT_EQ(cell(2)->second.value, Value::Number(2));
    EXPECT_EQ(cell(2)->second.fill, yellow);
    EXPECT_EQ(cell(3)->second.value, c1.value);
    EXPECT_EQ(cell(3)->second.fill, memhost::Fill{});
    if (c.kept_as_written) {
      EXPECT_NE(SheetXml(saved).find("r='C1'"), std::string::npos);
    }
  }
}

// A sheet that held no cells (a new workbook's, a CSV file's) has its cells written as text; they
// must read as those the document's own edits write into a sheet that held some.
TEST_F(SheetEdits, ANewSheetsCellsAreWrittenAsEditsOfADocumentWouldWriteThem) {
  const memhost::Fill yellow{65535, host::kPatternSolid};
  const auto edit = [&](memhost::SheetData& sheet) {
    sheet.At(1, 1).value = Value::Number(1.25);
    sheet.At(1, 3).value = Value::Text("a&b<c>\"d\" _x0041_ \r\x01 caf\xC3\xA9");
    sheet.At(1, 3).fill = yellow;
    sheet.At(2, 2).value = Value::Logical(true);
    sheet.At(2, 5).value = Value::Error(host::CellError::kNA);
    sheet.At(4, 1).fill = yellow;  // blank, filled
    sheet.At(4, 2).value = Value::Date(44931);
    sheet.At(4, 2).number_format = "dd/mm/yyyy";
    sheet.At(4, 3).value = Value::Text("");
    sheet.At(5, 1).comment = memhost::CommentData{"only a note", false};  // no element
    sheet.At(7, 2).value = Value::Number(-0.0);
  };
  const std::string far_row = "<row r=\"90\"><c r=\"A90\"><v>9</v></c></row>";
  struct Case {
    const char* name;
    std::string open, close;  // the document around the content of <sheetData>
  };
  const std::vector<Case> cases = {
      {"plain", std::string("<worksheet xmlns=\"") + kMain + "\"><sheetData>",
       "</sheetData></worksheet>"},
      {"prefixed", std::string("<x:worksheet xmlns:x=\"") + kMain + "\"><x:sheetData>",
       "</x:sheetData></x:worksheet>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto row = [&](std::string text) {
      if (c.name == std::string("prefixed")) {
        for (const char* name : {"row", "c", "v"}) {
          for (std::size_t at = 0;
               (at = text.find(std::string("<") + name, at)) != std::string::npos;) {
            text.insert(at + 1, "x:");
            at += 3;
          }
          for (std::size_t at = 0;
               (at = text.find(std::string("</") + name, at)) != std::string::npos;) {
            text.insert(at + 2, "x:");
            at += 4;
          }
        }
      }
      return text;
    };
    // The empty sheet takes the cells as text; the one holding a far row has them added to its
    // document.
    const WorkbookFile empty =
        WorkbookFile::Load(Book((std::string(c.name) + "_empty.xlsx").c_str(), c.open + c.close));
    const WorkbookFile held = WorkbookFile::Load(
        Book((std::string(c.name) + "_held.xlsx").c_str(), c.open + row(far_row) + c.close));
    memhost::WorkbookData empty_data = empty.data();
    memhost::WorkbookData held_data = held.data();
    edit(empty_data.sheets[0]);
    edit(held_data.sheets[0]);
    const fs::path empty_saved = dir_ / (std::string(c.name) + "_empty_saved.xlsx");
    const fs::path held_saved = dir_ / (std::string(c.name) + "_held_saved.xlsx");
    SaveWorkbooks({{&empty, &empty_data, empty_saved}, {&held, &held_data, held_saved}});

    std::string expected = SheetXml(held_saved);
    const std::size_t far = expected.find(row(far_row));
    ASSERT_NE(far, std::string::npos) << expected;
    expected.erase(far, row(far_row).size());
    EXPECT_EQ(SheetXml(empty_saved), expected);
    const Package empty_package = Package::Open(empty_saved);
    const Package held_package = Package::Open(held_saved);
    EXPECT_EQ(empty_package.Read("xl/styles.xml"), held_package.Read("xl/styles.xml"));
  }
}

// Cells, rows and columns may refer to cell formats the styles part lacks (they read as the plain
// format). A format added for a changed cell must not take such a number, or those cells would
// take its fill.
TEST_F(SheetEdits, AFormatAddedForAChangeNeverTakesANumberThatOtherCellsReferTo) {
  const std::string xml = std::string("<worksheet xmlns=\"") + kMain +
                          "\"><cols><col min=\"4\" max=\"4\" style=\"3\"/></cols><sheetData>"
                          "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\" s=\"1\"><v>2</v></c>"
                          "</row><row r=\"2\" s=\"2\" customFormat=\"1\"><c r=\"A2\" s=\"70000\">"
                          "<v>3</v></c></row></sheetData></worksheet>";
  const WorkbookFile file = WorkbookFile::Load(Book("dangling.xlsx", xml));
  memhost::WorkbookData data = file.data();
  const memhost::Fill yellow{65535, host::kPatternSolid};
  const memhost::Fill red{255, host::kPatternSolid}, green{65280, host::kPatternSolid};
  data.sheets[0].At(1, 1).fill = yellow;  // three new formats
  data.sheets[0].At(1, 3).fill = red;
  data.sheets[0].At(1, 5).fill = green;
  const fs::path saved = dir_ / "saved.xlsx";
  SaveWorkbooks({{&file, &data, saved}});

  const memhost::SheetData reloaded = WorkbookFile::Load(saved).data().sheets[0];
  EXPECT_EQ(reloaded.Find(1, 1)->fill, yellow);
  EXPECT_EQ(reloaded.Find(1, 3)->fill, red);
  EXPECT_EQ(reloaded.Find(1, 5)->fill, green);
  EXPECT_EQ(reloaded.Find(1, 2)->fill, memhost::Fill{});
  EXPECT_EQ(reloaded.Find(2, 1)->fill, memhost::Fill{});
  // Past the row's 2 and the column's 3 too.
  for (const int column : {1, 3, 5}) EXPECT_GE(reloaded.Find(1, column)->style, 4) << column;
}

TEST_F(SheetEdits, EachSaveStartsFromTheFileAsLoaded) {
  const std::string xml = std::string("<worksheet xmlns=\"") + kMain +
                          "\"><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
                          "<row r=\"2\"><c r=\"A2\"><v>2</v></c></row></sheetData></worksheet>";
  const WorkbookFile file = WorkbookFile::Load(Book("twice.xlsx", xml));
  memhost::WorkbookData first = file.data();
  first.sheets[0].At(1, 1).value = Value::Number(100);
  first.sheets[0].At(3, 1).value = Value::Number(300);
  memhost::WorkbookData second = file.data();
  second.sheets[0].At(2, 1).value = Value::Number(200);
  const fs::path one = dir_ / "one.xlsx", two = dir_ / "two.xlsx", three = dir_ / "three.xlsx";
  SaveWorkbooks({{&file, &first, one}});
  SaveWorkbooks({{&file, &second, two}});
  SaveWorkbooks({{&file, &file.data(), three}});

  const std::map<std::string, double> after_first = {{"1,1", 100}, {"2,1", 2}, {"3,1", 300}};
  const std::map<std::string, double> after_second = {{"1,1", 1}, {"2,1", 200}};
  const std::map<std::string, double> unchanged = {{"1,1", 1}, {"2,1", 2}};
  EXPECT_EQ(Numbers(WorkbookFile::Load(one).data().sheets[0]), after_first);
  EXPECT_EQ(Numbers(WorkbookFile::Load(two).data().sheets[0]), after_second);
  EXPECT_EQ(Numbers(WorkbookFile::Load(three).data().sheets[0]), unchanged);
  EXPECT_EQ(SheetXml(three), xml);
}

}  // namespace
}  // namespace quorvane::xlsx
