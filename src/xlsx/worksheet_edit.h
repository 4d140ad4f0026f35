// Cell edits shared by the two ways a worksheet is saved: editing its whole document, and writing
// the changed cells into its text as loaded.
#pragma once

#include <pugixml.hpp>

#include <vector>

#include "memhost/model.h"
#include "xlsx/styles.h"

namespace quorvane::xlsx {

// A cell whose value or format differs between two states of the sheet.
struct CellChange {
  memhost::CellKey key;
  const memhost::CellData* after;
  bool value_changed;
  bool format_changed;
};

// The cells whose values, fills or number formats differ, by row and column. When `after`'s store
// keeps the state as loaded of the cells it changed, that state stands for `before`'s cells.
std::vector<CellChange> ChangedCells(const memhost::SheetData& before,
                                     const memhost::SheetData& after);
// Writes a change into the cell's element.
void EditCell(pugi::xml_node c, const CellChange& change, StyleTable& styles);

}  // namespace quorvane::xlsx
