// The styles part as other programs write it: the fills and number formats they declare read as
// the host reports them, and new cell formats appended without moving or changing any record a
// cell already refers to.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <algorithm>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/worksheet.h"
#include "memhost/model.h"
#include "outside_books.h"
#include "xlsx/styles.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {
namespace {

using quorvane::testing::MadeBook;
using quorvane::testing::ReadParts;
using quorvane::testing::SampleBooks;

constexpr int kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;  // R + 256 G + 65536 B
constexpr int kLightHorizontal = 11;

StyleTable StylesOf(const std::map<std::string, std::string>& parts) {
  const auto theme = parts.find("xl/theme/theme1.xml");
  const ThemeColors colors = theme == parts.end()
                                 ? DefaultThemeColors()
                                 : ParseTheme(theme->second, "book", "xl/theme/theme1.xml");
  return StyleTable::Parse(parts.at("xl/styles.xml"), "book", "xl/styles.xml", colors);
}

// What a cell of each format shows.
struct Shown {
  std::string number_format;
  memhost::Fill fill;
  bool other;
  friend bool operator==(const Shown&, const Shown&) = default;
  friend void PrintTo(const Shown& s, std::ostream* os) {
    *os << "{\"" << s.number_format << "\", fill " << s.fill.color << "/" << s.fill.pattern
        << (s.other ? ", other formatting}" : "}");
  }
};
std::vector<Shown> ShownByFormat(const StyleTable& styles) {
  std::vector<Shown> shown;
  for (int xf = 0; xf < styles.xf_count(); ++xf) {
    shown.push_back({styles.NumberFormat(xf), styles.FillOf(xf), styles.HasOtherFormatting(xf)});
  }
  return shown;
}

// The text of each child element of a section, and the section's count attribute.
struct Section {
  std::vector<std::string> records;
  std::optional<int> count;
};
Section SectionOf(const std::string& xml, const char* name) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(xml.c_str()));
  Section section;
  const pugi::xml_node node = Child(doc.document_element(), kNsMain, name);
  if (pugi::xml_attribute count = node.attribute("count")) section.count = count.as_int();
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element) section.records.push_back(NodeText(child));
  }
  return section;
}

// New formats on a few bases, patterned and solid, with a number format of its own or the base's:
// every record already there keeps its place and its text, the counts follow the records, the new
// formats read back as asked with the base's other formatting, and asking again adds nothing.
void ExpectNewFormatsKeepTheOldOnes(const std::map<std::string, std::string>& parts) {
  StyleTable styles = StylesOf(parts);
  const std::vector<Shown> before = ShownByFormat(styles);
  ASSERT_FALSE(before.empty());
  const std::string& old_xml = parts.at("xl/styles.xml");
  const int old_count = styles.xf_count();
  struct Asked {
    int base;
    memhost::Fill fill;
    std::string number_format;
    int answer;
  };
  std::vector<Asked> asked;
  for (const int base : {0, old_count / 2, old_count - 1}) {
    asked.push_back({base, {kGreen, host::kPatternSolid}, "0.0%", 0});
    asked.push_back({base, {kBlue, kLightHorizontal}, before[base].number_format, 0});
  }
  for (Asked& a : asked) {
    a.answer = styles.StyleFor(a.base, a.fill, a.number_format);
    EXPECT_GE(a.answer, 0);
  }
  ASSERT_TRUE(styles.changed());
  const std::string new_xml = styles.Serialize();
  for (const Asked& a : asked) {
    EXPECT_EQ(styles.StyleFor(a.base, a.fill, a.number_format), a.answer) << "asked again";
  }
  EXPECT_EQ(styles.Serialize(), new_xml) << "asking again added records";

  for (const char* name : {"numFmts", "fills", "cellXfs", "fonts", "borders"}) {
    SCOPED_TRACE(name);
    const Section old_section = SectionOf(old_xml, name), new_section = SectionOf(new_xml, name);
    ASSERT_GE(new_section.records.size(), old_section.records.size());
    for (std::size_t i = 0; i < old_section.records.size(); ++i) {
      EXPECT_EQ(new_section.records[i], old_section.records[i]) << "record " << i;
    }
    if (new_section.count || new_section.records.size() != old_section.records.size()) {
      EXPECT_EQ(new_section.count, static_cast<int>(new_section.records.size()));
    }
  }
  std::map<std::string, std::string> saved = parts;
  saved["xl/styles.xml"] = new_xml;
  const StyleTable reread = StylesOf(saved);
  const std::vector<Shown> after = ShownByFormat(reread);
  ASSERT_GE(after.size(), before.size());
  for (std::size_t xf = 0; xf < before.size(); ++xf) EXPECT_EQ(after[xf], before[xf]) << xf;
  for (const Asked& a : asked) {
    SCOPED_TRACE("base " + std::to_string(a.base));
    const Shown wanted{a.number_format, a.fill, before[a.base].other};
    EXPECT_EQ(after.at(a.answer), wanted);
    EXPECT_EQ(ShownByFormat(styles).at(a.answer), wanted) << "in memory";
  }
}

TEST(Styles, ReadsTheFillsAndNumberFormatsXlsxWriterDeclared) {
  std::string reason;
  const auto book = MadeBook("xlsxwriter", reason);
  if (!book) GTEST_SKIP() << reason;
  const StyleTable styles = StylesOf(ReadParts(*book));
  // The formats in the order the book first used them: red, #,##0.000, bold, striped,
  // yyyy-mm-dd, 0.00, and the link's blue underlined font.
  ASSERT_EQ(styles.xf_count(), 8);
  const std::vector<Shown> shown = ShownByFormat(styles);
  const memhost::Fill none;
  EXPECT_EQ(shown[0], (Shown{"General", none, false}));
  EXPECT_EQ(shown[1], (Shown{"General", {kRed, host::kPatternSolid}, false}));
  EXPECT_EQ(shown[2], (Shown{"#,##0.000", none, false}));
  EXPECT_EQ(shown[3], (Shown{"General", none, true}));
  // A patterned cell's colour is the one under the dots.
  EXPECT_EQ(shown[4], (Shown{"General", {kGreen, kLightHorizontal}, false}));
  EXPECT_EQ(shown[5], (Shown{"yyyy-mm-dd", none, false}));
  EXPECT_EQ(shown[6], (Shown{"0.00", none, false}));
  EXPECT_EQ(shown[7], (Shown{"General", none, true}));
}

TEST(Styles, AnIdenticalFormatIsReusedNotAdded) {
  std::string reason;
  const auto book = MadeBook("xlsxwriter", reason);
  if (!book) GTEST_SKIP() << reason;
  StyleTable styles = StylesOf(ReadParts(*book));
  // Plain plus red is XlsxWriter's format 1; plain with #,##0.000 its format 2.
  EXPECT_EQ(styles.StyleFor(0, {kRed, host::kPatternSolid}, "General"), 1);
  EXPECT_EQ(styles.StyleFor(0, {}, "#,##0.000"), 2);
  EXPECT_FALSE(styles.changed());
}

TEST(Styles, NewFormatsKeepEveryRecordOfAnXlsxWriterBook) {
  std::string reason;
  const auto book = MadeBook("xlsxwriter", reason);
  if (!book) GTEST_SKIP() << reason;
  ExpectNewFormatsKeepTheOldOnes(ReadParts(*book));
}

TEST(Styles, ReadsLibreOfficesFillAndNumberFormatAndKeepsItsRecords) {
  std::string reason;
  const auto book = MadeBook("libreoffice", reason);
  if (!book) GTEST_SKIP() << reason;
  const auto parts = ReadParts(*book);
  const std::vector<Shown> shown = ShownByFormat(StylesOf(parts));
  // LibreOffice gives every format, the plain one too, the same alignment and protection: a format
  // with only a fill or only a number format carries no other formatting.
  const auto has = [&](const Shown& wanted) {
    return std::find(shown.begin(), shown.end(), wanted) != shown.end();
  };
  EXPECT_TRUE(has({"General", {0x00FFFF, host::kPatternSolid}, false}));
  EXPECT_TRUE(has({"#,##0.000", {}, false}));
  ExpectNewFormatsKeepTheOldOnes(parts);
}

TEST(Styles, NewFormatsKeepEveryRecordOfTheSampleBooks) {
  const auto samples = SampleBooks();
  if (samples.empty()) GTEST_SKIP() << "r-cran-readxl and r-cran-openxlsx are not installed";
  for (const auto& sample : samples) {
    SCOPED_TRACE(sample.path.string() + " (" + sample.application + ")");
    const auto parts = ReadParts(sample.path);
    if (!parts.count("xl/styles.xml")) continue;
    ExpectNewFormatsKeepTheOldOnes(parts);
  }
}

}  // namespace
}  // namespace quorvane::xlsx
