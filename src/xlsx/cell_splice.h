// Changed cells written into a worksheet's text as loaded, without parsing and writing all its
// rows.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "memhost/model.h"
#include "xlsx/styles.h"
#include "xlsx/worksheet.h"

namespace quorvane::xlsx {

// A worksheet whose cell edits are written into its text as loaded, without parsing and writing
// all its rows: the text without the content of <sheetData>, to be parsed and edited as the
// document, and that content with the edited cells, to be written back in its place.
struct SplicedWorksheet {
  struct Piece {
    std::size_t from, to;  // a stretch of the loaded text, copied as it is
    std::string cell;      // then an edited cell
  };
  std::string skeleton;
  std::vector<Piece> pieces;
  std::size_t content_size = 0;
  bool changed = false;  // whether any cell changed
};
// The edits UpdateWorksheet would make, made on the text of the sheet as loaded (`offsets` from
// its load). Nothing when they need the whole document: rows or columns changed, a changed cell
// that the text does not hold as an element with its reference, or a <sheetData> whose content
// holds comments, sections or instructions.
std::optional<SplicedWorksheet> SpliceCellEdits(std::string_view text, const CellOffsets& offsets,
                                                const memhost::SheetData& before,
                                                const memhost::SheetData& after,
                                                StyleTable& styles);

}  // namespace quorvane::xlsx
