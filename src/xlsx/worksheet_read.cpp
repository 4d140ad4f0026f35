// Worksheet parts read into the model: cells with their values and formats, rows, columns, the
// sheet's protection and its references to its drawings.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "host/conversions.h"
#include "host/number_format.h"
#include "host/range.h"
#include "host/value.h"
#include "xlsx/cell_ref.h"
#include "xlsx/shared_strings.h"
#include "xlsx/worksheet.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

namespace {

bool TrueAttr(pugi::xml_attribute a) {
  const std::string_view v = a.value();
  return v == "1" || v == "true";
}

// Column width in characters to points, for the 7-pixel digit of Calibri 11.
double WidthToPoints(double chars) {
  const double pixels = std::trunc(((256 * chars + std::trunc(128.0 / 7)) / 256) * 7);
  return pixels * 0.75;
}

std::optional<double> ParseDouble(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

host::CellError ErrorFromText(std::string_view text) {
  using host::CellError;
  for (CellError e : {CellError::kNull, CellError::kDiv0, CellError::kValue, CellError::kRef,
                      CellError::kName, CellError::kNum, CellError::kNA}) {
    if (text == host::CellErrorText(e)) return e;
  }
  return CellError::kValue;
}

// "2023-01-05T10:00:00" (the "d" cell type) to a serial number.
std::optional<double> IsoDateSerial(std::string_view text) {
  host::CivilDateTime civil;
  int fields[6] = {0, 0, 0, 0, 0, 0};
  std::size_t pos = 0;
  for (int i = 0; i < 6 && pos < text.size(); ++i) {
    const auto [end, ec] = std::from_chars(text.data() + pos, text.data() + text.size(), fields[i]);
    if (ec != std::errc()) return std::nullopt;
    pos = static_cast<std::size_t>(end - text.data()) + 1;
  }
  civil.year = fields[0];
  civil.month = fields[1];
  civil.day = fields[2];
  civil.hour = fields[3];
  civil.minute = fields[4];
  civil.second = fields[5];
  if (civil.month < 1 || civil.month > 12 || civil.day < 1 || civil.day > 31) return std::nullopt;
  return host::SerialFromCivil(civil);
}

// Calls f(row) for every row of <sheetData>. A row that declares no namespace of its own shares
// the bindings of <sheetData>, so the prefix of such rows is resolved once, not once a row.
template <typename F>
void ForEachRow(pugi::xml_node sheet_data, F&& f) {
  std::string_view prefix;  // of the rows looked at last
  bool resolved = false, in_main = false;
  for (pugi::xml_node row = sheet_data.first_child(); row; row = row.next_sibling()) {
    if (row.type() != pugi::node_element || LocalName(row.name()) != "row") continue;
    bool declares = false;
    for (pugi::xml_attribute a = row.first_attribute(); a && !declares; a = a.next_attribute()) {
      declares = std::strncmp(a.name(), "xmlns", 5) == 0;
    }
    if (declares) {
      if (Is(row, kNsMain, "row")) f(row);
      continue;
    }
    const std::string_view name = row.name();
    const std::size_t colon = name.find(':');
    const std::string_view own = colon == std::string_view::npos ? "" : name.substr(0, colon);
    if (!resolved || own != prefix) {
      prefix = own;
      in_main = ResolvePrefix(sheet_data, prefix) == kNsMain;
      resolved = true;
    }
    if (in_main) f(row);
  }
}

// The sheet's default row height and column width; returns whether its rows are hidden unless
// listed as shown.
bool ReadSheetFormat(pugi::xml_node root, memhost::SheetData& sheet) {
  bool zero_height = false;
  if (pugi::xml_node format = Child(root, kNsMain, "sheetFormatPr")) {
    if (pugi::xml_attribute a = format.attribute("defaultRowHeight")) {
      sheet.default_row_height = a.as_double(15);
    }
    if (pugi::xml_attribute a = format.attribute("defaultColWidth")) {
      sheet.default_column_width = WidthToPoints(a.as_double(8.43));
    } else if (pugi::xml_attribute b = format.attribute("baseColWidth")) {
      const double pixels = std::ceil((b.as_double(8) * 7 + 5) / 8) * 8;
      sheet.default_column_width = pixels * 0.75;
    }
    zero_height = TrueAttr(format.attribute("zeroHeight"));
  }
  return zero_height;
}

// Notes a format number that a cell, row or column refers to.
void NoteStyle(int style, int& bound) {
  if (style >= 0 && style < kMaxCellFormats) bound = std::max(bound, style + 1);
}

// Column widths (hidden columns are 0 wide), and the columns formatted as a whole.
void ReadColumns(pugi::xml_node root, const StyleTable& styles, memhost::SheetData& sheet,
                 int& style_bound) {
  ForChildren(Child(root, kNsMain, "cols"), kNsMain, "col", [&](pugi::xml_node col) {
    const int first = std::clamp(col.attribute("min").as_int(1), 1, host::kMaxColumns);
    const int last = std::clamp(col.attribute("max").as_int(first), first, host::kMaxColumns);
    double points = sheet.default_column_width;
    if (TrueAttr(col.attribute("hidden"))) {
      points = 0;
    } else if (pugi::xml_attribute w = col.attribute("width")) {
      points = WidthToPoints(w.as_double());
    }
    // A column formatted as a whole: its cells count in the used range without being stored.
    const int style = col.attribute("style").as_int(0);
    NoteStyle(style, style_bound);
    if (style > 0 && style < styles.xf_count()) {
      for (int c = first; c <= last; ++c) sheet.column_styles[c] = style;
    }
    if (points == sheet.default_column_width) return;
    for (int c = first; c <= last; ++c) sheet.column_widths[c] = points;
  });
}

// What a cell element holds, read in one pass over its attributes and one over its children:
// the first of each by name, as pugixml's lookups would find them.
struct CellParts {
  pugi::xml_attribute r, s, t;
  pugi::xml_node v, f, is;
};

CellParts ReadCellParts(pugi::xml_node c) {
  CellParts parts;
  for (pugi::xml_attribute a = c.first_attribute(); a; a = a.next_attribute()) {
    const char* name = a.name();
    if (name[0] == '\0' || name[1] != '\0') continue;
    if (name[0] == 'r' && !parts.r) parts.r = a;
    if (name[0] == 's' && !parts.s) parts.s = a;
    if (name[0] == 't' && !parts.t) parts.t = a;
  }
  for (pugi::xml_node child = c.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    const std::string_view local = LocalName(child.name());
    if (local == "v" && !parts.v) parts.v = child;
    if (local == "f" && !parts.f) parts.f = child;
    if (local == "is" && !parts.is) parts.is = child;
  }
  return parts;
}

// A cell's value by its type: shared and inline strings, formula texts, logicals, errors, dates,
// and numbers, which are dates in a date format (`is_date` caches that by format, -1 unknown).
host::Value ReadValue(const CellParts& c, int style, const std::vector<std::string>& strings,
                      const StyleTable& styles, std::vector<signed char>& is_date) {
  const std::string_view type = c.t.value();
  const pugi::xml_node v = c.v;
  const std::string_view text = v.text().get();
  host::Value value;
  if (type == "s") {
    const auto index = ParseDouble(text);
    if (index && *index >= 0 && *index < static_cast<double>(strings.size())) {
      value = host::Value::Text(strings[static_cast<std::size_t>(*index)]);
    }
  } else if (type == "inlineStr") {
    value = host::Value::Text(RichText(c.is));
  } else if (type == "str") {
    if (v) value = host::Value::Text(DecodeEscapes(text));
  } else if (type == "b") {
    if (v) value = host::Value::Logical(text == "1" || text == "true");
  } else if (type == "e") {
    if (v) value = host::Value::Error(ErrorFromText(text));
  } else if (type == "d") {
    if (auto serial = IsoDateSerial(text)) value = host::Value::Date(*serial);
  } else if (v) {
    if (auto number = ParseDouble(text)) {
      const auto slot =
          static_cast<std::size_t>(style >= 0 && style < styles.xf_count() ? style : 0);
      if (is_date[slot] < 0) is_date[slot] = host::IsDateFormat(styles.NumberFormat(style)) ? 1 : 0;
      value = is_date[slot] ? host::Value::Date(*number) : host::Value::Number(*number);
    }
  }
  return value;
}

}  // namespace

WorksheetRefs LoadWorksheet(const pugi::xml_document& doc, const std::vector<std::string>& strings,
                            const StyleTable& styles, memhost::SheetData& sheet,
                            CellOffsets* offsets) {
  WorksheetRefs refs;
  pugi::xml_node root = doc.document_element();
  const bool zero_height = ReadSheetFormat(root, sheet);
  ReadColumns(root, styles, sheet, refs.style_bound);
  if (pugi::xml_node protection = Child(root, kNsMain, "sheetProtection")) {
    sheet.is_protected = TrueAttr(protection.attribute("sheet"));
  }
  if (pugi::xml_node drawing = Child(root, kNsMain, "drawing")) {
    refs.drawing_id = Attr(drawing, kNsRel, "id").value();
  }
  if (pugi::xml_node legacy = Child(root, kNsMain, "legacyDrawing")) {
    refs.legacy_id = Attr(legacy, kNsRel, "id").value();
  }

  std::vector<signed char> is_date(static_cast<std::size_t>(std::max(styles.xf_count(), 1)), -1);
  std::set<int> shown_rows;  // needed only when rows are hidden by default
  int last_row = 0;
  int row_number = 0;
  const pugi::xml_node sheet_data = Child(root, kNsMain, "sheetData");
  // A cell's offset comes from its name's distance to the name of <sheetData>: the parser leaves
  // the names in its copy of the text. Saving checks each offset it uses against the text.
  const std::ptrdiff_t data_offset = sheet_data ? sheet_data.offset_debug() : -1;
  const auto data_name = reinterpret_cast<std::uintptr_t>(sheet_data.name());
  if (offsets) offsets->sheet_data = data_offset;
  ForEachRow(sheet_data, [&](pugi::xml_node row) {
    // The row after a row past the sheet's last is past it too (and never overflows).
    const int next = row_number > host::kMaxRows ? host::kMaxRows + 1 : row_number + 1;
    // The row's attributes in one pass: the first of each name counts.
    pugi::xml_attribute r, hidden, ht, custom_format, s;
    for (pugi::xml_attribute a = row.first_attribute(); a; a = a.next_attribute()) {
      const char* name = a.name();
      pugi::xml_attribute* slot = nullptr;
      switch (name[0]) {
        case 'r':
          if (name[1] == '\0') slot = &r;
          break;
        case 's':
          if (name[1] == '\0') slot = &s;
          break;
        case 'h':
          slot = std::strcmp(name, "hidden") == 0 ? &hidden
                 : std::strcmp(name, "ht") == 0   ? &ht
                                                  : nullptr;
          break;
        case 'c':
          if (std::strcmp(name, "customFormat") == 0) slot = &custom_format;
          break;
        default:
          break;
      }
      if (slot && !*slot) *slot = a;
    }
    row_number = r ? r.as_int(next) : next;
    if (row_number < 1 || row_number > host::kMaxRows) return;
    if (TrueAttr(hidden)) {
      sheet.hidden_rows.insert(row_number);
    } else if (zero_height) {
      shown_rows.insert(row_number);
    }
    if (ht) {
      const double height = ht.as_double(sheet.default_row_height);
      if (height != sheet.default_row_height) sheet.row_heights[row_number] = height;
    }
    NoteStyle(s.as_int(0), refs.style_bound);
    if (TrueAttr(custom_format)) {
      const int style = s.as_int(0);
      if (style > 0 && style < styles.xf_count()) sheet.row_styles[row_number] = style;
    }
    last_row = std::max(last_row, row_number);
    int column = 0;
    for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
      if (c.type() != pugi::node_element || LocalName(c.name()) != "c") continue;
      const CellParts parts = ReadCellParts(c);
      if (parts.r) {
        const memhost::CellKey key = ParseCellRef(parts.r.value());
        column = key.second != 0 ? key.second : column + 1;
      } else {
        ++column;
      }
      if (column < 1 || column > host::kMaxColumns) continue;
      const int style = parts.s.as_int(0);
      NoteStyle(style, refs.style_bound);
      host::Value value = ReadValue(parts, style, strings, styles, is_date);
      const memhost::Fill fill = styles.FillOf(style);
      const pugi::xml_node f = parts.f;
      // A blank cell with a style of its own (a border, a font, a number format) is kept: the
      // host counts it in the used range, and the engine reads it as an empty cell.
      const bool formatted = styles.HasOtherFormatting(style);
      const std::string& number_format = styles.NumberFormat(style);
      if (value.is_empty() && fill == memhost::Fill{} && !f && !formatted &&
          number_format == host::kGeneralFormat) {
        continue;
      }
      memhost::CellData& cell = sheet.At(row_number, column);
      if (offsets && data_offset >= 0) {
        const auto name = reinterpret_cast<std::uintptr_t>(c.name());
        offsets->cells.push_back(
            {{row_number, column},
             name > data_name ? data_offset + static_cast<std::ptrdiff_t>(name - data_name) : -1});
      }
      cell.formatted = formatted;
      cell.value = std::move(value);
      cell.number_format = number_format;
      cell.fill = fill;
      cell.style = style;
      if (f) cell.formula = f.text().get();
    }
  });
  if (zero_height) {
    // Rows are hidden unless listed as shown.
    for (const auto& [key, cell] : sheet.cells) last_row = std::max(last_row, key.first);
    for (int r = 1; r <= last_row; ++r) {
      if (!shown_rows.count(r)) sheet.hidden_rows.insert(r);
    }
  }
  return refs;
}

}  // namespace quorvane::xlsx
