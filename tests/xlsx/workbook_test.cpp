// Whole workbooks that other programs wrote, loaded and saved: a save without changes gives every
// part back byte for byte, and a save of marked cells (fills, a note, a rectangle) reads back as
// marked while every part the marks do not concern stays as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/worksheet.h"
#include "memhost/model.h"
#include "outside_books.h"
#include "support/temp_folder.h"
#include "xlsx/error.h"
#include "xlsx/model_matchers.h"
#include "xlsx/workbook_file.h"

namespace quorvane::xlsx {
namespace {

namespace fs = std::filesystem;
using quorvane::testing::CheckMadeBook;
using quorvane::testing::CheckSampleBooks;
using quorvane::testing::MadeBook;
using quorvane::testing::ReadParts;
using quorvane::testing::SampleBooks;
using quorvane::xlsx::testing::ExpectSameWorkbook;

// The parts that marking a sheet may change: its own, its relationships, its notes and drawings,
// the styles and the content types.
bool MarksMayChange(const std::string& part) {
  for (const char* prefix :
       {"xl/worksheets/", "xl/comments", "xl/drawings/", "xl/styles.xml", "[Content_Types].xml"}) {
    if (part.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

// Marks up to three cells with values on each sheet: a fill on each, a note on the first that
// has none, and a rectangle at the first one's corner.
memhost::WorkbookData Marked(const memhost::WorkbookData& loaded) {
  memhost::WorkbookData data = loaded;
  for (memhost::SheetData& sheet : data.sheets) {
    std::vector<memhost::CellKey> keys;
    for (const auto& [key, cell] : sheet.cells) {
      if (!cell.value.is_empty() && keys.size() < 3) keys.push_back(key);
    }
    bool noted = false;
    for (const memhost::CellKey& key : keys) {
      memhost::CellData& cell = sheet.At(key.first, key.second);
      cell.fill = {0x66CCFF, host::kPatternSolid};
      if (!noted && !cell.comment) {
        cell.comment = memhost::CommentData{"<<< Checked:\n2 here, 1 there >>>", false};
        noted = true;
      }
    }
    if (keys.empty()) continue;
    memhost::ShapeData shape;
    shape.name = "CmtNumA Rectangle 1";
    shape.width = 18;
    shape.height = 8;
    shape.text = "2,1";
    shape.fill_scheme_color = 9;
    shape.fill_solid = true;
    shape.line_scheme_color = 64;
    shape.line_weight = 0.25;
    shape.font_size = 6;
    shape.margin_left = shape.margin_right = shape.margin_top = shape.margin_bottom = 0;
    shape.horizontal_alignment = host::kHAlignCenter;
    sheet.shapes.push_back(shape);
  }
  return data;
}

class OutsideWorkbooks : public quorvane::testing::TempFolderTest {
 protected:
  OutsideWorkbooks() : TempFolderTest("quorvane_outside") {}

  fs::path Write(const std::string& bytes, const std::string& name) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  void ExpectSavesHold(const fs::path& book) {
    const auto original = ReadParts(book);
    const WorkbookFile file = WorkbookFile::Load(book);
    EXPECT_EQ(ReadParts(Write(file.Serialize(file.data()), "same.xlsx")), original)
        << "a save without changes changed parts";

    const memhost::WorkbookData marked = Marked(file.data());
    const fs::path saved = Write(file.Serialize(marked), "marked.xlsx");
    const auto after = ReadParts(saved);
    for (const auto& [name, bytes] : original) {
      ASSERT_TRUE(after.count(name)) << name << " is gone";
      if (!MarksMayChange(name)) {
        EXPECT_EQ(after.at(name), bytes) << name;
      }
    }
    ExpectSameWorkbook(WorkbookFile::Load(saved).data(), marked);
  }
};

TEST_F(OutsideWorkbooks, XlsxWritersBookSavesAsItWasAndAsMarked) {
  CheckMadeBook("xlsxwriter", [this](const fs::path& book) { ExpectSavesHold(book); });
}

TEST_F(OutsideWorkbooks, LibreOfficesBookSavesAsItWasAndAsMarked) {
  CheckMadeBook("libreoffice", [this](const fs::path& book) { ExpectSavesHold(book); });
}

TEST_F(OutsideWorkbooks, TheSampleBooksSaveAsTheyWereAndAsMarked) {
  const auto samples = SampleBooks();
  if (samples.empty()) GTEST_SKIP() << "r-cran-readxl and r-cran-openxlsx are not installed";
  std::set<std::string> refused;
  for (const auto& sample : samples) {
    SCOPED_TRACE(sample.path.string() + " (" + sample.application + ")");
    try {
      ExpectSavesHold(sample.path);
    } catch (const FileError&) {
      refused.insert(sample.path.filename().string());
    }
  }
  // These two name notes' drawings that were cut out of them after Excel wrote them.
  EXPECT_EQ(refused, (std::set<std::string>{"cloneEmptyWorksheetExample.xlsx",
                                            "cloneWorksheetExample.xlsx"}));
}

}  // namespace
}  // namespace quorvane::xlsx
