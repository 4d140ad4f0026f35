// The edges of a sheet's cells in points: every column and row at the sheet's default size unless
// set, hidden rows 0 high. The in-memory host answers Left and Top from it, and the workbook files
// place notes and anchored shapes by it, so a shape put at a cell's corner is anchored to that
// cell. Built from one sheet's column widths, row heights and hidden rows; it keeps no reference
// to the sheet.
#pragma once

#include <utility>
#include <vector>

#include "memhost/model.h"

namespace quorvane::memhost {

class SheetGeometry {
 public:
  explicit SheetGeometry(const SheetData& sheet);
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

}  // namespace quorvane::memhost
