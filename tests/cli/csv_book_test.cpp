// The CSV reader: the values the host gives the fields, the rows and lines it counts, the encodings
// and locales it reads, and the files it refuses, each with the line named.
#include "cli/csv_book.h"

#include <gtest/gtest.h>

#include <string>

#include "cli/icu_locale.h"
#include "host/conversions.h"
#include "host/locale.h"
#include "host/range.h"
#include "host/value.h"

namespace quorvane::cli {
namespace {

memhost::SheetData Read(std::string_view text,
                        const host::Conversions& conversions = host::EnUsConversions()) {
  memhost::SheetData sheet;
  ReadCsv(text, sheet, conversions);
  return sheet;
}

const host::LocaleConversions& German() {
  static const host::LocaleConversions kGerman(IcuLocaleFormat("de-DE").value());
  return kGerman;
}

// The UTF-16 bytes of a text of 16-bit units, little- or big-endian, after a byte-order mark.
std::string Utf16(std::u16string_view units, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : units) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
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
  EXPECT_EQ(At(sheet, 3, 1), host::Value::Date(*host::EnUsConversions().ReadDate("1/5/2024")));
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
  EXPECT_EQ(Refusal("a\nb\x01").second, "line 2: binary data (byte 1 at column 2) in a text file");
  // Columns count characters, whatever the encoding spends on them.
  EXPECT_EQ(Refusal("\xC3\xA9t\xC3\xA9,\x7F").second,
            "line 1: binary data (byte 127 at column 5) in a text file");
  EXPECT_EQ(Refusal("\xE9t\xE9\n\xE9,\x1A").second,
            "line 2: binary data (byte 26 at column 3) in a text file");
  EXPECT_EQ(Refusal(Utf16({u"ok\n\u00e9\t\0", 6}, false)).second,
            "line 2: binary data (byte 0 at column 3) in a text file");
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

// Within quotes a separator and a tab are text and other controls binary data, counted in the
// line's characters, quotes and all; a separator that `sep=` makes of a control character
// separates.
TEST(CsvReader, QuotedFieldsAndControlSeparatorsAreReadCharacterByCharacter) {
  EXPECT_EQ(Refusal("a,\"b\x01\"").second,
            "line 1: binary data (byte 1 at column 5) in a text file");
  EXPECT_EQ(Refusal("x,\"\xC3\xA9,\t\"\"\x7F\"").second,
            "line 1: binary data (byte 127 at column 9) in a text file");
  memhost::SheetData sheet = Read("sep=\x01\na\x01\"b,\tc\"\x01\n");
  EXPECT_EQ(At(sheet, 1, 1), host::Value::Text("a"));
  EXPECT_EQ(At(sheet, 1, 2), host::Value::Text("b,\tc"));
  EXPECT_EQ(sheet.Find(1, 3), nullptr);
}

// A file that is UTF-8 throughout is read as UTF-8; any other is read as Windows-1252, every byte
// of it, as the application opens a file without a byte-order mark in a Western system's code page.
TEST(CsvReader, AFileThatIsNotUtf8IsWindows1252) {
  memhost::SheetData sheet = Read("Text,Betrag\r\nCaf\xE9 Z\xFCrich,12.50\r\n");
  EXPECT_EQ(At(sheet, 2, 1), host::Value::Text("Caf\xC3\xA9 Z\xC3\xBCrich"));
  EXPECT_EQ(At(sheet, 2, 2), host::Value::Number(12.5));
  // The range 0x80-0x9F of the Windows table; its five unassigned bytes become the C1 controls of
  // the same number.
  sheet = Read("\x80\x81\x8A\x8D\x8F\x90\x93x\x94\x9D\x9F,\xA0\xFF");
  EXPECT_EQ(At(sheet, 1, 1), host::Value::Text("\u20ac\u0081\u0160\u008d\u008f\u0090\u201cx"
                                               "\u201d\u009d\u0178"));
  EXPECT_EQ(At(sheet, 1, 2), host::Value::Text("\u00a0\u00ff"));
  // The choice is the file's: one byte that is no UTF-8 makes its well-formed sequences
  // Windows-1252 too, and UTF-8's malformed sequences are ordinary characters there.
  sheet = Read("\xC3\xA9\n\xE9\n\xC0\x80,\xED\xA0\x80,\xE2\x82");
  EXPECT_EQ(At(sheet, 1, 1), host::Value::Text("\u00c3\u00a9"));
  EXPECT_EQ(At(sheet, 2, 1), host::Value::Text("\u00e9"));
  EXPECT_EQ(At(sheet, 3, 1), host::Value::Text("\u00c0\u20ac"));
  EXPECT_EQ(At(sheet, 3, 2), host::Value::Text("\u00ed\u00a0\u20ac"));
  EXPECT_EQ(At(sheet, 3, 3), host::Value::Text("\u00e2\u201a"));
  EXPECT_EQ(At(Read("\xC3\xA9"), 1, 1), host::Value::Text("\u00e9"));
  // A byte-order mark says UTF-8: a malformed sequence after it is a replacement character.
  sheet = Read("\xEF\xBB\xBF\xC3\xA9\xE9,\xE2\x82");
  EXPECT_EQ(At(sheet, 1, 1), host::Value::Text("\u00e9\ufffd"));
  EXPECT_EQ(At(sheet, 1, 2), host::Value::Text("\ufffd"));
}

// UTF-16 with a byte-order mark is the application's "Unicode text": tabs separate its fields.
TEST(CsvReader, Utf16WithAByteOrderMarkIsUnicodeText) {
  for (const bool big_endian : {false, true}) {
    SCOPED_TRACE(big_endian ? "big-endian" : "little-endian");
    memhost::SheetData sheet =
        Read(Utf16(u"Text\tBetrag\r\nCaf\u00e9, Z\u00fcrich\t1,250.00\r\n"
                   u"\"a\tb\"\t\U0001F4B6\t\xD800x\r\n",
                   big_endian));
    EXPECT_EQ(At(sheet, 2, 1), host::Value::Text("Caf\u00e9, Z\u00fcrich"));
    EXPECT_EQ(At(sheet, 2, 2), host::Value::Number(1250));
    EXPECT_EQ(At(sheet, 3, 1), host::Value::Text("a\tb"));
    EXPECT_EQ(At(sheet, 3, 2), host::Value::Text("\U0001F4B6"));  // a surrogate pair
    EXPECT_EQ(At(sheet, 3, 3), host::Value::Text("\ufffdx"));     // a lone surrogate
    EXPECT_EQ(sheet.Find(4, 1), nullptr);
  }
  // A first line "sep=" still names the separator; an odd last byte is a replacement character.
  memhost::SheetData sheet = Read(Utf16(u"sep=,\na,b", false) + "\x41");
  EXPECT_EQ(At(sheet, 1, 1), host::Value::Text("a"));
  EXPECT_EQ(At(sheet, 1, 2), host::Value::Text("b\ufffd"));
}

// Under a locale whose decimal separator is a comma the list separator is a semicolon, and numbers
// and dates are read in the locale's forms.
TEST(CsvReader, TheLocaleNamesTheSeparatorAndReadsNumbersAndDates) {
  EXPECT_EQ(ListSeparator(host::EnUsConversions()), ',');
  EXPECT_EQ(ListSeparator(German()), ';');
  EXPECT_EQ(ListSeparator(host::LocaleConversions(IcuLocaleFormat("fr-FR").value())), ';');
  EXPECT_EQ(ListSeparator(host::LocaleConversions(IcuLocaleFormat("en-GB").value())), ',');

  memhost::SheetData sheet =
      Read("Datum;Text;Betrag\r\n03.01.2024;Miete, Januar;-1.000,00\r\n05.01.2024;\"a;b\";0,5\r\n",
           German());
  EXPECT_EQ(At(sheet, 1, 3), host::Value::Text("Betrag"));
  EXPECT_EQ(At(sheet, 2, 1), host::Value::Date(*host::EnUsConversions().ReadDate("1/3/2024")));
  EXPECT_EQ(At(sheet, 2, 2), host::Value::Text("Miete, Januar"));
  EXPECT_EQ(At(sheet, 2, 3), host::Value::Number(-1000));
  EXPECT_EQ(At(sheet, 3, 2), host::Value::Text("a;b"));
  EXPECT_EQ(At(sheet, 3, 3), host::Value::Number(0.5));
  // "sep=" wins over the locale's separator.
  sheet = Read("sep=,\n1.000,5\n", German());
  EXPECT_EQ(At(sheet, 1, 1), host::Value::Number(1000));
  EXPECT_EQ(At(sheet, 1, 2), host::Value::Number(5));
  // The same texts in en-US.
  sheet = Read("03.01.2024;1.000,00\n");
  EXPECT_EQ(At(sheet, 1, 1), host::Value::Text("03.01.2024;1.000"));
  EXPECT_EQ(At(sheet, 1, 2), host::Value::Number(0));
}

// Amounts as banks write them, read by the host's conversions in each locale: a currency symbol
// before the digits (after a sign or an opening parenthesis too), parentheses for a negative
// amount, a sign before or after.
TEST(CsvReader, AmountsAsBanksWriteThem) {
  const struct {
    const char* text;
    std::optional<double> en_us, de_de;
  } cases[] = {
      {"$1,234.50", 1234.5, std::nullopt},
      {"(123.45)", -123.45, std::nullopt},  // the point groups thousands in de-DE
      {"($1,234.50)", -1234.5, std::nullopt},
      {"-$1,234.50", -1234.5, std::nullopt},
      {"$-1,234.50", -1234.5, std::nullopt},
      {"1,234.50-", -1234.5, std::nullopt},
      {" $ 12.00", std::nullopt, std::nullopt},  // no blank after the symbol
      {"1.234,50", std::nullopt, 1234.5},
      {"(1.234,50)", std::nullopt, -1234.5},
      {"(123,45)", std::nullopt, -123.45},
      {"\u20ac1.234,50", std::nullopt, 1234.5},
      {"-\u20ac1.234,50", std::nullopt, -1234.5},
      {"(\u20ac1.234,50)", std::nullopt, -1234.5},
      {"1.234,50-", std::nullopt, -1234.5},
      {"1.234,50 \u20ac", std::nullopt, std::nullopt},  // the symbol after the digits is not read
      {"(1,234.50", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    // Quoted, so that neither locale's list separator cuts the field.
    const std::string line = std::string("\"") + c.text + "\"";
    const host::Value en_us = At(Read(line), 1, 1);
    const host::Value de_de = At(Read(line, German()), 1, 1);
    EXPECT_EQ(en_us, c.en_us ? host::Value::Number(*c.en_us) : host::Value::Text(c.text));
    EXPECT_EQ(de_de, c.de_de ? host::Value::Number(*c.de_de) : host::Value::Text(c.text));
  }
}

}  // namespace
}  // namespace quorvane::cli
