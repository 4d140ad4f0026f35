// The fuzz target of the CSV reader of the command-line tool.
#include <cstdint>
#include <string_view>

#include "cli/csv_book.h"
#include "fuzz/fuzz_targets.h"
#include "host/range.h"
#include "xlsx/workbook_file.h"

namespace quorvane::fuzz {

void CsvText(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  memhost::SheetData sheet;
  try {
    cli::ReadCsv(text, sheet);
  } catch (const cli::CsvError& e) {
    Require(e.line() >= 1, "a refusal names a line from 1 on");
    return;
  }
  Require(sheet.cells.size() <= xlsx::kMaxCells, "no more cells than a workbook may hold");
  for (const auto& [position, cell] : sheet.cells) {
    Require(!cell.value.is_empty(), "an empty field leaves no cell");
    Require(!cell.value.is_error(), "a field is never an error value");
    if (cell.value.is_text()) {
      Require(cell.value.text().find('\r') == std::string::npos,
              "a line break in a field is a line feed");
    }
  }
}

}  // namespace quorvane::fuzz
