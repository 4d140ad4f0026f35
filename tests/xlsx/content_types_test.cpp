// Content-type parts as other programs write them: every part of the package has its type, by its
// own override or its extension's default, and overrides added for new parts or removed with them
// leave every other entry as it was.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "outside_books.h"
#include "xlsx/content_types.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {
namespace {

namespace fs = std::filesystem;
using quorvane::testing::CheckMadeBook;
using quorvane::testing::CheckSampleBooks;
using quorvane::testing::MadeBook;
using quorvane::testing::ReadParts;
using quorvane::testing::SampleBooks;

// The entries of a content-type part as text, in order.
std::vector<std::string> Entries(const std::string& xml) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(xml.c_str()));
  std::vector<std::string> entries;
  for (pugi::xml_node n = doc.document_element().first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_element) entries.push_back(NodeText(n));
  }
  return entries;
}

// Checks a book's content types: every part has a type; overrides for a new comments part and a
// new drawing, and a default for VML, are added without losing or changing an entry, and the types
// of the other parts stay as they were; removing the overrides again leaves the entries as before.
void ExpectContentTypesHold(const fs::path& book) {
  const auto parts = ReadParts(book);
  const std::string& xml = parts.at(kContentTypesPart);
  ContentTypes types = ContentTypes::Parse(xml, book.filename().string());
  std::map<std::string, std::string> before;
  for (const auto& [name, bytes] : parts) {
    if (name == kContentTypesPart) continue;
    before[name] = types.TypeOf(name);
    EXPECT_FALSE(before[name].empty()) << name << " has no content type";
  }
  EXPECT_EQ(types.TypeOf(parts.begin()->first), types.TypeOf("/" + parts.begin()->first));

  const bool had_vml = types.TypeOf("xl/drawings/x.vml") == kTypeVml;
  types.SetOverride("xl/comments91.xml", kTypeComments);
  types.SetOverride("/xl/drawings/drawing91.xml", kTypeDrawing);
  types.EnsureDefault("vml", kTypeVml);
  EXPECT_TRUE(types.changed());
  const std::string added_xml = types.Serialize();
  const ContentTypes added = ContentTypes::Parse(added_xml, "saved");
  for (const auto& [name, type] : before) EXPECT_EQ(added.TypeOf(name), type) << name;
  EXPECT_EQ(added.TypeOf("/xl/comments91.xml"), kTypeComments);
  EXPECT_EQ(added.TypeOf("xl/drawings/drawing91.xml"), kTypeDrawing);
  EXPECT_EQ(added.TypeOf("xl/drawings/vmlDrawing91.vml"), kTypeVml);
  const std::vector<std::string> old_entries = Entries(xml), new_entries = Entries(added_xml);
  EXPECT_EQ(new_entries.size(), old_entries.size() + (had_vml ? 2 : 3));
  for (const std::string& entry : old_entries) {
    EXPECT_NE(std::find(new_entries.begin(), new_entries.end(), entry), new_entries.end())
        << entry << " is lost";
  }

  // Asking again changes nothing; removing the overrides leaves the rest.
  ContentTypes again = ContentTypes::Parse(added_xml, "saved");
  again.SetOverride("xl/comments91.xml", kTypeComments);
  again.EnsureDefault("VML", kTypeVml);
  EXPECT_FALSE(again.changed());
  again.RemoveOverride("xl/comments91.xml");
  again.RemoveOverride("xl/drawings/drawing91.xml");
  EXPECT_EQ(Entries(again.Serialize()).size(), old_entries.size() + (had_vml ? 0 : 1));
  for (const auto& [name, type] : before) EXPECT_EQ(again.TypeOf(name), type) << name;
}

TEST(ContentTypes, XlsxWritersTypeEveryPartAndTakeNewOverrides) {
  CheckMadeBook("xlsxwriter", ExpectContentTypesHold);
}

TEST(ContentTypes, LibreOfficesTypeEveryPartAndTakeNewOverrides) {
  CheckMadeBook("libreoffice", ExpectContentTypesHold);
}

TEST(ContentTypes, TheSampleBooksTypeEveryPartAndTakeNewOverrides) {
  CheckSampleBooks(ExpectContentTypesHold);
}

}  // namespace
}  // namespace quorvane::xlsx
