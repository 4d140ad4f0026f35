// Untrusted workbooks are bounded: a part with too many elements and a string table with too many
// strings are refused with a message before their trees are built, and a load that reads only some
// sheets leaves the others unread in memory and byte for byte unchanged on saving.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "memhost/model.h"
#include "support/temp_folder.h"
#include "support/zip_parts.h"
#include "xlsx/error.h"
#include "xlsx/package.h"
#include "xlsx/relationships.h"
#include "xlsx/shared_strings.h"
#include "xlsx/workbook_file.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {
namespace {

namespace fs = std::filesystem;

class BoundedLoad : public quorvane::testing::TempFolderTest {
 protected:
  BoundedLoad() : TempFolderTest("quorvane_bounded") {}
  void SetUp() override {
    TempFolderTest::SetUp();
    const WorkbookFile file = WorkbookFile::New("Book.xlsx", {"Lists", "Archive"});
    memhost::WorkbookData data = file.data();
    for (int r = 1; r <= 50; ++r) {
      data.sheets[0].At(r, 1).value = host::Value::Number(r);
      data.sheets[1].At(r, 1).value = host::Value::Number(1000 + r);
    }
    data.sheets[1].At(1, 2).comment = memhost::CommentData{"archived", false};
    book_ = dir_ / "book.xlsx";
    SaveWorkbooks({{&file, &data, book_}});
  }

  // The workbook with some parts replaced or added, every part stored without compression (so
  // that the limit met is the one on the parts' contents, not the one on the compression ratio).
  fs::path Variant(const char* name, const std::map<std::string, std::string>& changes) {
    const Package original = Package::Open(book_);
    std::map<std::string, std::string> parts = changes;
    for (const std::string& part : original.names()) parts.emplace(part, original.Read(part));
    const fs::path path = dir_ / name;
    quorvane::testing::WriteZip(path, parts, /*stored=*/true);
    return path;
  }

  static void ExpectRefused(const fs::path& path, const std::string& problem) {
    try {
      WorkbookFile::Load(path);
      ADD_FAILURE() << path << " was loaded";
    } catch (const FileError& e) {
      EXPECT_NE(std::string(e.what()).find(problem), std::string::npos) << e.what();
    }
  }

  fs::path book_;
};

TEST_F(BoundedLoad, TooManyElementsOrStringsAreRefusedWithAMessage) {
  std::string sheet =
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
  sheet.reserve(kMaxPartElements * 4 + 200);
  for (std::size_t i = 0; i <= kMaxPartElements; ++i) sheet += "<a/>";
  sheet += "</sheetData></worksheet>";
  ExpectRefused(Variant("elements.xlsx", {{"xl/worksheets/sheet1.xml", sheet}}),
                "xl/worksheets/sheet1.xml holds more than 8000000 XML elements");

  std::string strings = "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
  for (std::size_t i = 0; i <= kMaxSharedStrings; ++i) strings += "<si/>";
  strings += "</sst>";
  Relationships rels = Relationships::Parse(
      "xl/workbook.xml", Package::Open(book_).Read("xl/_rels/workbook.xml.rels"), "book");
  rels.Add(kRelSharedStrings, "xl/sharedStrings.xml");
  ExpectRefused(Variant("strings.xlsx", {{"xl/sharedStrings.xml", strings},
                                         {"xl/_rels/workbook.xml.rels", rels.Serialize()}}),
                "more than 2000000 shared strings");
}

// Rich text nested 400,000 runs deep, in a cell's inline string and in a note: the
// readers of rich text walk the tree, so such a part is refused before they see it rather than
// let them run out of stack.
TEST_F(BoundedLoad, ElementsNestedTooDeepAreRefusedWithAMessage) {
  constexpr int kDepth = 400'000;
  std::string runs;
  for (int i = 0; i < kDepth; ++i) runs += "<r>";
  runs += "<t>x</t>";
  for (int i = 0; i < kDepth; ++i) runs += "</r>";
  const std::string sheet =
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
      "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is>" +
      runs + "</is></c></row></sheetData></worksheet>";
  ExpectRefused(Variant("deep_sheet.xlsx", {{"xl/worksheets/sheet1.xml", sheet}}),
                "xl/worksheets/sheet1.xml nests its elements more than 256 deep");

  const Package original = Package::Open(book_);
  std::string comments;
  for (const std::string& part : original.names()) {
    if (part.rfind("xl/comments", 0) == 0) comments = part;
  }
  ASSERT_FALSE(comments.empty());
  const std::string deep_note =
      "<comments xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><authors>"
      "<author>a</author></authors><commentList><comment ref=\"B1\" authorId=\"0\"><text>" +
      runs + "</text></comment></commentList></comments>";
  ExpectRefused(Variant("deep_note.xlsx", {{comments, deep_note}}),
                comments + " nests its elements more than 256 deep");

  // A sheet nested as deep as a part may be is read.
  std::string allowed;
  for (int i = 0; i < 250; ++i) allowed += "<r>";
  allowed += "<t>x</t>";
  for (int i = 0; i < 250; ++i) allowed += "</r>";
  const memhost::WorkbookData read =
      WorkbookFile::Load(
          Variant("nested.xlsx", {{"xl/worksheets/sheet1.xml",
                                   "<worksheet xmlns=\"http://schemas.openxmlformats"
                                   ".org/spreadsheetml/2006/main\"><sheetData><row "
                                   "r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is>" +
                                       allowed + "</is></c></row></sheetData></worksheet>"}}))
          .data();
  ASSERT_NE(read.sheets[0].Find(1, 1), nullptr);
  EXPECT_EQ(read.sheets[0].Find(1, 1)->value, host::Value::Text("x"));
}

// Long runs of blanks where a note's VML allows them: a broken line break that needs the lenient
// repair, and a long style before the visibility the save rewrites. Both are read and saved.
// A deflated part whose bytes do not agree with its headers: its data damaged, its checksum
// wrong, or its size declared too small or too large (in both the local and the central header,
// so that the archive itself opens).
TEST_F(BoundedLoad, DamagedDeflatedPartsAreRefusedWithAMessage) {
  std::string original;
  {
    std::ifstream in(book_, std::ios::binary);
    original.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::string part = "xl/worksheets/sheet1.xml";
  auto header = [&](const std::string& signature, std::size_t name_at) {
    for (std::size_t at = original.find(signature); at != std::string::npos;
         at = original.find(signature, at + 1)) {
      if (original.compare(at + name_at, part.size(), part) == 0) return at;
    }
    ADD_FAILURE() << "no header for " << part;
    return std::size_t{0};
  };
  const std::size_t local = header(std::string("PK\x03\x04", 4), 30);
  const std::size_t central = header(std::string("PK\x01\x02", 4), 46);
  ASSERT_EQ(original[local + 8], 8) << "the part is not deflated";
  auto u32 = [](const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  auto put32 = [](std::string& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  // Field offsets: checksum, then the uncompressed size, in each header.
  auto variant = [&](const char* name, auto change) {
    std::string bytes = original;
    change(bytes);
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  };
  const std::uint32_t size = u32(original, local + 22);
  const std::size_t data_at = local + 30 + part.size() +
                              static_cast<unsigned char>(original[local + 28]) +
                              256u * static_cast<unsigned char>(original[local + 29]);
  const std::vector<fs::path> damaged = {
      variant("data.xlsx", [&](std::string& b) { b[data_at] = '\xFF'; }),
      variant("checksum.xlsx",
              [&](std::string& b) {
                put32(b, local + 14, u32(b, local + 14) ^ 1);
                put32(b, central + 16, u32(b, central + 16) ^ 1);
              }),
      variant("smaller.xlsx",
              [&](std::string& b) {
                put32(b, local + 22, size - 1);
                put32(b, central + 24, size - 1);
              }),
      variant("larger.xlsx", [&](std::string& b) {
        put32(b, local + 22, size + 1);
        put32(b, central + 24, size + 1);
      })};
  for (const fs::path& path : damaged) {
    SCOPED_TRACE(path.filename().string());
    ExpectRefused(path, path.string() + ": the part " + part + " is damaged or truncated");
  }
}

TEST_F(BoundedLoad, LongBlankRunsInTheNotesVmlAreReadAndSaved) {
  const Package original = Package::Open(book_);
  std::string vml_part;
  for (const std::string& name : original.names()) {
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".vml") == 0) vml_part = name;
  }
  ASSERT_FALSE(vml_part.empty());
  const std::string vml = original.Read(vml_part);
  const std::string blanks(200'000, ' ');

  // An unclosed <br ...> makes the part ill-formed; the repair closes it.
  std::string broken = vml;
  broken.insert(broken.rfind("</"), "<br" + blanks + ">");
  const WorkbookFile repaired = WorkbookFile::Load(Variant("br.xlsx", {{vml_part, broken}}));
  ASSERT_NE(repaired.data().sheets[1].Find(1, 2), nullptr);
  EXPECT_EQ(repaired.data().sheets[1].Find(1, 2)->comment->text, "archived");

  // The note is shown by the save, so its style's visibility is rewritten.
  std::string styled = vml;
  const std::size_t hidden = styled.find("visibility:hidden");
  ASSERT_NE(hidden, std::string::npos);
  styled.insert(hidden, blanks);
  const WorkbookFile file = WorkbookFile::Load(Variant("style.xlsx", {{vml_part, styled}}));
  ASSERT_FALSE(file.data().sheets[1].Find(1, 2)->comment->visible);
  memhost::WorkbookData data = file.data();
  data.sheets[1].At(1, 2).comment->visible = true;
  const fs::path out = dir_ / "shown.xlsx";
  SaveWorkbooks({{&file, &data, out}});
  const WorkbookFile shown = WorkbookFile::Load(out);
  EXPECT_TRUE(shown.data().sheets[1].Find(1, 2)->comment->visible);
  const std::string saved = Package::Open(out).Read(vml_part);
  EXPECT_EQ(saved.find("visibility"), std::string::npos) << saved.substr(0, 2000);
}

// Some writers name a shared-strings part they never wrote; with no cell using it the workbook is
// read (the spreadsheet application opens it) and saved back.
TEST_F(BoundedLoad, AnAbsentSharedStringsPartThatNoCellUsesIsRead) {
  Relationships rels = Relationships::Parse(
      "xl/workbook.xml", Package::Open(book_).Read("xl/_rels/workbook.xml.rels"), "book");
  rels.Add(kRelSharedStrings, "xl/sharedStrings.xml");
  const fs::path path =
      Variant("nostrings.xlsx", {{"xl/_rels/workbook.xml.rels", rels.Serialize()}});
  ASSERT_FALSE(Package::Open(path).Has("xl/sharedStrings.xml"));
  const WorkbookFile file = WorkbookFile::Load(path);
  EXPECT_EQ(file.data().sheets[0].Find(50, 1)->value, host::Value::Number(50));
  memhost::WorkbookData data = file.data();
  data.sheets[0].At(1, 2).value = host::Value::Text("added");
  const fs::path out = dir_ / "out.xlsx";
  SaveWorkbooks({{&file, &data, out}});
  EXPECT_EQ(WorkbookFile::Load(out).data().sheets[0].Find(1, 2)->value, host::Value::Text("added"));
}

TEST_F(BoundedLoad, SheetsLeftOutAreNotReadAndAreSavedUnchanged) {
  const WorkbookFile file = WorkbookFile::Load(
      book_, [](const std::string& name, std::size_t) { return name == "Lists"; });
  ASSERT_EQ(file.data().sheets.size(), 2u);
  EXPECT_EQ(file.data().sheets[0].cells.size(), 50u);
  EXPECT_EQ(file.data().sheets[1].name, "Archive");
  EXPECT_TRUE(file.data().sheets[1].cells.empty());

  memhost::WorkbookData data = file.data();
  data.sheets[0].At(2, 1).fill = {6745634, host::kPatternSolid};
  data.sheets[0].At(2, 1).comment = memhost::CommentData{"<<<x>>>", false};
  const fs::path out = dir_ / "out.xlsx";
  SaveWorkbooks({{&file, &data, out}});
  const Package before = Package::Open(book_), after = Package::Open(out);
  for (const char* part : {"xl/worksheets/sheet2.xml", "xl/worksheets/_rels/sheet2.xml.rels"}) {
    if (before.Has(part)) {
      EXPECT_EQ(after.Read(part), before.Read(part)) << part;
    }
  }
  const WorkbookFile again = WorkbookFile::Load(out);
  EXPECT_EQ(again.data().sheets[1].cells.size(), 51u);  // 50 values and the note
  EXPECT_EQ(again.data().sheets[0].Find(2, 1)->comment->text, "<<<x>>>");

  // A change to a sheet that was not read is refused rather than saved over what it holds.
  data.sheets[1].At(1, 1).value = host::Value::Number(1);
  EXPECT_THROW(SaveWorkbooks({{&file, &data, dir_ / "refused.xlsx"}}), FileError);
  EXPECT_FALSE(fs::exists(dir_ / "refused.xlsx"));
}

}  // namespace
}  // namespace quorvane::xlsx
