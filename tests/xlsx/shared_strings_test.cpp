// The shared string table as other programs write it: rich text read as its plain text, spaces
// and escapes kept as written, and as many items as the table declares, so that the cells that
// refer to them by number find their own.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <string>
#include <vector>

#include "outside_books.h"
#include "xlsx/shared_strings.h"
#include "xlsx/workbook_file.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {
namespace {

using quorvane::testing::MadeBook;
using quorvane::testing::ReadParts;
using quorvane::testing::Sample;
using quorvane::testing::SampleBooks;

std::vector<std::string> StringsOf(const std::filesystem::path& book) {
  return ParseSharedStrings(ReadParts(book).at("xl/sharedStrings.xml"), "book",
                            "xl/sharedStrings.xml");
}

TEST(SharedStrings, ReadsXlsxWritersRichTextSpacesAndEscapes) {
  std::string reason;
  const auto book = MadeBook("xlsxwriter", reason);
  if (!book) GTEST_SKIP() << reason;
  const std::vector<std::string> strings = StringsOf(*book);
  const std::vector<std::string> written = {"plain bold plain", "  padded  ", "a_x0041_b",
                                            "bell\x07 and tab\t", "plain "};
  ASSERT_GE(strings.size(), written.size());
  const std::vector<std::string> last(strings.end() - static_cast<long>(written.size()),
                                      strings.end());
  EXPECT_EQ(last, written);
  // And the cells find them.
  const WorkbookFile file = WorkbookFile::Load(*book);
  const memhost::SheetData& sheet = file.data().sheets.back();
  for (int row = 1; row <= static_cast<int>(written.size()); ++row) {
    ASSERT_TRUE(sheet.Find(row, 1));
    EXPECT_EQ(sheet.Find(row, 1)->value, host::Value::Text(written[row - 1])) << row;
  }
}

TEST(SharedStrings, ReadsExcelsRichTextAsItsPlainText) {
  std::string reason;
  const auto book = Sample("openxlsx/loadExample.xlsx", reason);
  if (!book) GTEST_SKIP() << reason;
  const std::vector<std::string> strings = StringsOf(*book);
  ASSERT_EQ(strings.size(), 33u);
  EXPECT_EQ(strings[17], "Some text.");  // two runs, red and in the theme's colour
  EXPECT_EQ(strings[16], "Grand Total");
}

TEST(SharedStrings, EveryTableHoldsTheItemsItDeclaresAndTheCellsUse) {
  const auto samples = SampleBooks();
  if (samples.empty()) GTEST_SKIP() << "r-cran-readxl and r-cran-openxlsx are not installed";
  int tables = 0;
  for (const auto& sample : samples) {
    SCOPED_TRACE(sample.path.string() + " (" + sample.application + ")");
    const auto parts = ReadParts(sample.path);
    const auto table = parts.find("xl/sharedStrings.xml");
    if (table == parts.end()) continue;
    ++tables;
    const std::vector<std::string> strings =
        ParseSharedStrings(table->second, "book", table->first);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(table->second.c_str()));
    if (pugi::xml_attribute unique = doc.document_element().attribute("uniqueCount")) {
      EXPECT_EQ(strings.size(), unique.as_ullong());
    }
    // Every string cell of every sheet refers to an item of the table.
    for (const auto& part : parts) {
      const std::string& name = part.first;
      const std::string& xml = part.second;
      if (name.rfind("xl/worksheets/sheet", 0) != 0) continue;
      pugi::xml_document sheet;
      ASSERT_TRUE(sheet.load_string(xml.c_str()));
      const pugi::xml_node data = Child(sheet.document_element(), kNsMain, "sheetData");
      ForChildren(data, kNsMain, "row", [&](pugi::xml_node row) {
        ForChildren(row, kNsMain, "c", [&](pugi::xml_node c) {
          if (std::string_view(c.attribute("t").value()) != "s") return;
          EXPECT_LT(Child(c, kNsMain, "v").text().as_ullong(), strings.size())
              << name << " " << c.attribute("r").value();
        });
      });
    }
  }
  EXPECT_GT(tables, 5);
  std::string reason;
  if (const auto clippy = Sample("readxl/clippy.xlsx", reason)) {
    EXPECT_EQ(StringsOf(*clippy).at(1), "Clippy");
  }
}

}  // namespace
}  // namespace quorvane::xlsx
