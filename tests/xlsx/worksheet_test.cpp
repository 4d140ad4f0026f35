// Worksheets as other programs write them, read into the model and edited: changed cells written
// into the sheet's text as loaded give the same sheet, and the same new cell formats, as the same
// changes made on its whole document.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "host/number_format.h"
#include "host/worksheet.h"
#include "memhost/model.h"
#include "outside_books.h"
#include "xlsx/cell_splice.h"
#include "xlsx/error.h"
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
  std::string drawing_id, legacy_id;
};

Sheet Read(const std::string& text, const std::vector<std::string>& strings,
           const StyleTable& styles) {
  pugi::xml_document doc;
  ParsePart(doc, text, "book", "sheet.xml");
  Sheet sheet;
  const WorksheetRefs refs = LoadWorksheet(doc, strings, styles, sheet.data, &sheet.offsets);
  sheet.style_bound = refs.style_bound;
  sheet.drawing_id = refs.drawing_id;
  sheet.legacy_id = refs.legacy_id;
  return sheet;
}

// The sheet read from its text without a tree of its rows; nothing where that reader leaves it to
// the tree.
std::optional<Sheet> ReadText(const std::string& text, const std::vector<std::string>& strings,
                              const StyleTable& styles) {
  Sheet sheet;
  const std::optional<WorksheetRefs> refs =
      LoadWorksheetText(text, "book", "sheet.xml", strings, styles, sheet.data, &sheet.offsets);
  if (!refs) return std::nullopt;
  sheet.style_bound = refs->style_bound;
  sheet.drawing_id = refs->drawing_id;
  sheet.legacy_id = refs->legacy_id;
  return sheet;
}

// Everything a read gives: the model with each cell's style and formula, the offsets for splicing
// and the references.
void ExpectSameRead(const Sheet& a, const Sheet& b) {
  ExpectSameSheet(a.data, b.data);
  if (a.data.cells.size() == b.data.cells.size()) {
    for (auto i = a.data.cells.begin(), j = b.data.cells.begin(); i != a.data.cells.end();
         ++i, ++j) {
      EXPECT_EQ(i->second.style, j->second.style);
      EXPECT_EQ(i->second.formula, j->second.formula);
    }
  }
  EXPECT_EQ(a.data.default_row_height, b.data.default_row_height);
  EXPECT_EQ(a.data.default_column_width, b.data.default_column_width);
  EXPECT_EQ(a.offsets.sheet_data, b.offsets.sheet_data);
  EXPECT_EQ(a.offsets.cells, b.offsets.cells);
  EXPECT_EQ(a.style_bound, b.style_bound);
  EXPECT_EQ(a.drawing_id, b.drawing_id);
  EXPECT_EQ(a.legacy_id, b.legacy_id);
}

struct BookParts {
  std::map<std::string, std::string> parts;
  std::optional<StyleTable> styles;
  std::vector<std::string> strings;
};

BookParts ReadBook(const fs::path& book) {
  BookParts out;
  out.parts = ReadParts(book);
  const auto theme = out.parts.find("xl/theme/theme1.xml");
  const ThemeColors colors = theme == out.parts.end()
                                 ? DefaultThemeColors()
                                 : ParseTheme(theme->second, "book", "xl/theme/theme1.xml");
  out.styles = out.parts.count("xl/styles.xml")
                   ? StyleTable::Parse(out.parts.at("xl/styles.xml"), "book", "styles", colors)
                   : StyleTable::Default();
  if (out.parts.count("xl/sharedStrings.xml")) {
    out.strings = ParseSharedStrings(out.parts.at("xl/sharedStrings.xml"), "book", "strings");
  }
  return out;
}

// Reads every worksheet of a book both ways; returns how many sheets the text reader took.
int ExpectTextReadsAsTree(const fs::path& book) {
  const BookParts parts = ReadBook(book);
  int taken = 0;
  for (const auto& [name, text] : parts.parts) {
    if (name.rfind("xl/worksheets/sheet", 0) != 0) continue;
    SCOPED_TRACE(name);
    const std::optional<Sheet> from_text = ReadText(text, parts.strings, *parts.styles);
    if (!from_text) continue;
    ++taken;
    ExpectSameRead(*from_text, Read(text, parts.strings, *parts.styles));
  }
  return taken;
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

TEST(Worksheet, XlsxWritersAndLibreOfficesSheetsReadFromTheirTextAsFromTheirTree) {
  for (const std::string maker : {"xlsxwriter", "libreoffice"}) {
    SCOPED_TRACE(maker);
    CheckMadeBook(maker, [](const fs::path& book) {
      // Their sheets take the plain forms: the text reader reads every one of them.
      EXPECT_GT(ExpectTextReadsAsTree(book), 0);
    });
  }
}

TEST(Worksheet, TheSampleBooksSheetsReadFromTheirTextAsFromTheirTree) {
  int taken = 0;
  CheckSampleBooks([&](const fs::path& book) { taken += ExpectTextReadsAsTree(book); });
  EXPECT_GT(taken, 0);
}

// A date cell ("d") whose time of day lies outside its ordinary ranges holds no date, whichever
// reader reads it; one within them does.
TEST(Worksheet, ADateCellWithATimeOutOfRangeHoldsNoDate) {
  const std::string text =
      "<worksheet xmlns=\"" + std::string(kNsMain) +
      "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"d\"><v>2023-01-05T1638510:00:00</v></c>"
      "<c r=\"B1\" t=\"d\"><v>2023-01-05T10:60:00</v></c><c r=\"C1\" t=\"d\">"
      "<v>2023-01-05T-1:00:00</v></c><c r=\"D1\" t=\"d\"><v>2023-01-05T23:59:59</v></c>"
      "</row></sheetData></worksheet>";
  const StyleTable styles = StyleTable::Default();
  const std::optional<Sheet> from_text = ReadText(text, {}, styles);
  ASSERT_TRUE(from_text);
  for (const Sheet& sheet : {Read(text, {}, styles), *from_text}) {
    EXPECT_EQ(sheet.data.Find(1, 1), nullptr);
    EXPECT_EQ(sheet.data.Find(1, 2), nullptr);
    EXPECT_EQ(sheet.data.Find(1, 3), nullptr);
    ASSERT_NE(sheet.data.Find(1, 4), nullptr);
    EXPECT_TRUE(sheet.data.Find(1, 4)->value.is_date());
  }
}

// Sheets changed at random: whatever the text reader reads, the parser reads the same and accepts
// it; what it leaves, the parser reads or refuses alone.
TEST(Worksheet, TheTextReaderReadsOnlyWhatTheParserReadsTheSame) {
  const std::string main_ns = std::string(kNsMain);
  const std::string rel_ns = std::string(kNsRel);
  const std::vector<std::string> bases = {
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"" +
          main_ns + "\" xmlns:r=\"" + rel_ns +
          "\" xmlns:x14ac=\"urn:ac\"><sheetFormatPr defaultRowHeight=\"15\" "
          "zeroHeight=\"0\"/><cols><col min=\"1\" max=\"2\" width=\"12\"/></cols><sheetData>"
          "<row r=\"1\" spans=\"1:3\" x14ac:dyDescent=\"0.25\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
          "<c r=\"B1\" s=\"1\"><v>12.5</v></c><c r=\"C1\" t=\"str\"><f>A1&amp;\"x\"</f>"
          "<v>a_x000D_b</v></c></row>\n<row r=\"3\" ht=\"20.25\" customHeight=\"1\" "
          "hidden=\"1\"><c r=\"A3\" t=\"b\"><v>1</v></c><c t=\"e\"><v>#N/A</v></c>"
          "<c r=\"D3\" t=\"d\"><v>2023-01-05T10:00:00</v></c></row>\n<row r=\"4\" s=\"2\" "
          "customFormat=\"1\"><c r=\"B4\" s=\"2\"/><c r='C4'><v> 7 </v><extLst/></c>"
          "<c><f t=\"shared\" si=\"0\"/></c><c t=\"inlineStr\"><is><r><t>a &amp; </t></r>"
          "<r><rPr/><t xml:space=\"preserve\">b_x0041_</t></r><rPh><t>x</t></rPh></is></c></row>"
          "<other>t</other></sheetData>"
          "<sheetProtection sheet=\"1\"/><drawing r:id=\"rId1\"/></worksheet>",
      "<x:worksheet xmlns:x=\"" + main_ns + "\" xmlns:q=\"" + rel_ns +
          "\"><x:sheetFormatPr zeroHeight=\"1\"/><x:sheetData><x:row r=\"2\"><x:c r=\"B2\">"
          "<x:v>1</x:v></x:c><x:c><x:v>2</x:v><x:v>3</x:v></x:c></x:row><row r=\"5\"><c>"
          "<v>4</v></c></row><x:row><x:c r=\"XFE1\"><x:v>5</x:v></x:c></x:row></x:sheetData>"
          "<x:legacyDrawing q:id=\"rId2\"/></x:worksheet>",
  };
  const std::vector<std::string> pieces = {"<",
                                           ">",
                                           "/",
                                           "\"",
                                           "'",
                                           "=",
                                           " ",
                                           "\r",
                                           "\n",
                                           "\t",
                                           std::string(1, '\0'),
                                           "&amp;",
                                           "&lt;",
                                           "&#65;",
                                           "&bogus;",
                                           "&",
                                           "<!--c-->",
                                           "<?pi?>",
                                           "<![CDATA[x]]>",
                                           "<v>2</v>",
                                           "<f>1+1</f>",
                                           "</c>",
                                           "<c>",
                                           "<row>",
                                           "</row>",
                                           "<x:row>",
                                           "</x:row>",
                                           "<y:c/>",
                                           " xmlns:y=\"u\"",
                                           " xmlns=\"u\"",
                                           " r=\"E9\"",
                                           " r=\"0\"",
                                           " r=\"-2\"",
                                           " s=\"3\"",
                                           " s=\" 3\"",
                                           " s=\"0x2\"",
                                           " t=\"inlineStr\"",
                                           " t=\"s\"",
                                           " ht=\"1e2\"",
                                           " ht=\"7.\"",
                                           " hidden=\"true\"",
                                           "<sheetData>",
                                           "</sheetData>",
                                           "<!DOCTYPE x>",
                                           "\xEF\xBB\xBF",
                                           "\xC3\xA9",
                                           "<is><t>q</t></is>",
                                           " a='1'b='2'",
                                           "<v/>",
                                           "<v><b/></v>",
                                           "r",
                                           "c",
                                           "v",
                                           ":",
                                           "x:",
                                           " zeroHeight=\"1\"",
                                           "<sheetData/>",
                                           "1048577",
                                           "16385"};
  const std::vector<std::string> strings = {"zero", "one"};
  const StyleTable styles = StyleTable::Default();
  std::mt19937 random(20261209);
  int taken = 0, refused = 0, cases = 0;
  for (const std::string& base : bases) {
    ASSERT_TRUE(ReadText(base, strings, styles).has_value()) << base;
    for (int n = 0; n < 10000; ++n, ++cases) {
      std::string text = base;
      const int changes = 1 + static_cast<int>(random() % 2);
      for (int k = 0; k < changes; ++k) {
        // Mostly among the rows, where the text reader reads.
        const std::size_t rows = text.find("sheetData");
        std::size_t at = rows != std::string::npos && random() % 4 != 0
                             ? rows + random() % (text.size() - rows)
                             : random() % (text.size() + 1);
        // Half the time at a tag's start, where whole elements fit.
        if (random() % 2 == 0) at = std::min(text.find('<', at), text.size());
        switch (random() % 3) {
          case 0:
            text.insert(at, pieces[random() % pieces.size()]);
            break;
          case 1:
            text.erase(at, 1 + random() % 8);
            break;
          default:
            text.replace(at, std::min<std::size_t>(text.size() - at, 1 + random() % 3),
                         pieces[random() % pieces.size()]);
            break;
        }
      }
      std::optional<Sheet> from_tree;
      try {
        pugi::xml_document doc;
        ParsePart(doc, text, "book", "sheet.xml");
        if (Is(doc.document_element(), kNsMain, "worksheet"))
          from_tree = Read(text, strings, styles);
      } catch (const FileError&) {
      }
      refused += from_tree ? 0 : 1;
      const std::optional<Sheet> from_text = ReadText(text, strings, styles);
      if (!from_text) continue;
      ++taken;
      SCOPED_TRACE(text);
      ASSERT_TRUE(from_tree) << "the text reader took a sheet the parser refuses";
      ExpectSameRead(*from_text, *from_tree);
      if (::testing::Test::HasFailure()) return;
    }
  }
  // Both kinds of change are made often enough to test something, and the text reader takes most
  // of what the parser accepts.
  EXPECT_GT(refused, cases / 10);
  EXPECT_GT(taken, (cases - refused) / 2);
}

// The end of an element's content is its first tag of that name, unless a comment, a section, an
// instruction or a start tag of that name comes first.
TEST(Worksheet, TheContentOfAnElementEndsAtItsFirstTagOfThatName) {
  const std::size_t none = std::string_view::npos;
  const std::string_view rows = "<sheetData><row><c><v>1</v></c></row></sheetData>";
  EXPECT_EQ(ContentEnd(rows, 11, "sheetData"), 37u);
  EXPECT_EQ(ContentEnd(rows, 38, "sheetData"), none);
  EXPECT_EQ(ContentEnd("<x:sheetData><a/></x:sheetData >", 13, "x:sheetData"), 17u);
  // Names that only begin alike, or stand without a '<' or "</" before them, are passed over.
  EXPECT_EQ(
      ContentEnd("<s>sheetData<sheetDatas/></ sheetData></sheetDataX></sheetData>", 3, "sheetData"),
      51u);
  EXPECT_EQ(ContentEnd("<s><a>/sheetData</a></sheetData>", 3, "sheetData"), 20u);
  // A tag before `from` does not count.
  EXPECT_EQ(ContentEnd("</sheetData></sheetData>", 1, "sheetData"), 12u);
  EXPECT_EQ(ContentEnd("<s><sheetData/></sheetData>", 3, "sheetData"), none);
  EXPECT_EQ(ContentEnd("<s><!-- x --></sheetData>", 3, "sheetData"), none);
  EXPECT_EQ(ContentEnd("<s><?p x?></sheetData>", 3, "sheetData"), none);
  EXPECT_EQ(ContentEnd("<s><v>?!</v>! ?</sheetData>", 3, "sheetData"), 15u);
  EXPECT_EQ(ContentEnd("<s></sheetData><!-- x -->", 3, "sheetData"), 3u);
  EXPECT_EQ(ContentEnd("<s></sheetData x>", 3, "sheetData"), none);
  EXPECT_EQ(ContentEnd("<s></sheetData", 3, "sheetData"), none);
  EXPECT_EQ(ContentEnd("<s></sheetData \t>", 3, "sheetData"), 3u);
  EXPECT_EQ(ContentEnd("<s>", 3, "sheetData"), none);
}

}  // namespace
}  // namespace quorvane::xlsx
