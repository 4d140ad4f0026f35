// Worksheet parts read into the model: cells with their values and formats, rows, columns, the
// sheet's protection and its references to its drawings.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/conversions.h"
#include "host/number_format.h"
#include "host/range.h"
#include "host/value.h"
#include "xlsx/cell_ref.h"
#include "xlsx/error.h"
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
  // A time of day outside its ranges is no date (and would overflow the count of seconds).
  if (civil.hour < 0 || civil.hour > 23 || civil.minute < 0 || civil.minute > 59 ||
      civil.second < 0 || civil.second > 59) {
    return std::nullopt;
  }
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

// What the reader takes from a row element: the first attribute of each name counts.
struct RowFields {
  std::optional<int> r;  // its number, as given
  bool hidden = false;
  std::optional<double> ht;
  bool custom_format = false;
  int s = 0;
};

// What the reader takes from a cell element: the first of each attribute and child by name.
struct CellFields {
  std::optional<std::string_view> r, t;
  int s = 0;
  std::optional<std::string_view> v, f;  // the text of <v> and <f>
  pugi::xml_node is;                     // <is>, from a tree
  std::optional<std::string> is_text;    // the plain text of <is>, from the text
  std::ptrdiff_t offset = -1;            // of the element's name in the sheet's text
};

// A cell's value by its type: shared and inline strings, formula texts, logicals, errors, dates,
// and numbers, which are dates in a date format (`is_date` caches that by format, -1 unknown).
host::Value ReadValue(const CellFields& c, int style, const std::vector<std::string>& strings,
                      const StyleTable& styles, std::vector<signed char>& is_date) {
  const std::string_view type = c.t.value_or(std::string_view());
  const bool v = c.v.has_value();
  const std::string_view text = c.v.value_or(std::string_view());
  host::Value value;
  if (type == "s") {
    const auto index = ParseDouble(text);
    if (index && *index >= 0 && *index < static_cast<double>(strings.size())) {
      value = host::Value::Text(strings[static_cast<std::size_t>(*index)]);
    }
  } else if (type == "inlineStr") {
    value = host::Value::Text(c.is_text ? DecodeEscapes(*c.is_text) : RichText(c.is));
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

// The parts of a worksheet outside its rows: the sheet's format, its columns, its protection and
// its references to its drawings. Returns whether rows are hidden unless listed as shown.
bool ReadSheetParts(pugi::xml_node root, const StyleTable& styles, memhost::SheetData& sheet,
                    WorksheetRefs& refs) {
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
  return zero_height;
}

// Takes a sheet's rows and cells into the model in the order of the text, from whichever reader
// found them.
class RowsReader {
 public:
  RowsReader(const std::vector<std::string>& strings, const StyleTable& styles,
             memhost::SheetData& sheet, CellOffsets* offsets, bool zero_height, int& style_bound)
      : strings_(strings),
        styles_(styles),
        sheet_(sheet),
        offsets_(offsets),
        zero_height_(zero_height),
        style_bound_(style_bound),
        is_date_(static_cast<std::size_t>(std::max(styles.xf_count(), 1)), -1) {}

  // Begins a row; false when it lies outside the sheet, whose cells are then not read.
  bool BeginRow(const RowFields& row) {
    // The row after a row past the sheet's last is past it too (and never overflows).
    const int next = row_number_ > host::kMaxRows ? host::kMaxRows + 1 : row_number_ + 1;
    row_number_ = row.r.value_or(next);
    column_ = 0;
    if (row_number_ < 1 || row_number_ > host::kMaxRows) return false;
    if (row.hidden) {
      sheet_.hidden_rows.insert(row_number_);
    } else if (zero_height_) {
      shown_rows_.insert(row_number_);
    }
    if (row.ht && *row.ht != sheet_.default_row_height) sheet_.row_heights[row_number_] = *row.ht;
    NoteStyle(row.s, style_bound_);
    if (row.custom_format && row.s > 0 && row.s < styles_.xf_count()) {
      sheet_.row_styles[row_number_] = row.s;
    }
    last_row_ = std::max(last_row_, row_number_);
    return true;
  }

  // A cell of the row begun last.
  void AddCell(const CellFields& c) {
    if (c.r) {
      const memhost::CellKey key = ParseCellRef(*c.r);
      column_ = key.second != 0 ? key.second : column_ + 1;
    } else {
      ++column_;
    }
    if (column_ < 1 || column_ > host::kMaxColumns) return;
    const int style = c.s;
    NoteStyle(style, style_bound_);
    host::Value value = ReadValue(c, style, strings_, styles_, is_date_);
    const memhost::Fill fill = styles_.FillOf(style);
    // A blank cell with a style of its own (a border, a font, a number format) is kept: the
    // host counts it in the used range, and the engine reads it as an empty cell.
    const bool formatted = styles_.HasOtherFormatting(style);
    const std::string& number_format = styles_.NumberFormat(style);
    if (value.is_empty() && fill == memhost::Fill{} && !c.f && !formatted &&
        number_format == host::kGeneralFormat) {
      return;
    }
    if (offsets_) offsets_->cells.push_back({{row_number_, column_}, CellOffsets::Of(c.offset)});
    StoreCell(std::move(value), number_format, fill, formatted, style, c.f);
  }

  void Finish() {
    if (!zero_height_) return;
    // Rows are hidden unless listed as shown.
    for (const auto& [key, cell] : sheet_.cells) last_row_ = std::max(last_row_, key.first);
    for (int r = 1; r <= last_row_; ++r) {
      if (!shown_rows_.count(r)) sheet_.hidden_rows.insert(r);
    }
  }

 private:
  // Where a cell read is stored in the model.
  void StoreCell(host::Value value, const std::string& number_format, const memhost::Fill& fill,
                 bool formatted, int style, std::optional<std::string_view> formula) {
    memhost::CellData& cell = sheet_.At(row_number_, column_);
    cell.formatted = formatted;
    cell.value = std::move(value);
    cell.number_format = number_format;
    cell.fill = fill;
    cell.style = style;
    if (formula) cell.formula = *formula;
  }

  const std::vector<std::string>& strings_;
  const StyleTable& styles_;
  memhost::SheetData& sheet_;
  CellOffsets* offsets_;
  const bool zero_height_;
  int& style_bound_;
  std::vector<signed char> is_date_;
  std::set<int> shown_rows_;  // needed only when rows are hidden by default
  int last_row_ = 0;
  int row_number_ = 0;
  int column_ = 0;
};

// A row element's fields from the tree: its attributes in one pass, the first of each name.
RowFields TreeRow(pugi::xml_node row, int next, double default_height) {
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
  RowFields fields;
  if (r) fields.r = r.as_int(next);
  fields.hidden = TrueAttr(hidden);
  if (ht) fields.ht = ht.as_double(default_height);
  fields.custom_format = TrueAttr(custom_format);
  fields.s = s.as_int(0);
  return fields;
}

// A cell element's fields from the tree, read in one pass over its attributes and one over its
// children: the first of each by name, as pugixml's lookups would find them.
CellFields TreeCell(pugi::xml_node c) {
  pugi::xml_attribute r, s, t;
  for (pugi::xml_attribute a = c.first_attribute(); a; a = a.next_attribute()) {
    const char* name = a.name();
    if (name[0] == '\0' || name[1] != '\0') continue;
    if (name[0] == 'r' && !r) r = a;
    if (name[0] == 's' && !s) s = a;
    if (name[0] == 't' && !t) t = a;
  }
  CellFields fields;
  if (r) fields.r = r.value();
  if (t) fields.t = t.value();
  fields.s = s.as_int(0);
  for (pugi::xml_node child = c.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    const std::string_view local = LocalName(child.name());
    if (local == "v" && !fields.v) fields.v = child.text().get();
    if (local == "f" && !fields.f) fields.f = child.text().get();
    if (local == "is" && !fields.is) fields.is = child;
  }
  return fields;
}

// A whole number written plainly, as the tree's lookups read it; nothing for any other form.
std::optional<int> PlainInt(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// A number of digits and at most one point between digits, as the tree's lookups read it.
std::optional<double> PlainDouble(std::string_view text) {
  if (text.empty() || text.size() > 24) return std::nullopt;
  const std::size_t point = text.find('.');
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != point && (text[i] < '0' || text[i] > '9')) return std::nullopt;
  }
  if (point == 0 || point + 1 == text.size()) return std::nullopt;
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The text of an element the reader has just entered (empty when it closed itself); nothing
// unless it holds plain text alone.
std::optional<std::string_view> ElementText(TagReader& reader, std::string& scratch) {
  if (reader.closed()) return std::string_view();
  std::string_view raw;
  TagReader::Piece piece = reader.Next();
  if (piece == TagReader::Piece::kText) {
    raw = reader.text();
    piece = reader.Next();
  }
  if (piece != TagReader::Piece::kEnd) return std::nullopt;
  return DecodeText(raw, scratch);
}

// Appends the text of the rich text element the reader has just entered, as RichText gathers it
// from a tree (before its escapes are decoded): its <t> pieces, phonetic runs left out.
bool ElementRichText(TagReader& reader, std::string& out, std::string& scratch, int depth = 0) {
  if (reader.closed()) return true;
  if (depth > 32) return false;  // deeper runs are left to the tree
  for (;;) {
    switch (reader.Next()) {
      case TagReader::Piece::kEnd:
        return true;
      case TagReader::Piece::kText:
        break;
      case TagReader::Piece::kStart: {
        const std::string_view local = LocalName(reader.name());
        if (local == "rPh" || local == "phoneticPr") {
          if (!reader.SkipElement()) return false;
        } else if (local == "t") {
          const std::optional<std::string_view> text = ElementText(reader, scratch);
          if (!text) return false;
          out.append(*text);
        } else if (!ElementRichText(reader, out, scratch, depth + 1)) {
          return false;
        }
        break;
      }
      default:
        return false;
    }
  }
}

// Reads the cell whose start tag the reader has just returned; false when it takes a form the
// reader leaves to the tree.
bool TextCell(TagReader& reader, CellFields& cell, std::string& v_text, std::string& f_text) {
  cell = CellFields();
  cell.offset = static_cast<std::ptrdiff_t>(reader.name_offset());
  bool s = false;
  for (const TagReader::Attribute& a : reader.attributes()) {
    if (a.name.size() != 1) continue;
    if (a.name[0] == 'r' && !cell.r) cell.r = a.value;
    if (a.name[0] == 't' && !cell.t) cell.t = a.value;
    if (a.name[0] == 's' && !s) {
      s = true;
      const std::optional<int> style = PlainInt(a.value);
      if (!style) return false;
      cell.s = *style;
    }
  }
  if (reader.closed()) return true;
  for (;;) {
    switch (reader.Next()) {
      case TagReader::Piece::kEnd:
        return true;
      case TagReader::Piece::kText:
        break;
      case TagReader::Piece::kStart: {
        const std::string_view local = LocalName(reader.name());
        if (local == "v" && !cell.v) {
          cell.v = ElementText(reader, v_text);
          if (!cell.v) return false;
        } else if (local == "f" && !cell.f) {
          cell.f = ElementText(reader, f_text);
          if (!cell.f) return false;
        } else if (local == "is" && !cell.is_text) {
          cell.is_text.emplace();
          std::string scratch;
          if (!ElementRichText(reader, *cell.is_text, scratch)) return false;
        } else if (!reader.SkipElement()) {
          return false;
        }
        break;
      }
      default:
        return false;
    }
  }
}

// Reads the row whose start tag the reader has just returned, with its cells.
bool TextRow(TagReader& reader, RowsReader& rows) {
  RowFields fields;
  bool r = false, hidden = false, ht = false, custom_format = false, s = false;
  for (const TagReader::Attribute& a : reader.attributes()) {
    if (a.name == "r" && !r) {
      r = true;
      fields.r = PlainInt(a.value);
      if (!fields.r) return false;
    } else if (a.name == "s" && !s) {
      s = true;
      const std::optional<int> style = PlainInt(a.value);
      if (!style) return false;
      fields.s = *style;
    } else if (a.name == "hidden" && !hidden) {
      hidden = true;
      fields.hidden = a.value == "1" || a.value == "true";
    } else if (a.name == "ht" && !ht) {
      ht = true;
      fields.ht = PlainDouble(a.value);
      if (!fields.ht) return false;
    } else if (a.name == "customFormat" && !custom_format) {
      custom_format = true;
      fields.custom_format = a.value == "1" || a.value == "true";
    }
  }
  if (!rows.BeginRow(fields)) return reader.SkipElement();
  if (reader.closed()) return true;
  CellFields cell;
  std::string v_text, f_text;
  for (;;) {
    switch (reader.Next()) {
      case TagReader::Piece::kEnd:
        return true;
      case TagReader::Piece::kText:
        break;
      case TagReader::Piece::kStart:
        if (LocalName(reader.name()) != "c") {
          if (!reader.SkipElement()) return false;
        } else {
          if (!TextCell(reader, cell, v_text, f_text)) return false;
          rows.AddCell(cell);
        }
        break;
      default:
        return false;
    }
  }
}

}  // namespace

WorksheetRefs LoadWorksheet(const pugi::xml_document& doc, const std::vector<std::string>& strings,
                            const StyleTable& styles, memhost::SheetData& sheet,
                            CellOffsets* offsets) {
  WorksheetRefs refs;
  pugi::xml_node root = doc.document_element();
  const bool zero_height = ReadSheetParts(root, styles, sheet, refs);
  RowsReader reader(strings, styles, sheet, offsets, zero_height, refs.style_bound);
  const pugi::xml_node sheet_data = Child(root, kNsMain, "sheetData");
  // A cell's offset comes from its name's distance to the name of <sheetData>: the parser leaves
  // the names in its copy of the text. Saving checks each offset it uses against the text.
  const std::ptrdiff_t data_offset = sheet_data ? sheet_data.offset_debug() : -1;
  const auto data_name = reinterpret_cast<std::uintptr_t>(sheet_data.name());
  if (offsets) offsets->sheet_data = data_offset;
  int row_number = 0;
  ForEachRow(sheet_data, [&](pugi::xml_node row) {
    const int next = row_number > host::kMaxRows ? host::kMaxRows + 1 : row_number + 1;
    const RowFields fields = TreeRow(row, next, sheet.default_row_height);
    row_number = fields.r.value_or(next);
    if (!reader.BeginRow(fields)) return;
    for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
      if (c.type() != pugi::node_element || LocalName(c.name()) != "c") continue;
      CellFields cell = TreeCell(c);
      if (data_offset >= 0) {
        const auto name = reinterpret_cast<std::uintptr_t>(c.name());
        cell.offset =
            name > data_name ? data_offset + static_cast<std::ptrdiff_t>(name - data_name) : -1;
      }
      reader.AddCell(cell);
    }
  });
  reader.Finish();
  return refs;
}

std::optional<WorksheetRefs> LoadWorksheetText(const std::string& text, const std::string& file,
                                               const std::string& part,
                                               const std::vector<std::string>& strings,
                                               const StyleTable& styles, memhost::SheetData& sheet,
                                               CellOffsets* offsets) {
  // The text as the parser would read it.
  if (!PlainUtf8(text)) return std::nullopt;
  // The sheet without the content of <sheetData>, parsed and checked as the whole would be. The
  // content ends at the last end tag of that name: the content is read below, and should it not
  // be elements and text alone, properly nested, the whole text is left to the parser.
  const std::size_t name_at = FindElementName(text, "sheetData");
  if (name_at == std::string::npos) return std::nullopt;
  const std::string_view name = ElementNameAt(text, name_at);
  const std::size_t tag_end = TagEnd(text, name_at + name.size());
  if (name.empty() || tag_end == std::string::npos || text[tag_end - 1] == '/') return std::nullopt;
  const std::string closing = "</" + std::string(name);
  const std::size_t content_end = text.rfind(closing);
  if (content_end == std::string::npos || content_end <= tag_end) return std::nullopt;
  std::size_t after = content_end + closing.size();
  while (after < text.size() && IsNameEnd(text[after]) && text[after] != '/' &&
         text[after] != '>') {
    ++after;
  }
  if (after >= text.size() || text[after] != '>') return std::nullopt;
  std::string outline;
  outline.reserve(tag_end + 2 + (text.size() - after - 1));
  Append(outline, {std::string_view(text).substr(0, tag_end), "/>",
                   std::string_view(text).substr(after + 1)});
  // The elements of the whole text, as the parser counts them before it builds anything: those of
  // the outline, and those of the content, which are counted as they are read.
  const std::size_t outline_elements = CountElements(outline);
  if (outline_elements > kMaxPartElements) return std::nullopt;
  pugi::xml_document doc;
  try {
    ParsePart(doc, outline, file, part);
  } catch (const FileError&) {
    return std::nullopt;  // the whole text tells what is wrong
  }
  const pugi::xml_node root = doc.document_element();
  if (!Is(root, kNsMain, "worksheet")) return std::nullopt;
  // The element emptied must be the sheet's <sheetData>, and not text in a comment or a value.
  const pugi::xml_node sheet_data = Child(root, kNsMain, "sheetData");
  if (!sheet_data || sheet_data.offset_debug() != static_cast<std::ptrdiff_t>(name_at) ||
      sheet_data.first_child()) {
    return std::nullopt;
  }
  std::vector<std::string_view> bound;  // the prefixes declared in its scope
  for (pugi::xml_node n = sheet_data; n && n.type() == pugi::node_element; n = n.parent()) {
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
      const std::string_view attribute = a.name();
      if (attribute.substr(0, 6) == "xmlns:") bound.push_back(attribute.substr(6));
    }
  }

  WorksheetRefs refs;
  const bool zero_height = ReadSheetParts(root, styles, sheet, refs);
  RowsReader rows(strings, styles, sheet, offsets, zero_height, refs.style_bound);
  if (offsets) offsets->sheet_data = static_cast<std::ptrdiff_t>(name_at);
  TagReader reader(text, tag_end + 1, content_end, std::move(bound),
                   kMaxPartElements - outline_elements);
  std::string_view prefix;  // of the rows looked at last
  bool resolved = false, in_main = false;
  for (;;) {
    const TagReader::Piece piece = reader.Next();
    if (piece == TagReader::Piece::kDone) break;
    if (piece == TagReader::Piece::kText) continue;
    if (piece != TagReader::Piece::kStart) return std::nullopt;
    const std::string_view element = reader.name();
    const std::size_t colon = element.find(':');
    const std::string_view own = colon == std::string_view::npos ? "" : element.substr(0, colon);
    if (LocalName(element) == "row" && (!resolved || own != prefix)) {
      prefix = own;
      in_main = ResolvePrefix(sheet_data, prefix) == kNsMain;
      resolved = true;
    }
    const bool row = LocalName(element) == "row" && in_main;
    if (!(row ? TextRow(reader, rows) : reader.SkipElement())) return std::nullopt;
  }
  rows.Finish();
  return refs;
}

}  // namespace quorvane::xlsx
