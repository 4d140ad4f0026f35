// The CSV reader: the values the host gives the fields, the rows and lines it counts, and the
// files it refuses, each with the line named.
#include "cli/csv_book.h"

#include <gtest/gtest.h>

#include <string>

#include "host/conversions.h"
#include "host/range.h"
#include "host/value.h"

namespace quorvane::cli {
namespace {

memhost::SheetData Read(std::string_view text) {
  memhost::SheetData sheet;
  ReadCsv(text, sheet);
  return sheet;
}

const host::Value& At(const memhost::SheetData& sheet, int row, int column) {
  const memhost::CellData* cell = sheet.Find(row, column);
  static const host::Value empty;
  return cell != nullptr ? cell->value : empty;
}

// The line a refusal names, and its message.
std::pair<std::size_t, std::string> Refusal(std::string_view text) {
  try {
    Read(text);
  } catch (const CsvError& e) {
    return {e.line(), e.what()};
  }
  return {0, "read"};
}

TEST(CsvReader, FieldsTakeTheValuesTheHostGivesThem) {
  const memhost::SheetData sheet = Read(
      "\xEF\xBB\xBF"
      "Date,Amount,Note\r\n"
      "1/3/2024,\"1,250.00\",Rent\r\n"
      "2024-01-05,(89.99),TRUE,false\r\n"
      ",0042,\"\xC3\xA9t\xC3\xA9 \"\"quoted\"\", two\"\r\n");
  EXPECT_EQ(At(sheet, 1, 1), host::Value::Text("Date"));  // the byte-order mark is no character
  EXPECT_TRUE(At(sheet, 2, 1).is_date());
  EXPECT_EQ(sheet.Find(2, 1)->number_format, "m/d/yyyy");
  EXPECT_EQ(At(sheet, 2, 2), host::Value::Number(1250));  // quoted, still a number
  EXPECT_EQ(At(sheet, 3, 1), host::Value::Date(*host::ReadDate("1/5/2024")));
  EXPECT_EQ(At(sheet, 3, 2), host::Value::Number(-89.99));
  EXPECT_EQ(At(sheet, 3, 3), host::Value::Logical(true));
  EXPECT_EQ(At(sheet, 3, 4), host::Value::Logical(false));
  EXPECT_EQ(sheet.Find(4, 1), nullptr);  // an empty field leaves no cell
  EXPECT_EQ(At(sheet, 4, 2), host::Value::Number(42));
  EXPECT_EQ(At(sheet, 4, 3), host::Value::Text("\xC3\xA9t\xC3\xA9 \"quoted\", two"));
}

TEST(CsvReader, RowsFollowTheHostsLineCounting) {
  // An empty line is an empty row; a quoted line break stays in its field as a line feed; CR, LF
  // and CR LF each end a line; text after a closing quote belongs to the field.
  const memhost::SheetData sheet = Read("a,\"x\r\ny\"\n\nb\rc\r\n\"q\"r,s");
  EXPECT_EQ(At(sheet, 1, 2), host::Value::Text("x\ny"));
  EXPECT_EQ(sheet.Find(2, 1), nullptr);
  EXPECT_EQ(At(sheet, 3, 1), host::Value::Text("b"));
  EXPECT_EQ(At(sheet, 4, 1), host::Value::Text("c"));
  EXPECT_EQ(At(sheet, 5, 1), host::Value::Text("qr"));
  EXPECT_EQ(At(sheet, 5, 2), host::Value::Text("s"));
}

TEST(CsvReader, AFirstLineSepNamesTheSeparator) {
  memhost::SheetData sheet = Read("sep=;\r\n1,5;\"a;b\"\n");
  EXPECT_EQ(At(sheet, 1, 1), host::Value::Text("1,5"));  // en-US: no decimal comma
  EXPECT_EQ(At(sheet, 1, 2), host::Value::Text("a;b"));
  sheet = Read("sep=\t\nx\ty\n");
  EXPECT_EQ(At(sheet, 1, 2), host::Value::Text("y"));
  // Without it, semicolons are no separators.
  sheet = Read("x;y\n");
  EXPECT_EQ(At(sheet, 1, 1), host::Value::Text("x;y"));
}

TEST(CsvReader, RefusalsNameTheLine) {
  EXPECT_EQ(Refusal("a\nb,\"open\nc\nd\n").first, 2u);  // where the quote opened
  EXPECT_EQ(Refusal(std::string("a\nb,c") + '\0' + "d\n"),
            (std::pair<std::size_t, std::string>{
                2, "line 2: binary data (byte 0 at column 4) in a text file"}));
  EXPECT_EQ(Refusal("ok\n\xC0\x80\n").first, 2u);          // an overlong form
  EXPECT_EQ(Refusal("ok\nok\n\xED\xA0\x80\n").first, 3u);  // a surrogate
  EXPECT_EQ(Refusal("\xE2\x82").first, 1u);                // cut off
  EXPECT_EQ(Refusal("ok\n" + std::string(kMaxCsvLine + 1, 'x')).first, 2u);
  EXPECT_EQ(Refusal("\"" + std::string(kMaxCsvLine / 2, '\n')).first, 1u);  // never closed
  EXPECT_EQ(Refusal("a\n\"" + std::string(kMaxCsvLine, '\n') + "\"").second,
            "line 2: the line is longer than 1048576 bytes");
  std::string wide(host::kMaxColumns, ',');
  EXPECT_EQ(Refusal("a\n" + wide).second, "line 2: more fields than a sheet has columns");
  // The widest line that fits is read.
  wide.pop_back();
  EXPECT_EQ(Refusal(wide + "z").first, 0u);
}

}  // namespace
}  // namespace quorvane::cli
