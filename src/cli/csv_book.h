// A CSV file opened as a workbook, the way the spreadsheet host opens one in the en-US locale: one
// sheet named after the file without its extension; UTF-8 with or without a byte-order mark;
// fields separated by commas, or by the character a first line "sep=X" names; quoted fields may
// hold separators, line breaks and doubled quotes; every field that reads as a number or a date
// (the host's own conversions) becomes one, TRUE and FALSE logicals, everything else text.
//
// The reader is our own: it numbers the file's lines for its messages and gives an empty line its
// own empty row, as the host does, which the callbacks of the usual CSV libraries do not tell.
#pragma once

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "memhost/model.h"
#include "xlsx/workbook_file.h"

namespace quorvane::cli {

// The longest line the reader accepts, in bytes; the line breaks within a quoted field do not end
// it.
inline constexpr std::size_t kMaxCsvLine = 1u << 20;

// A CSV text the reader refuses, with the line (from 1) where the problem is.
class CsvError : public std::runtime_error {
 public:
  CsvError(std::size_t line, const std::string& problem)
      : std::runtime_error("line " + std::to_string(line) + ": " + problem), line_(line) {}
  std::size_t line() const { return line_; }

 private:
  std::size_t line_;
};

// Reads the cells of a CSV text into a sheet; raises a CsvError for unbalanced quotes, binary data
// (a NUL byte, another control character, bytes that are not UTF-8), a line longer than
// kMaxCsvLine, more rows or columns than a sheet holds or more than xlsx::kMaxCells cells.
void ReadCsv(std::string_view text, memhost::SheetData& sheet);

// A file name's ending in lower case (".csv" for "Statement.CSV").
std::string LowerEnding(const std::filesystem::path& path);
bool IsCsvPath(const std::filesystem::path& path);

// The CSV file as a new workbook named after the file ("statement.csv"), with its one sheet
// ("statement"), and the cells read. Raises an xlsx::FileError naming the file and the problem.
struct CsvBook {
  xlsx::WorkbookFile file;
  memhost::WorkbookData data;
};
CsvBook LoadCsvBook(const std::filesystem::path& path);

}  // namespace quorvane::cli
