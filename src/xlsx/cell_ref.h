// Cell references as the workbook files write them ("B3", "$B$3").
#pragma once

#include <string>
#include <string_view>

#include "memhost/model.h"

namespace quorvane::xlsx {

// "B3" -> {3, 2}; {0, 0} when malformed or past the sheet's last row or column.
memhost::CellKey ParseCellRef(std::string_view ref);
// {3, 2} -> "B3".
std::string CellRef(int row, int column);

}  // namespace quorvane::xlsx
