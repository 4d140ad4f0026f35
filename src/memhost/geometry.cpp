#include "memhost/geometry.h"

#include <algorithm>
#include <set>

#include "host/range.h"

namespace quorvane::memhost {

SheetGeometry::SheetGeometry(const SheetData& sheet)
    : default_width_(sheet.default_column_width), default_height_(sheet.default_row_height) {
  for (const auto& [column, width] : sheet.column_widths) {
    column_deltas_.emplace_back(column, column_total_);
    column_total_ += width - default_width_;
  }
  std::set<int> rows(sheet.hidden_rows);
  for (const auto& [row, height] : sheet.row_heights) rows.insert(row);
  for (int row : rows) {
    row_deltas_.emplace_back(row, row_total_);
    const double height = sheet.hidden_rows.count(row) ? 0 : sheet.RowHeight(row);
    row_total_ += height - default_height_;
  }
}

namespace {
double DeltaBefore(const std::vector<std::pair<int, double>>& deltas, double total, int index) {
  const auto it = std::lower_bound(deltas.begin(), deltas.end(), index,
                                   [](const auto& entry, int i) { return entry.first < i; });
  return it == deltas.end() ? total : it->second;
}
}  // namespace

double SheetGeometry::ColumnLeft(int column) const {
  return (column - 1) * default_width_ + DeltaBefore(column_deltas_, column_total_, column);
}

double SheetGeometry::RowTop(int row) const {
  return (row - 1) * default_height_ + DeltaBefore(row_deltas_, row_total_, row);
}

int SheetGeometry::ColumnAt(double x) const {
  int lo = 1, hi = host::kMaxColumns;
  while (lo < hi) {
    const int mid = lo + (hi - lo + 1) / 2;
    if (ColumnLeft(mid) <= x + 1e-6)
      lo = mid;
    else
      hi = mid - 1;
  }
  return lo;
}

int SheetGeometry::RowAt(double y) const {
  int lo = 1, hi = host::kMaxRows;
  while (lo < hi) {
    const int mid = lo + (hi - lo + 1) / 2;
    if (RowTop(mid) <= y + 1e-6)
      lo = mid;
    else
      hi = mid - 1;
  }
  return lo;
}

}  // namespace quorvane::memhost
