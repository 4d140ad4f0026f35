// Worksheet parts (xl/worksheets/sheetN.xml): cells, rows and columns read into the model, and the
// model's changes written back as edits of the original document.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "memhost/model.h"
#include "xlsx/styles.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

// The worksheet's references to its drawing parts, as relationship ids (empty when absent).
struct WorksheetRefs {
  std::string drawing_id;  // r:id of <drawing>
  std::string legacy_id;   // r:id of <legacyDrawing>
  // One past the largest cell format number (below kMaxCellFormats) that the sheet's cells, rows
  // and columns refer to, whether or not the styles part holds it.
  int style_bound = 0;
};
// Where a loaded sheet's elements begin in its text (the offset of each one's name): <sheetData>,
// and each cell read into the model, in the text's order (a cell may be given twice: the later
// element is the one read). -1: none, or not from the text. A cell's offset is kept in 32 bits,
// which hold any part's (kMaxPartSize); one beyond them is kept as none.
struct CellOffsets {
  std::ptrdiff_t sheet_data = -1;
  std::vector<std::pair<memhost::CellKey, std::int32_t>> cells;

  static std::int32_t Of(std::ptrdiff_t offset) {
    return offset >= 0 && offset <= std::numeric_limits<std::int32_t>::max()
               ? static_cast<std::int32_t>(offset)
               : -1;
  }
};
WorksheetRefs LoadWorksheet(const pugi::xml_document& doc, const std::vector<std::string>& strings,
                            const StyleTable& styles, memhost::SheetData& sheet,
                            CellOffsets* offsets = nullptr);
// LoadWorksheet on the worksheet's text, parsing only what lies outside its rows and reading the
// rows straight from the text. Nothing when the text takes a form this reader leaves to the
// parser (another encoding, comments or namespace declarations among the rows, rich text, ...) or
// when the parser would refuse it: the caller then parses the whole text, which reads the same
// sheet or says what is wrong with it. `file` and `part` name the source.
std::optional<WorksheetRefs> LoadWorksheetText(const std::string& text, const std::string& file,
                                               const std::string& part,
                                               const std::vector<std::string>& strings,
                                               const StyleTable& styles, memhost::SheetData& sheet,
                                               CellOffsets* offsets = nullptr);
// Writes the differences between `before` and `after` (values, number formats, fills, hidden rows,
// row heights, column widths) into the worksheet document. Returns whether anything changed.
bool UpdateWorksheet(pugi::xml_document& doc, const memhost::SheetData& before,
                     const memhost::SheetData& after, StyleTable& styles);
// UpdateWorksheet for a sheet that held no cells, whose document's <sheetData> is empty (a new
// sheet): the cells are not added to the document but written as text into its <sheetData> as it
// is serialized, by `rows` (left without `write` when no cell changed), in the form the document
// would give them. Nothing, with the document untouched, for any other sheet, or when rows changed.
std::optional<bool> UpdateNewWorksheet(pugi::xml_document& doc, const memhost::SheetData& before,
                                       const memhost::SheetData& after, StyleTable& styles,
                                       NewElements& rows);
// An empty worksheet, for a new workbook.
std::string NewWorksheetXml();
// Sets or removes the <drawing> or <legacyDrawing> element ("drawing"/"legacyDrawing").
void SetDrawingReference(pugi::xml_document& doc, const char* element, const std::string& id);

}  // namespace quorvane::xlsx
