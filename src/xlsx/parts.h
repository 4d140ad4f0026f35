// The per-part readers and writers behind WorkbookFile (internal to the workbook-file layer).
#pragma once

#include <pugixml.hpp>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "memhost/model.h"
#include "xlsx/styles.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

// --- Cell references ---
// "B3" -> {3, 2}; {0, 0} when malformed.
memhost::CellKey ParseCellRef(std::string_view ref);
std::string CellRef(int row, int column);

// --- Geometry: cell edges in points, as the in-memory host computes them ---
class SheetGeometry {
 public:
  explicit SheetGeometry(const memhost::SheetData& sheet);
  double ColumnLeft(int column) const;  // left edge of a column (1-based)
  double RowTop(int row) const;         // top edge of a row (1-based); hidden rows are 0 high
  // The column and row whose box holds the point (the last one starting at or before it).
  int ColumnAt(double x) const;
  int RowAt(double y) const;

 private:
  double default_width_, default_height_;
  std::vector<std::pair<int, double>> column_deltas_;  // column, sum of deltas of columns before it
  std::vector<std::pair<int, double>> row_deltas_;
  double column_total_ = 0, row_total_ = 0;
};

// --- Shared strings and rich text ---
inline constexpr std::size_t kMaxSharedStrings = 2'000'000;
std::vector<std::string> ParseSharedStrings(const std::string& xml, const std::string& file,
                                            const std::string& part);
// The plain text of a string item or comment text: its <t> pieces, phonetic runs left out.
std::string RichText(pugi::xml_node node);

// --- Worksheet ---
struct WorksheetRefs {
  std::string drawing_id;  // r:id of <drawing>
  std::string legacy_id;   // r:id of <legacyDrawing>
};
WorksheetRefs LoadWorksheet(const pugi::xml_document& doc, const std::vector<std::string>& strings,
                            const StyleTable& styles, memhost::SheetData& sheet);
// Writes the differences between `before` and `after` (values, number formats, fills, hidden rows,
// row heights, column widths) into the worksheet document. Returns whether anything changed.
bool UpdateWorksheet(pugi::xml_document& doc, const memhost::SheetData& before,
                     const memhost::SheetData& after, StyleTable& styles);
// Sets or removes the <drawing> or <legacyDrawing> element ("drawing"/"legacyDrawing").
void SetDrawingReference(pugi::xml_document& doc, const char* element, const std::string& id);

// --- Comments and their VML shapes ---
std::map<memhost::CellKey, memhost::CommentData> LoadComments(const pugi::xml_document& comments,
                                                              const pugi::xml_document* vml);
// Parses a VML part leniently (HTML-style <br> is accepted).
void ParseVml(pugi::xml_document& doc, const std::string& text, const std::string& file,
              const std::string& part);
std::string NewCommentsXml();
std::string NewVmlXml(int idmap);
int VmlIdMap(const pugi::xml_document& vml);
// Applies the comment differences; returns the number of notes left. New notes and their shapes
// are left as text in `new_comments` and `new_shapes`, to be serialized with their documents.
std::size_t UpdateComments(pugi::xml_document& comments, pugi::xml_document& vml,
                           const std::map<memhost::CellKey, memhost::CommentData>& before,
                           const std::map<memhost::CellKey, memhost::CommentData>& after,
                           const memhost::SheetData& sheet, NewElements& new_comments,
                           NewElements& new_shapes);
// Whether the VML part still holds shapes.
bool VmlHasShapes(const pugi::xml_document& vml);

// --- Drawing shapes ---
std::vector<memhost::ShapeData> LoadShapes(const pugi::xml_document& drawing,
                                           const memhost::SheetData& sheet);
std::string NewDrawingXml();
// Deletes, renames and adds anchors so that the drawing holds `after`'s shapes; the new anchors are
// left as text in `new_anchors`, to be serialized with the drawing.
void UpdateDrawing(pugi::xml_document& drawing, const std::vector<memhost::ShapeData>& before,
                   const std::vector<memhost::ShapeData>& after, const memhost::SheetData& sheet,
                   NewElements& new_anchors);

}  // namespace quorvane::xlsx
