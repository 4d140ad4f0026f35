#include "memhost/model.h"

#include <algorithm>
#include <cstddef>

#include "host/number_format.h"

namespace quorvane::memhost {

// A million cells to a sheet are common: a field more is 8 MB more of each such sheet.
static_assert(sizeof(CellData) <= 80);

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

void Widen(SheetData::CellBlock& block, const CellKey& key) {
  const auto [row, column] = key;
  if (block.bottom < block.top) {
    block = SheetData::CellBlock{row, column, row, column};
    return;
  }
  block.top = std::min(block.top, row);
  block.bottom = std::max(block.bottom, row);
  block.left = std::min(block.left, column);
  block.right = std::max(block.right, column);
}

// Whether the key lies on the block's border, where a cell that stops being used may shrink it.
bool OnBorder(const SheetData::CellBlock& block, const CellKey& key) {
  const auto [row, column] = key;
  const bool inside =
      row >= block.top && row <= block.bottom && column >= block.left && column <= block.right;
  return inside &&
         (row == block.top || row == block.bottom || column == block.left || column == block.right);
}

}  // namespace

const SheetData::CellBlock& SheetData::UsedCells() const {
  if (!cells.ChangesUnknown()) {
    CellBlock block = used_cells;
    bool known = true;
    for (const CellKey& key : cells.Touched()) {
      const CellData* cell = Find(key.first, key.second);
      if (cell != nullptr && cell->IsUsed()) {
        Widen(block, key);
      } else if (OnBorder(used_cells, key)) {
        known = false;  // maybe the last used cell of its row or column
        break;
      }
    }
    if (known) {
      for (auto it = cells.AddedSinceSeen(); it != cells.end(); ++it) {
        if (it->second.IsUsed()) Widen(block, it->first);
      }
      used_cells = block;
      cells.MarkSeen();
      return used_cells;
    }
  }
  used_cells = CellBlock{};
  for (const auto& [key, cell] : cells) {
    if (cell.IsUsed()) Widen(used_cells, key);
  }
  cells.MarkSeen();
  return used_cells;
}

std::optional<host::Area> SheetData::UsedArea() const {
  Span rows, columns;
  if (const CellBlock& block = UsedCells(); block.top <= block.bottom) {
    rows.Add(block.top, block.bottom);
    columns.Add(block.left, block.right);
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
