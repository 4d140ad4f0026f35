// Notes as other programs write them: the comments part and the VML part of their boxes, read
// into the model, and edited so that every note the edit does not touch keeps its text as it was.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "memhost/model.h"
#include "outside_books.h"
#include "support/temp_folder.h"
#include "xlsx/cell_ref.h"
#include "xlsx/comments.h"
#include "xlsx/workbook_file.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {
namespace {

namespace fs = std::filesystem;
using quorvane::testing::MadeBook;
using quorvane::testing::ReadParts;
using quorvane::testing::Sample;
using Notes = std::map<memhost::CellKey, memhost::CommentData>;

// A sheet's comments and VML parts, parsed.
struct NoteParts {
  pugi::xml_document comments, vml;
  NoteParts(const std::string& comments_xml, const std::string& vml_xml) {
    ParsePart(comments, comments_xml, "book", "comments.xml");
    ParseVml(vml, vml_xml, "book", "drawing.vml");
  }
  Notes Load() const { return LoadComments(comments, &vml); }
};

// Each comment element's cell and text, in the part's order.
std::vector<std::pair<memhost::CellKey, std::string>> CommentsByCell(
    const pugi::xml_document& comments) {
  std::vector<std::pair<memhost::CellKey, std::string>> records;
  ForChildren(Child(comments.document_element(), kNsMain, "commentList"), kNsMain, "comment",
              [&](pugi::xml_node c) {
                records.emplace_back(ParseCellRef(c.attribute("ref").value()), NodeText(c));
              });
  return records;
}

std::vector<std::string> Texts(const pugi::xml_document& doc, std::string_view local) {
  std::vector<std::string> texts;
  ForChildren(Descendant(doc.document_element(), kNsMain, "authors"), kNsMain, local,
              [&](pugi::xml_node n) { texts.push_back(n.text().get()); });
  return texts;
}

std::set<std::string> ShapeIds(const pugi::xml_document& vml) {
  std::set<std::string> ids;
  int shapes = 0;
  for (pugi::xml_node n = vml.document_element().first_child(); n; n = n.next_sibling()) {
    if (!Is(n, kNsV, "shape")) continue;
    ++shapes;
    ids.insert(n.attribute("id").value());
  }
  EXPECT_EQ(static_cast<int>(ids.size()), shapes) << "shape ids repeat";
  return ids;
}

// Adds a note far from the others and removes `removed` (if any): the notes read back are the ones
// asked for; every comment and shape left from before keeps its text, in its place; the authors
// before stay where they were; the shape ids stay unique.
void ExpectEditKeepsTheRest(const std::string& comments_xml, const std::string& vml_xml,
                            const std::vector<memhost::CellKey>& removed = {}) {
  NoteParts parts(comments_xml, vml_xml);
  const Notes before = parts.Load();
  ASSERT_FALSE(before.empty());
  Notes after = before;
  for (const memhost::CellKey& key : removed) after.erase(key);
  after[{50, 10}] = {"Checked: 2 here, 1 there", true};
  const auto old_comments = CommentsByCell(parts.comments);
  const std::vector<std::string> old_authors = Texts(parts.comments, "author");
  std::map<memhost::CellKey, std::string> old_shapes;
  for (const auto& [key, note] : before) old_shapes[key] = "";
  for (pugi::xml_node n = parts.vml.document_element().first_child(); n; n = n.next_sibling()) {
    if (!Is(n, kNsV, "shape")) continue;
    const pugi::xml_node data = Child(n, kNsX, "ClientData");
    const memhost::CellKey key{std::stoi(Child(data, kNsX, "Row").text().get()) + 1,
                               std::stoi(Child(data, kNsX, "Column").text().get()) + 1};
    old_shapes[key] = NodeText(n);
  }

  NewElements new_comments, new_shapes;
  const memhost::SheetData sheet;
  EXPECT_EQ(
      UpdateComments(parts.comments, parts.vml, before, after, sheet, new_comments, new_shapes),
      after.size());
  NoteParts saved(Serialize(parts.comments, new_comments), Serialize(parts.vml, new_shapes));
  EXPECT_EQ(saved.Load(), after);

  // The comments left keep their elements as they were, in their order, and the new one follows.
  std::vector<std::pair<memhost::CellKey, std::string>> kept;
  for (const auto& [key, text] : old_comments) {
    if (after.count(key)) kept.emplace_back(key, text);
  }
  const auto new_comments_read = CommentsByCell(saved.comments);
  ASSERT_EQ(new_comments_read.size(), kept.size() + 1);
  for (std::size_t k = 0; k < kept.size(); ++k) EXPECT_EQ(new_comments_read[k], kept[k]);
  EXPECT_EQ(new_comments_read.back().first, (memhost::CellKey{50, 10}));
  // The authors before keep their numbers; the new note's author comes after them.
  const std::vector<std::string> authors = Texts(saved.comments, "author");
  ASSERT_GE(authors.size(), old_authors.size());
  EXPECT_TRUE(std::equal(old_authors.begin(), old_authors.end(), authors.begin()));

  // The shapes left are as they were; the new one sits on its cell.
  ShapeIds(saved.vml);
  for (pugi::xml_node n = saved.vml.document_element().first_child(); n; n = n.next_sibling()) {
    if (!Is(n, kNsV, "shape")) continue;
    const pugi::xml_node data = Child(n, kNsX, "ClientData");
    const memhost::CellKey key{std::stoi(Child(data, kNsX, "Row").text().get()) + 1,
                               std::stoi(Child(data, kNsX, "Column").text().get()) + 1};
    if (key == memhost::CellKey{50, 10}) continue;
    ASSERT_TRUE(after.count(key)) << "a shape is left for a removed note";
    EXPECT_EQ(NodeText(n), old_shapes[key]);
  }
}

TEST(Comments, ReadsXlsxWriterNotesWithTheirAuthorsAndVisibility) {
  std::string reason;
  const auto book = MadeBook("xlsxwriter", reason);
  if (!book) GTEST_SKIP() << reason;
  const auto parts = ReadParts(*book);
  const NoteParts notes(parts.at("xl/comments1.xml"), parts.at("xl/drawings/vmlDrawing1.vml"));
  const Notes expected = {{{1, 1}, {"Checked by Ann", false}},
                          {{3, 2}, {"Two lines:\nsecond", true}},
                          {{5, 4}, {"On a blank cell", false}}};
  EXPECT_EQ(notes.Load(), expected);
  EXPECT_EQ(Texts(notes.comments, "author"),
            (std::vector<std::string>{"Ann Example", "Bob Example"}));
}

TEST(Comments, EditingXlsxWriterNotesKeepsTheRest) {
  std::string reason;
  const auto book = MadeBook("xlsxwriter", reason);
  if (!book) GTEST_SKIP() << reason;
  const auto parts = ReadParts(*book);
  const std::string& comments = parts.at("xl/comments1.xml");
  const std::string& vml = parts.at("xl/drawings/vmlDrawing1.vml");
  ExpectEditKeepsTheRest(comments, vml);
  ExpectEditKeepsTheRest(comments, vml, {{3, 2}});
}

TEST(Comments, ReadsAndEditsLibreOfficesRichTextNote) {
  std::string reason;
  const auto book = MadeBook("libreoffice", reason);
  if (!book) GTEST_SKIP() << reason;
  const auto parts = ReadParts(*book);
  const NoteParts notes(parts.at("xl/comments1.xml"), parts.at("xl/drawings/vmlDrawing1.vml"));
  const Notes expected = {{{2, 1}, {"A note from Carla", false}}};
  EXPECT_EQ(notes.Load(), expected);
  EXPECT_EQ(Texts(notes.comments, "author"), std::vector<std::string>{"Carla Example"});
  ExpectEditKeepsTheRest(parts.at("xl/comments1.xml"), parts.at("xl/drawings/vmlDrawing1.vml"));
}

// Excel keeps a threaded comment's legacy note beside it, with a text of its own.
class ExcelNotes : public quorvane::testing::TempFolderTest {
 protected:
  ExcelNotes() : TempFolderTest("quorvane_excel_notes") {}
};

TEST_F(ExcelNotes, ReadsAThreadedCommentsNoteAndEditsAroundIt) {
  std::string reason;
  const auto book = Sample("openxlsx/loadThreadComment.xlsx", reason);
  if (!book) GTEST_SKIP() << reason;
  const auto parts = ReadParts(*book);
  const NoteParts notes(parts.at("xl/comments1.xml"), parts.at("xl/drawings/vmlDrawing1.vml"));
  const Notes read = notes.Load();
  ASSERT_EQ(read.size(), 1u);
  const auto& [key, note] = *read.begin();
  EXPECT_EQ(key, (memhost::CellKey{1, 1}));
  EXPECT_FALSE(note.visible);
  EXPECT_EQ(note.text.rfind("[Threaded comment]", 0), 0u) << note.text;
  EXPECT_NE(note.text.find("Comment:\n    New comment"), std::string::npos) << note.text;
  ExpectEditKeepsTheRest(parts.at("xl/comments1.xml"), parts.at("xl/drawings/vmlDrawing1.vml"));
}

TEST_F(ExcelNotes, ASaveChangesOnlyTheNotesParts) {
  std::string reason;
  const auto book = Sample("openxlsx/loadThreadComment.xlsx", reason);
  if (!book) GTEST_SKIP() << reason;
  const auto before = ReadParts(*book);
  const WorkbookFile file = WorkbookFile::Load(*book);
  memhost::WorkbookData data = file.data();
  const memhost::CommentData threaded = *data.sheets[0].Find(1, 1)->comment;
  // The cell is known to hold a thread, so that nothing writes its note.
  EXPECT_TRUE(data.sheets[0].Find(1, 1)->threaded_comment);
  EXPECT_FALSE(data.sheets[0].Find(3, 3) && data.sheets[0].Find(3, 3)->threaded_comment);
  data.sheets[0].At(3, 3).comment = memhost::CommentData{"A note of ours", false};
  const fs::path saved = dir_ / "saved.xlsx";
  std::ofstream(saved, std::ios::binary) << file.Serialize(data);

  const auto after = ReadParts(saved);
  std::set<std::string> changed;
  for (const auto& [name, bytes] : before) {
    ASSERT_TRUE(after.count(name)) << name << " is gone";
    if (after.at(name) != bytes) changed.insert(name);
  }
  EXPECT_EQ(after.size(), before.size());
  // The threaded comment, its person list, the sheet and its relationships are kept as they were.
  EXPECT_EQ(changed, (std::set<std::string>{"xl/comments1.xml", "xl/drawings/vmlDrawing1.vml"}));
  const WorkbookFile reread = WorkbookFile::Load(saved);
  const memhost::SheetData& sheet = reread.data().sheets[0];
  ASSERT_TRUE(sheet.Find(1, 1) && sheet.Find(3, 3));
  EXPECT_EQ(sheet.Find(1, 1)->comment, threaded);
  EXPECT_TRUE(sheet.Find(1, 1)->threaded_comment);
  EXPECT_EQ(sheet.Find(3, 3)->comment, (memhost::CommentData{"A note of ours", false}));
}

}  // namespace
}  // namespace quorvane::xlsx
