// Records written as text rather than built as trees: escaped as the serializer escapes, spliced
// where the tree would have put them, read back as written (also into parts that already hold
// records, and in parts large enough to be deflated beside the archive).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "memhost/model.h"
#include "support/temp_folder.h"
#include "xlsx/model_matchers.h"
#include "xlsx/package.h"
#include "xlsx/workbook_file.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {
namespace {

namespace fs = std::filesystem;

// Every character below 128 and a few beyond, each in text and in an attribute.
std::string AwkwardText() {
  std::string text;
  for (int c = 1; c < 128; ++c) text += static_cast<char>(c);
  return text + "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // é € 😀
}

TEST(TextRecords, EscapedAsTheSerializerEscapes) {
  const std::string text = AwkwardText();
  pugi::xml_document doc;
  pugi::xml_node e = doc.append_child("e");
  e.append_attribute("a").set_value(text.c_str());
  e.text().set(text.c_str());
  std::string expected = "<e a=\"";
  AppendEscaped(expected, text, true);
  expected += "\">";
  AppendEscaped(expected, text);
  expected += "</e>";
  EXPECT_EQ(NodeText(e), expected);
}

TEST(TextRecords, ControlsAndEscapeLookalikesAreEscapedAndComeBack) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain text, no escape", "plain text, no escape"},
      {"line\nand\ttab", "line\nand\ttab"},
      {"a\rb", "a_x000D_b"},
      {"\x01start", "_x0001_start"},
      {"_x0041_", "_x005F_x0041_"},
      {"end _x00e9_", "end _x005F_x00e9_"},
      {"_x12_ _xZZZZ_ _x", "_x12_ _xZZZZ_ _x"},
  };
  for (const auto& [text, encoded] : cases) {
    EXPECT_EQ(EncodeEscapes(text), encoded) << text;
    EXPECT_EQ(DecodeEscapes(EncodeEscapes(text)), text) << text;
  }
  const std::string awkward = AwkwardText() + "_x0041_";
  EXPECT_EQ(DecodeEscapes(EncodeEscapes(awkward)), awkward);
}

// The document with `fragment` parsed into the tree after the parent's last child: what the text
// spliced in must equal.
std::string BuiltAsTree(const std::string& xml, const char* parent, const std::string& fragment) {
  pugi::xml_document doc;
  ParsePart(doc, xml, "test", "part");
  doc.document_element().child(parent).append_buffer(fragment.data(), fragment.size(),
                                                     pugi::parse_default | pugi::parse_ws_pcdata);
  return Serialize(doc);
}

TEST(TextRecords, SplicedAfterTheParentsLastChild) {
  const std::string fragment = "<x:c r=\"1\"><x:t xml:space=\"preserve\"> a &amp; b </x:t></x:c>";
  for (const std::string xml : {
           // An empty parent, one with children, one followed by siblings.
           "<x:root xmlns:x=\"urn:x\"><x:list/></x:root>",
           "<x:root xmlns:x=\"urn:x\"><x:list><x:c r=\"0\"/>tail</x:list><x:end/></x:root>",
           // A document that already holds the comment that marks the place.
           "<x:root xmlns:x=\"urn:x\"><!--quorvane:new elements--><x:list><x:c/></x:list></x:root>",
       }) {
    SCOPED_TRACE(xml);
    pugi::xml_document doc;
    ParsePart(doc, xml, "test", "part");
    const std::string unchanged = Serialize(doc);
    const std::string spliced =
        Serialize(doc, NewElements{doc.document_element().child("x:list"), 8,
                                   [&](std::string& out) { out += fragment; }});
    EXPECT_EQ(spliced, BuiltAsTree(xml, "x:list", fragment));
  }
  // The text is written in pieces of about 2 KiB: the place holder may fall across two of them.
  for (std::size_t pad = 1800; pad < 2400; ++pad) {
    const std::string xml =
        "<root><pad>" + std::string(pad, 'p') + "</pad><list><c/></list></root>";
    pugi::xml_document doc;
    ParsePart(doc, xml, "test", "part");
    const std::string unchanged = Serialize(doc);
    const std::string spliced =
        Serialize(doc, NewElements{doc.document_element().child("list"), 0,
                                   [&](std::string& out) { out += fragment; }});
    ASSERT_EQ(spliced, BuiltAsTree(xml, "list", fragment)) << "padding " << pad;
    // Spliced into the text, not parsed into the tree.
    ASSERT_EQ(Serialize(doc), unchanged) << "padding " << pad;
  }
  pugi::xml_document doc;
  ParsePart(doc, "<root><list/></root>", "test", "part");
  const std::string before = Serialize(doc);
  EXPECT_EQ(Serialize(doc, NewElements{doc.document_element().child("list"), 0, {}}), before);
  EXPECT_EQ(Serialize(doc), before) << "the place holder stays in the document";
}

class TextRecordsFile : public quorvane::testing::TempFolderTest {
 protected:
  TextRecordsFile() : TempFolderTest("quorvane_text_records") {}

  WorkbookFile SaveAndLoad(const WorkbookFile& file, const memhost::WorkbookData& data,
                           const char* name) {
    SaveWorkbooks({{&file, &data, dir_ / name}});
    return WorkbookFile::Load(dir_ / name);
  }
};

memhost::ShapeData Rectangle(std::string name, std::string text, int row) {
  memhost::ShapeData shape;
  shape.name = std::move(name);
  shape.text = std::move(text);
  shape.left = 3;
  shape.top = 15.0 * (row - 1);
  shape.width = 18;
  shape.height = 8;
  shape.fill_solid = true;
  shape.fill_scheme_color = 9;
  shape.line_scheme_color = 64;
  shape.font_color_index = 3;
  return shape;
}

TEST_F(TextRecordsFile, AwkwardNotesAndShapesReadBackIntoPartsThatHoldSomeAlready) {
  const WorkbookFile file = WorkbookFile::New("Book.xlsx", {"Bank"});
  memhost::WorkbookData data = file.data();
  data.sheets[0].At(1, 1).comment = memhost::CommentData{"first", true};
  data.sheets[0].shapes.push_back(Rectangle("Rectangle 1", "1,0", 1));
  const WorkbookFile first = SaveAndLoad(file, data, "first.xlsx");

  // Characters a sheet can hold (controls other than tab and line breaks are not among them).
  const std::string awkward = " \"quoted\" & <tagged> 'single'\ttab\r\nline\n\xE2\x82\xAC ";
  memhost::WorkbookData more = first.data();
  memhost::SheetData& sheet = more.sheets[0];
  sheet.At(2, 1).comment = memhost::CommentData{awkward, false};
  sheet.At(3, 2).comment = memhost::CommentData{"", true};
  sheet.At(4, 3).comment = memhost::CommentData{"   ", false};
  sheet.shapes.push_back(Rectangle("a \"name\" & <more>", awkward, 2));
  sheet.shapes.push_back(Rectangle("", "", 3));
  sheet.shapes.push_back(Rectangle("two\nparagraphs", "one\n\ntwo\n", 4));
  const WorkbookFile second = SaveAndLoad(first, more, "second.xlsx");
  testing::ExpectSameWorkbook(more, second.data());
}

TEST_F(TextRecordsFile, ManyNotesOnTwoSheetsSurviveTheirPartsBeingDeflatedTogether) {
  const WorkbookFile file = WorkbookFile::New("Book.xlsx", {"Bank", "Ledger"});
  memhost::WorkbookData data = file.data();
  for (int row = 1; row <= 3000; ++row) {
    for (memhost::SheetData& sheet : data.sheets) {
      memhost::CellData& cell = sheet.At(row, 1);
      cell.value = host::Value::Number(row * 1.25);
      cell.fill = {65535, host::kPatternSolid};
      cell.comment = memhost::CommentData{"note " + std::to_string(row), row % 7 == 0};
      sheet.shapes.push_back(Rectangle("Rectangle " + std::to_string(row), "1,0", row));
    }
  }
  const WorkbookFile read = SaveAndLoad(file, data, "many.xlsx");
  testing::ExpectSameWorkbook(data, read.data());
  // The parts large enough to be deflated beside the archive are there, whole.
  const Package package = Package::Open(dir_ / "many.xlsx");
  std::size_t large = 0;
  for (const std::string& name : package.names()) large += package.Read(name).size() >= (64 << 10);
  EXPECT_GE(large, 6u);
}

}  // namespace
}  // namespace quorvane::xlsx
