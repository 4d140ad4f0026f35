#include "memhost/model.h"

#include <algorithm>
#include <cstddef>

#include "host/number_format.h"

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

std::string SheetData::DisplayText(int column, const CellData& cell) const {
  if ((cell.value.is_number() || cell.value.is_date()) && narrow_columns.count(column) != 0) {
    // As many "#" as fit the column, at about 6 points each.
    return std::string(static_cast<std::size_t>(std::max(1.0, ColumnWidth(column) / 6)), '#');
  }
  return host::FormatDisplay(cell.value, cell.number_format);
}

double SheetData::RowHeight(int row) const {
  const auto it = row_heights.find(row);
  return it == row_heights.end() ? default_row_height : it->second;
}

}  // namespace quorvane::memhost
