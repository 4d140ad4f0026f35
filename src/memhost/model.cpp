#include "memhost/model.h"

namespace quorvane::memhost {

const CellData* SheetData::Find(int row, int column) const {
  const auto it = cells.find(CellKey{row, column});
  return it == cells.end() ? nullptr : &it->second;
}

CellData& SheetData::At(int row, int column) { return cells[CellKey{row, column}]; }

double SheetData::ColumnWidth(int column) const {
  const auto it = column_widths.find(column);
  return it == column_widths.end() ? default_column_width : it->second;
}

double SheetData::RowHeight(int row) const {
  const auto it = row_heights.find(row);
  return it == row_heights.end() ? default_row_height : it->second;
}

}  // namespace quorvane::memhost
