// Relationship parts as other programs write them (relative targets, absolute ones, external
// links): every target resolves to a part of the package, and relationships added or removed leave
// the others as they were, with ids that stay unique.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "outside_books.h"
#include "xlsx/relationships.h"

namespace quorvane::xlsx {
namespace {

namespace fs = std::filesystem;
using quorvane::testing::MadeBook;
using quorvane::testing::ReadParts;
using quorvane::testing::SampleBooks;

// The part whose relationships a .rels part holds: "xl/_rels/workbook.xml.rels" ->
// "xl/workbook.xml", "_rels/.rels" -> "" (the package).
std::string SourceOf(const std::string& rels_part) {
  const auto at = rels_part.rfind("_rels/");
  const std::string name = rels_part.substr(at + 6, rels_part.size() - at - 6 - 5);
  return rels_part.substr(0, at) + name;
}

bool IsRelsPart(const std::string& name) {
  return name.size() > 5 && name.compare(name.size() - 5, 5, ".rels") == 0 &&
         name.find("_rels/") != std::string::npos;
}

// Checks every relationship part of a book: each internal target resolves to a part name (no
// "..", no leading slash) that the book holds unless `trimmed`, ids are unique; adding two
// relationships gives new unique ids whose targets resolve to the parts added; removing one keeps
// the rest in order; and the part written reads back the same.
void ExpectRelationshipsHold(const fs::path& book, bool trimmed = false) {
  const auto parts = ReadParts(book);
  int checked = 0;
  for (const auto& [name, xml] : parts) {
    if (!IsRelsPart(name)) continue;
    SCOPED_TRACE(name);
    ++checked;
    const std::string source = SourceOf(name);
    EXPECT_EQ(Relationships::RelsPartOf(source), name);
    Relationships rels = Relationships::Parse(source, xml, book.filename().string());
    const std::vector<Relationship> before = rels.items();
    std::set<std::string> ids;
    for (const Relationship& rel : before) {
      EXPECT_TRUE(ids.insert(rel.id).second) << "the id " << rel.id << " repeats";
      if (rel.external) continue;
      const std::string part = rels.PartOf(rel);
      EXPECT_TRUE(!part.empty() && part[0] != '/' && part.find("..") == std::string::npos) << part;
      EXPECT_TRUE(trimmed || parts.count(part))
          << rel.target << " resolves to " << rels.PartOf(rel) << ", which the book lacks";
    }

    const std::string folder = source.substr(0, source.rfind('/') + 1);
    const std::string comments = "xl/comments91.xml", drawing = folder + "drawings/drawing91.xml";
    const std::string comments_id = rels.Add(kRelComments, comments);
    const std::string drawing_id = rels.Add(kRelDrawing, drawing);
    EXPECT_TRUE(rels.changed());
    EXPECT_FALSE(ids.count(comments_id)) << comments_id;
    EXPECT_FALSE(ids.count(drawing_id)) << drawing_id;
    EXPECT_NE(comments_id, drawing_id);
    if (!before.empty()) rels.Remove(before.front().id);

    const Relationships reread = Relationships::Parse(source, rels.Serialize(), "saved");
    std::vector<Relationship> expected(before.begin() + (before.empty() ? 0 : 1), before.end());
    ASSERT_EQ(reread.items().size(), expected.size() + 2);
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const Relationship& got = reread.items()[i];
      EXPECT_EQ(got.id, expected[i].id);
      EXPECT_EQ(got.type, expected[i].type);
      EXPECT_EQ(got.target, expected[i].target);
      EXPECT_EQ(got.external, expected[i].external);
    }
    const Relationship* added = reread.FindId(comments_id);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->type, kRelComments);
    EXPECT_EQ(reread.PartOf(*added), comments);
    ASSERT_TRUE(reread.FindId(drawing_id));
    EXPECT_EQ(reread.PartOf(*reread.FindId(drawing_id)), drawing);
  }
  EXPECT_GT(checked, 1) << "no relationship parts";
}

TEST(Relationships, XlsxWritersResolveAndTakeNewOnes) {
  std::string reason;
  const auto book = MadeBook("xlsxwriter", reason);
  if (!book) GTEST_SKIP() << reason;
  ExpectRelationshipsHold(*book);
  // The notes sheet's link leads outside the package, and is written back as it was read.
  const std::string part = "xl/worksheets/sheet2.xml";
  const Relationships rels =
      Relationships::Parse(part, ReadParts(*book).at(Relationships::RelsPartOf(part)), "book");
  Relationships edited = rels;
  edited.Add(kRelDrawing, "xl/drawings/drawing9.xml");
  const Relationships reread = Relationships::Parse(part, edited.Serialize(), "saved");
  int links = 0;
  for (const Relationship& rel : rels.items()) {
    if (!rel.external) continue;
    ++links;
    EXPECT_EQ(rel.target, "https://example.com/?a=1&b=%3c2%3e");  // as XlsxWriter encodes it
    const Relationship* again = reread.FindId(rel.id);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->external);
    EXPECT_EQ(again->target, rel.target);
  }
  EXPECT_EQ(links, 1);
}

TEST(Relationships, LibreOfficesResolveAndTakeNewOnes) {
  std::string reason;
  const auto book = MadeBook("libreoffice", reason);
  if (!book) GTEST_SKIP() << reason;
  ExpectRelationshipsHold(*book);
}

TEST(Relationships, TheSampleBooksResolveAndTakeNewOnes) {
  const auto samples = SampleBooks();
  if (samples.empty()) GTEST_SKIP() << "r-cran-readxl and r-cran-openxlsx are not installed";
  // These were cut down to their sheets after Excel wrote them: their relationships still name
  // the drawings, notes and strings that were taken out.
  const std::set<std::string> trimmed = {"cloneEmptyWorksheetExample.xlsx",
                                         "cloneWorksheetExample.xlsx", "datasets.xlsx"};
  for (const auto& sample : samples) {
    SCOPED_TRACE(sample.path.string() + " (" + sample.application + ")");
    ExpectRelationshipsHold(sample.path, trimmed.count(sample.path.filename().string()) != 0);
  }
}

TEST(Relationships, TargetsResolveFromTheirSourcesFolder) {
  // As LibreOffice writes a sheet's notes, as openpyxl writes them, and as a package's root does.
  EXPECT_EQ(Relationships::ResolveTarget("xl/worksheets/sheet1.xml", "../comments1.xml"),
            "xl/comments1.xml");
  EXPECT_EQ(Relationships::ResolveTarget("xl/worksheets/sheet1.xml", "/xl/comments/comment1.xml"),
            "xl/comments/comment1.xml");
  EXPECT_EQ(Relationships::ResolveTarget("", "xl/workbook.xml"), "xl/workbook.xml");
  EXPECT_EQ(Relationships::ResolveTarget("xl/workbook.xml", "./worksheets/sheet2.xml"),
            "xl/worksheets/sheet2.xml");
  for (const char* part : {"xl/comments1.xml", "xl/drawings/vmlDrawing3.vml",
                           "xl/worksheets/sheet9.xml", "docProps/app.xml"}) {
    EXPECT_EQ(Relationships::ResolveTarget(
                  "xl/worksheets/sheet1.xml",
                  Relationships::RelativeTarget("xl/worksheets/sheet1.xml", part)),
              part);
  }
}

}  // namespace
}  // namespace quorvane::xlsx
