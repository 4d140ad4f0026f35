// The fuzz target of the CSV reader of the command-line tool.
#include <cstdint>
#include <string_view>

#include "cli/csv_book.h"
#include "cli/icu_locale.h"
#include "fuzz/fuzz_targets.h"
#include "host/locale.h"
#include "host/range.h"
#include "xlsx/workbook_file.h"

namespace quorvane::fuzz {
namespace {

// Whether a text is well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    char32_t c = lead;
    std::size_t length = 1;
    if (lead >= 0xF0) {
      length = 4;
      c = lead & 0x07;
    } else if (lead >= 0xE0) {
      length = 3;
      c = lead & 0x0F;
    } else if (lead >= 0xC0) {
      length = 2;
      c = lead & 0x1F;
    } else if (lead >= 0x80) {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto byte = static_cast<unsigned char>(text[i + k]);
      if ((byte & 0xC0) != 0x80) return false;
      c = (c << 6) | (byte & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

const host::Conversions& German() {
  static const host::LocaleConversions kGerman(
      cli::IcuLocaleFormat("de-DE").value_or(host::LocaleFormat{}));
  return kGerman;
}

}  // namespace

void CsvText(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const host::Conversions& conversions =
      size > 0 && data[0] % 2 == 1 ? German() : host::EnUsConversions();
  memhost::SheetData sheet;
  try {
    cli::ReadCsv(text, sheet, conversions);
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
      Require(IsUtf8(cell.value.text()), "a text is UTF-8, whatever the file's encoding");
    }
  }
}

}  // namespace quorvane::fuzz
