// Worksheets as other programs write them, read into the model and edited: changed cells written
// into the sheet's text as loaded give the same sheet, and the same new cell formats, as the same
// changes made on its whole document.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/number_format.h"
#include "host/worksheet.h"
#include "memhost/model.h"
#include "outside_books.h"
#include "xlsx/cell_splice.h"
#include "xlsx/model_matchers.h"
#include "xlsx/shared_strings.h"
#include "xlsx/styles.h"
#include "xlsx/worksheet.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {
namespace {

namespace fs = std::filesystem;
using quorvane::testing::CheckMadeBook;
using quorvane::testing::CheckSampleBooks;
using quorvane::testing::MadeBook;
using quorvane::testing::ReadParts;
using quorvane::testing::SampleBooks;
using quorvane::xlsx::testing::ExpectSameSheet;

struct Sheet {
  memhost::SheetData data;
  CellOffsets offsets;
  int style_bound = 0;
};

Sheet Read(const std::string& text, const std::vector<std::string>& strings,
           const StyleTable& styles) {
  pugi::xml_document doc;
  ParsePart(doc, text, "book", "sheet.xml");
  Sheet sheet;
  sheet.style_bound = LoadWorksheet(doc, strings, styles, sheet.data, &sheet.offsets).style_bound;
  return sheet;
}

// Changes a value, a fill and a number format on up to six cells of the sheet, spread over it.
memhost::SheetData Changed(const memhost::SheetData& before) {
  memhost::SheetData after = before;
  std::vector<memhost::CellKey> keys;
  for (const auto& [key, cell] : before.cells) keys.push_back(key);
  const std::size_t step = std::max<std::size_t>(keys.size() / 6, 1);
  int n = 0;
  for (std::size_t i = 0; i < keys.size() && n < 6; i += step, ++n) {
    memhost::CellData& cell = after.At(keys[i].first, keys[i].second);
    switch (n % 3) {
      case 0:
        // A number in a date format is a date, as the model reads it back.
        cell.value = host::IsDateFormat(cell.number_format) ? host::Value::Date(n + 0.5)
                                                            : host::Value::Number(n + 0.5);
        break;
      case 1:
        cell.fill = {0x00FF00, host::kPatternSolid};
        break;
      default:
        cell.number_format = "0.0%";
        cell.value = host::Value::Text("changed & <escaped>");
        break;
    }
  }
  return after;
}

// Edits every worksheet of a book both ways and compares the sheets and styles they give.
void ExpectSplicingMatchesEditing(const fs::path& book) {
  const auto parts = ReadParts(book);
  if (!parts.count("xl/styles.xml")) return;
  const auto theme = parts.find("xl/theme/theme1.xml");
  const ThemeColors colors = theme == parts.end()
                                 ? DefaultThemeColors()
                                 : ParseTheme(theme->second, "book", "xl/theme/theme1.xml");
  const std::string& styles_xml = parts.at("xl/styles.xml");
  const auto parse_styles = [&] {
    return StyleTable::Parse(styles_xml, "book", "xl/styles.xml", colors);
  };
  const StyleTable styles = parse_styles();
  std::vector<std::string> strings;
  if (parts.count("xl/sharedStrings.xml")) {
    strings = ParseSharedStrings(parts.at("xl/sharedStrings.xml"), "book", "strings");
  }
  for (const auto& part : parts) {
    const std::string& name = part.first;
    const std::string& text = part.second;
    if (name.rfind("xl/worksheets/sheet", 0) != 0) continue;
    SCOPED_TRACE(name);
    const Sheet before = Read(text, strings, styles);
    if (before.data.cells.empty()) continue;
    const memhost::SheetData after = Changed(before.data);

    StyleTable edited_styles = parse_styles(), spliced_styles = parse_styles();
    edited_styles.Reserve(before.style_bound);
    spliced_styles.Reserve(before.style_bound);
    pugi::xml_document edited;
    ParsePart(edited, text, "book", name);
    ASSERT_TRUE(UpdateWorksheet(edited, before.data, after, edited_styles));
    const std::string edited_text = Serialize(edited);

    const std::optional<SplicedWorksheet> spliced =
        SpliceCellEdits(text, before.offsets, before.data, after, spliced_styles);
    ASSERT_TRUE(spliced) << "the cells could not be written into the sheet's text";
    EXPECT_TRUE(spliced->changed);
    pugi::xml_document skeleton;
    ParsePart(skeleton, spliced->skeleton, "book", name);
    const NewElements rows{Child(skeleton.document_element(), kNsMain, "sheetData"),
                           spliced->content_size, [&](std::string& out) {
                             for (const SplicedWorksheet::Piece& piece : spliced->pieces) {
                               out.append(text, piece.from, piece.to - piece.from);
                               out += piece.cell;
                             }
                           }};
    const std::string spliced_text = Serialize(skeleton, rows);

    const std::string new_styles = edited_styles.Serialize();
    EXPECT_EQ(spliced_styles.Serialize(), new_styles);
    const StyleTable reread_styles = StyleTable::Parse(new_styles, "book", "styles", colors);
    Sheet from_edit = Read(edited_text, strings, reread_styles);
    Sheet from_splice = Read(spliced_text, strings, reread_styles);
    from_edit.data.name = from_splice.data.name = after.name;
    ExpectSameSheet(from_splice.data, from_edit.data);

    ExpectSameSheet(from_splice.data, after);
  }
}

TEST(Worksheet, XlsxWritersSheetsTakeTheirChangedCellsAlikeBothWays) {
  CheckMadeBook("xlsxwriter", ExpectSplicingMatchesEditing);
}

TEST(Worksheet, LibreOfficesSheetTakesItsChangedCellsAlikeBothWays) {
  CheckMadeBook("libreoffice", ExpectSplicingMatchesEditing);
}

TEST(Worksheet, TheSampleBooksSheetsTakeTheirChangedCellsAlikeBothWays) {
  CheckSampleBooks(ExpectSplicingMatchesEditing);
}

}  // namespace
}  // namespace quorvane::xlsx
