// Cell references as the workbook files write them.
#include "xlsx/cell_ref.h"
#include "host/ascii.h"

#include <cctype>

#include "host/range.h"

namespace quorvane::xlsx {

memhost::CellKey ParseCellRef(std::string_view ref) {
  std::size_t i = 0;
  int column = 0, row = 0;
  if (i < ref.size() && ref[i] == '$') ++i;
  while (i < ref.size() && std::isalpha(static_cast<unsigned char>(ref[i]))) {
    column = column * 26 + (host::AsciiUpper(ref[i]) - 'A' + 1);
    if (column > host::kMaxColumns) return {0, 0};
    ++i;
  }
  if (i < ref.size() && ref[i] == '$') ++i;
  const std::size_t digits = i;
  while (i < ref.size() && std::isdigit(static_cast<unsigned char>(ref[i]))) {
    row = row * 10 + (ref[i] - '0');
    if (row > host::kMaxRows) return {0, 0};
    ++i;
  }
  if (i != ref.size() || digits == i || column == 0 || row == 0) return {0, 0};
  return {row, column};
}

std::string CellRef(int row, int column) {
  return host::ColumnLetters(column) + std::to_string(row);
}

}  // namespace quorvane::xlsx
