// A CSV file opened as a workbook, the way the spreadsheet host opens one on a machine set to the
// user's locale: one sheet named after the file without its extension; fields separated by the
// locale's list separator (a semicolon where the decimal separator is a comma, a comma elsewhere),
// by tabs in a UTF-16 file, or by the character a first line "sep=X" names; quoted fields may hold
// separators, line breaks and doubled quotes; every field that reads as a number or a date in the
// locale (the host's own conversions) becomes one, TRUE and FALSE logicals, everything else text.
//
// The encoding is decided once for the whole file, never byte by byte: a byte-order mark names
// UTF-8 or UTF-16 (little- or big-endian); without one, a file that is well-formed UTF-8 throughout
// is UTF-8 and any other file is Windows-1252, the code page of a Western system, in which every
// byte is a character. So no file is refused for its encoding; a binary file is refused by its
// control characters (a NUL byte and the like).
//
// The reader is our own: it numbers the file's lines for its messages and gives an empty line its
// own empty row, as the host does, which the callbacks of the usual CSV libraries do not tell.
#pragma once

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "host/locale.h"
#include "memhost/model.h"
#include "xlsx/workbook_file.h"

namespace quorvane::cli {

// The longest line the reader accepts, in bytes of its text as UTF-8; the line breaks within a
// quoted field do not end it.
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

// The separator of a CSV file without a line "sep=X" in the conversions' locale, as the host takes
// it from the user's regional settings: ';' where the decimal separator is a comma, ',' elsewhere.
char ListSeparator(const host::Conversions& conversions);

// Reads the cells of a CSV file's bytes into a sheet, in the conversions' locale; raises a CsvError
// for unbalanced quotes, binary data (a NUL byte or another control character but tab and the line
// breaks), a line longer than kMaxCsvLine, more rows or columns than a sheet holds or more than
// xlsx::kMaxCells cells. Messages name the line and the column in characters.
void ReadCsv(std::string_view bytes, memhost::SheetData& sheet,
             const host::Conversions& conversions = host::EnUsConversions());

// A file name's ending in lower case (".csv" for "Statement.CSV").
std::string LowerEnding(const std::filesystem::path& path);
bool IsCsvPath(const std::filesystem::path& path);

// The CSV file as a new workbook named after the file ("statement.csv"), with its one sheet
// ("statement"), and the cells read. Raises an xlsx::FileError naming the file and the problem.
struct CsvBook {
  xlsx::WorkbookFile file;
  memhost::WorkbookData data;
};
CsvBook LoadCsvBook(const std::filesystem::path& path,
                    const host::Conversions& conversions = host::EnUsConversions());

}  // namespace quorvane::cli
