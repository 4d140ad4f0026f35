#include "memhost/model.h"

#include <algorithm>
#include <cstddef>

#include "host/number_format.h"

namespace quorvane::memhost {

bool CellData::IsUsed() const {
  return !value.is_empty() || fill.pattern != host::kPatternNone || comment.has_value() ||
         threaded_comment || formatted || number_format != host::kGeneralFormat;
}

namespace {

// A span of row or column numbers, empty until something is added.
struct Span {
  int first = 0, last = -1;
  bool empty() const { return last < first; }
  void Add(int from, int to) {
    first = empty() ? from : std::min(first, from);
    last = empty() ? to : std::max(last, to);
  }
};

}  // namespace

std::optional<host::Area> SheetData::UsedArea() const {
  Span rows, columns;
  for (const auto& [key, cell] : cells) {
    if (!cell.IsUsed()) continue;
    rows.Add(key.first, key.first);
    columns.Add(key.second, key.second);
  }
  if (!row_styles.empty()) rows.Add(row_styles.begin()->first, row_styles.rbegin()->first);
  if (!column_styles.empty()) {
    columns.Add(column_styles.begin()->first, column_styles.rbegin()->first);
  }
  if (rows.empty() && columns.empty()) return std::nullopt;
  // Formatted rows alone add no column, formatted columns alone no row: the first one stands in.
  if (rows.empty()) rows.Add(1, 1);
  if (columns.empty()) columns.Add(1, 1);
  return host::Area{rows.first, columns.first, rows.last, columns.last};
}

const CellData* SheetData::Find(int row, int column) const {
  const auto* entry = cells.Lookup(CellKey{row, column});
  return entry == nullptr ? nullptr : &entry->second;
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
