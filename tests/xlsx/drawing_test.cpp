// Drawing parts as other programs write them: charts, pictures, text boxes and rectangles read with
// their names and anchors, and new rectangles added with ids of their own while every anchor
// already there keeps its text.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "memhost/geometry.h"
#include "memhost/model.h"
#include "outside_books.h"
#include "support/temp_folder.h"
#include "xlsx/drawing.h"
#include "xlsx/workbook_file.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {
namespace {

namespace fs = std::filesystem;
using quorvane::testing::MadeBook;
using quorvane::testing::ReadParts;
using quorvane::testing::SampleBooks;

constexpr double kEmuPerPoint = 12700;
constexpr int kRectangle = 1, kChart = 3, kPicture = 13;

const memhost::SheetData* SheetNamed(const memhost::WorkbookData& data, const std::string& name) {
  for (const memhost::SheetData& sheet : data.sheets) {
    if (sheet.name == name) return &sheet;
  }
  return nullptr;
}

// The anchors of a drawing as text, and the drawing ids of its objects.
std::vector<std::string> Anchors(const pugi::xml_document& drawing) {
  std::vector<std::string> anchors;
  for (pugi::xml_node n = drawing.document_element().first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_element) anchors.push_back(NodeText(n));
  }
  return anchors;
}

std::vector<int> DrawingIds(const pugi::xml_document& drawing) {
  std::vector<int> ids;
  struct Walker : pugi::xml_tree_walker {
    std::vector<int>* ids;
    bool for_each(pugi::xml_node& node) override {
      if (node.type() == pugi::node_element && LocalName(node.name()) == "cNvPr") {
        ids->push_back(node.attribute("id").as_int());
      }
      return true;
    }
  } walker;
  walker.ids = &ids;
  drawing.document_element().traverse(walker);
  return ids;
}

memhost::ShapeData Rectangle(const std::string& name) {
  memhost::ShapeData shape;
  shape.name = name;
  shape.left = 96;
  shape.top = 45;
  shape.width = 18;
  shape.height = 8;
  shape.text = "2/1";
  return shape;
}

// Adds two rectangles to a drawing: the anchors before keep their text and order, the new ones
// follow as one-cell anchors, every drawing id of the objects written is unique (ids a writer
// repeated or left at 0 aside), and the shapes read back are the old ones and the new ones.
void ExpectAddingKeepsTheRest(const std::string& xml) {
  pugi::xml_document drawing;
  ParsePart(drawing, xml, "book", "drawing.xml");
  const memhost::SheetData sheet;
  const std::vector<memhost::ShapeData> before = LoadShapes(drawing, sheet);
  const std::vector<std::string> old_anchors = Anchors(drawing);
  const std::vector<int> old_ids = DrawingIds(drawing);
  std::vector<memhost::ShapeData> after = before;
  after.push_back(Rectangle("Quorvane 1"));
  after.push_back(Rectangle("Quorvane 2"));
  NewElements added;
  UpdateDrawing(drawing, before, after, sheet, added);
  pugi::xml_document saved;
  ParsePart(saved, Serialize(drawing, added), "book", "drawing.xml");

  const std::vector<std::string> anchors = Anchors(saved);
  ASSERT_EQ(anchors.size(), old_anchors.size() + 2);
  for (std::size_t i = 0; i < old_anchors.size(); ++i) EXPECT_EQ(anchors[i], old_anchors[i]);
  std::size_t position = 0;
  for (pugi::xml_node n = saved.document_element().first_child(); n; n = n.next_sibling()) {
    if (n.type() != pugi::node_element) continue;
    if (position++ >= old_anchors.size()) {
      EXPECT_TRUE(Is(n, kNsXdr, "oneCellAnchor")) << n.name();
    }
  }
  std::vector<int> ids = DrawingIds(saved);
  const std::set<int> old_set(old_ids.begin(), old_ids.end());
  std::set<int> new_ids;
  for (std::size_t i = old_ids.size(); i < ids.size(); ++i) {
    EXPECT_GT(ids[i], 0);
    EXPECT_FALSE(old_set.count(ids[i])) << "a new shape takes the id " << ids[i];
    EXPECT_TRUE(new_ids.insert(ids[i]).second) << "two new shapes take the id " << ids[i];
  }
  const std::vector<memhost::ShapeData> read = LoadShapes(saved, sheet);
  ASSERT_EQ(read.size(), after.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(read[i].name, before[i].name);
    EXPECT_EQ(read[i].type, before[i].type);
    EXPECT_DOUBLE_EQ(read[i].left, before[i].left);
    EXPECT_DOUBLE_EQ(read[i].top, before[i].top);
  }
  EXPECT_EQ(read[before.size()].name, "Quorvane 1");
  EXPECT_EQ(read[before.size()].text, "2/1");
}

TEST(Drawing, ReadsXlsxWritersChartAndTextBoxWhereTheyWereAnchored) {
  std::string reason;
  const auto book = MadeBook("xlsxwriter", reason);
  if (!book) GTEST_SKIP() << reason;
  const WorkbookFile file = WorkbookFile::Load(*book);
  const memhost::SheetData* sheet = SheetNamed(file.data(), "Drawn");
  ASSERT_TRUE(sheet);
  ASSERT_EQ(sheet->shapes.size(), 2u);
  // XlsxWriter's default cell is 64 x 20 pixels: 48 x 15 points.
  const memhost::ShapeData& chart = sheet->shapes[0];
  EXPECT_EQ(chart.name, "Chart 1");
  EXPECT_EQ(chart.id, 2);
  EXPECT_EQ(chart.type, kChart);
  EXPECT_DOUBLE_EQ(chart.left, 2 * 48);  // C2
  EXPECT_DOUBLE_EQ(chart.top, 15);
  EXPECT_DOUBLE_EQ(chart.width, 360);  // 480 x 288 pixels
  EXPECT_DOUBLE_EQ(chart.height, 216);
  const memhost::ShapeData& box = sheet->shapes[1];
  EXPECT_EQ(box.name, "TextBox 2");
  EXPECT_EQ(box.id, 3);
  EXPECT_EQ(box.type, kRectangle);
  EXPECT_EQ(box.text, "A text box");
  EXPECT_DOUBLE_EQ(box.font_size, 11);
  EXPECT_DOUBLE_EQ(box.left, 48);  // B12
  EXPECT_DOUBLE_EQ(box.top, 11 * 15);
  EXPECT_DOUBLE_EQ(box.width, 144);  // 192 x 48 pixels
  EXPECT_DOUBLE_EQ(box.height, 36);
  EXPECT_DOUBLE_EQ(box.line_weight, 9525 / kEmuPerPoint);
}

class DrawingSave : public quorvane::testing::TempFolderTest {
 protected:
  DrawingSave() : TempFolderTest("quorvane_drawing") {}
};

TEST_F(DrawingSave, ARectangleJoinsXlsxWritersDrawingAndTheChartKeepsItsParts) {
  std::string reason;
  const auto book = MadeBook("xlsxwriter", reason);
  if (!book) GTEST_SKIP() << reason;
  const auto parts = ReadParts(*book);
  ExpectAddingKeepsTheRest(parts.at("xl/drawings/drawing1.xml"));

  const WorkbookFile file = WorkbookFile::Load(*book);
  memhost::WorkbookData data = file.data();
  data.sheets[2].shapes.push_back(Rectangle("Quorvane 1"));
  const fs::path saved = dir_ / "saved.xlsx";
  std::ofstream(saved, std::ios::binary) << file.Serialize(data);
  const auto after = ReadParts(saved);
  // One drawing part for the sheet, and the chart with its relationships as they were.
  EXPECT_FALSE(after.count("xl/drawings/drawing2.xml"));
  for (const char* kept : {"xl/charts/chart1.xml", "xl/drawings/_rels/drawing1.xml.rels",
                           "xl/worksheets/_rels/sheet3.xml.rels", "xl/worksheets/sheet3.xml"}) {
    EXPECT_EQ(after.at(kept), parts.at(kept)) << kept;
  }
  const WorkbookFile reread = WorkbookFile::Load(saved);
  ASSERT_EQ(reread.data().sheets[2].shapes.size(), 3u);
  EXPECT_EQ(reread.data().sheets[2].shapes[2].name, "Quorvane 1");
}

TEST(Drawing, ReadsLibreOfficesRectangleThatHasNoIdAndEditsAroundIt) {
  std::string reason;
  const auto book = MadeBook("libreoffice", reason);
  if (!book) GTEST_SKIP() << reason;
  const WorkbookFile file = WorkbookFile::Load(*book);
  const memhost::SheetData& sheet = file.data().sheets[0];
  ASSERT_EQ(sheet.shapes.size(), 1u);
  const memhost::ShapeData& box = sheet.shapes[0];
  EXPECT_EQ(box.name, "Box 1");
  EXPECT_NE(box.id, 0) << "a shape of id 0 would count as new";
  EXPECT_EQ(box.text, "box");
  EXPECT_DOUBLE_EQ(box.font_size, 12);
  // LibreOffice anchors it on two cells, from B2's corner.
  const memhost::SheetGeometry geometry(sheet);
  EXPECT_DOUBLE_EQ(box.left, geometry.ColumnLeft(2));
  EXPECT_DOUBLE_EQ(box.top, geometry.RowTop(2));
  EXPECT_DOUBLE_EQ(box.left + box.width, geometry.ColumnLeft(3) + 812520 / kEmuPerPoint);
  EXPECT_DOUBLE_EQ(box.top + box.height, geometry.RowTop(3) + 162720 / kEmuPerPoint);

  const auto parts = ReadParts(*book);
  ExpectAddingKeepsTheRest(parts.at("xl/drawings/drawing1.xml"));
  // Deleting the shape that has no id takes its anchor away.
  pugi::xml_document drawing;
  ParsePart(drawing, parts.at("xl/drawings/drawing1.xml"), "book", "drawing.xml");
  const std::vector<memhost::ShapeData> before = LoadShapes(drawing, memhost::SheetData());
  NewElements added;
  UpdateDrawing(drawing, before, {}, memhost::SheetData(), added);
  EXPECT_TRUE(Anchors(drawing).empty());
}

TEST(Drawing, AddsRectanglesBesideTheChartsAndPicturesOfTheSampleBooks) {
  int drawings = 0, charts = 0, pictures = 0;
  for (const auto& sample : SampleBooks()) {
    for (const auto& [name, xml] : ReadParts(sample.path)) {
      if (name.rfind("xl/drawings/drawing", 0) != 0 || name.find("/_rels/") != std::string::npos) {
        continue;
      }
      SCOPED_TRACE(sample.path.string() + " " + name + " (" + sample.application + ")");
      ++drawings;
      pugi::xml_document drawing;
      ParsePart(drawing, xml, "book", name);
      for (const memhost::ShapeData& shape : LoadShapes(drawing, memhost::SheetData())) {
        EXPECT_FALSE(shape.name.empty());
        charts += shape.type == kChart;
        pictures += shape.type == kPicture;
      }
      ExpectAddingKeepsTheRest(xml);
    }
  }
  if (drawings == 0) GTEST_SKIP() << "r-cran-readxl and r-cran-openxlsx are not installed";
  EXPECT_GT(charts, 0);
  EXPECT_GT(pictures, 0);
}

}  // namespace
}  // namespace quorvane::xlsx
