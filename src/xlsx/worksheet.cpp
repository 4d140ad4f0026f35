// Worksheet parts (xl/worksheets/sheetN.xml): cells, rows, columns and protection, read into the
// model and written back as edits of the original document.
#include "xlsx/worksheet.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "host/conversions.h"
#include "host/number_format.h"
#include "host/range.h"
#include "host/value.h"
#include "xlsx/cell_ref.h"
#include "xlsx/shared_strings.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

namespace {

// The worksheet's children in the schema's order.
const std::vector<std::string_view> kWorksheetOrder = {"sheetPr",
                                                       "dimension",
                                                       "sheetViews",
                                                       "sheetFormatPr",
                                                       "cols",
                                                       "sheetData",
                                                       "sheetCalcPr",
                                                       "sheetProtection",
                                                       "protectedRanges",
                                                       "scenarios",
                                                       "autoFilter",
                                                       "sortState",
                                                       "dataConsolidate",
                                                       "customSheetViews",
                                                       "mergeCells",
                                                       "phoneticPr",
                                                       "conditionalFormatting",
                                                       "dataValidations",
                                                       "hyperlinks",
                                                       "printOptions",
                                                       "pageMargins",
                                                       "pageSetup",
                                                       "headerFooter",
                                                       "rowBreaks",
                                                       "colBreaks",
                                                       "customProperties",
                                                       "cellWatches",
                                                       "ignoredErrors",
                                                       "smartTags",
                                                       "drawing",
                                                       "legacyDrawing",
                                                       "legacyDrawingHF",
                                                       "picture",
                                                       "oleObjects",
                                                       "controls",
                                                       "webPublishItems",
                                                       "tableParts",
                                                       "extLst"};

bool TrueAttr(pugi::xml_attribute a) {
  const std::string_view v = a.value();
  return v == "1" || v == "true";
}

// Column width in characters to points, for the 7-pixel digit of Calibri 11.
double WidthToPoints(double chars) {
  const double pixels = std::trunc(((256 * chars + std::trunc(128.0 / 7)) / 256) * 7);
  return pixels * 0.75;
}

double PointsToWidth(double points) { return points / 0.75 / 7; }

std::optional<double> ParseDouble(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::string NumberText(double number) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, number);
  return ec == std::errc() ? std::string(buffer, end) : "0";
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

}  // namespace

// --- Loading ---

namespace {

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

// Column widths (hidden columns are 0 wide), and the columns formatted as a whole.
// Notes a format number that a cell, row or column refers to.
void NoteStyle(int style, int& bound) {
  if (style >= 0 && style < kMaxCellFormats) bound = std::max(bound, style + 1);
}

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

// --- Writing ---

namespace {

// Whether the element is a cell: <c> in any prefix.
bool IsCellElement(pugi::xml_node c) {
  return c.type() == pugi::node_element && LocalName(c.name()) == "c";
}

bool HasRef(pugi::xml_node c) {
  for (pugi::xml_attribute a = c.first_attribute(); a; a = a.next_attribute()) {
    const char* name = a.name();
    if (name[0] == 'r' && name[1] == '\0') return true;
  }
  return false;
}

// The rows of <sheetData> by number, and the cells of a row by column once the row is used: most
// edits touch few of a sheet's rows. The document's rows are held flat, sorted by number, as they
// are found; rows added by edits are kept apart.
class CellIndex {
 public:
  explicit CellIndex(pugi::xml_node sheet_data) : sheet_data_(sheet_data) {
    std::vector<int> unnumbered;  // rows holding cells without a reference
    bool sorted = true;
    int row_number = 0;
    for (pugi::xml_node row = sheet_data.first_child(); row; row = row.next_sibling()) {
      if (row.type() != pugi::node_element || LocalName(row.name()) != "row") continue;
      // The row after a row past the sheet's last is past it too (and never overflows).
      const int next = row_number > host::kMaxRows ? host::kMaxRows + 1 : row_number + 1;
      pugi::xml_attribute r = row.attribute("r");
      row_number = r ? r.as_int(next) : next;
      if (!r) row.append_attribute("r").set_value(row_number);
      if (!rows_.empty() && row_number < rows_.back().number) sorted = false;
      rows_.emplace_back(row_number, row);
      for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
        if (IsCellElement(c) && !HasRef(c)) {
          unnumbered.push_back(row_number);
          break;
        }
      }
    }
    // A row number given twice: the last row takes new cells, the cells of all are found.
    if (!sorted) {
      std::stable_sort(rows_.begin(), rows_.end(),
                       [](const Entry& a, const Entry& b) { return a.number < b.number; });
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      if (kept > 0 && rows_[kept - 1].number == rows_[i].number) {
        Entry& entry = rows_[kept - 1];
        entry.earlier.push_back(entry.node);
        entry.node = rows_[i].node;
      } else {
        if (kept != i) rows_[kept] = std::move(rows_[i]);
        ++kept;
      }
    }
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(kept), rows_.end());
    for (int number : unnumbered) {
      Entry& entry = *Find(number);
      if (!entry.indexed) IndexCells(entry);
    }
  }

  pugi::xml_node Row(int row) { return RowEntry(row).node; }

  pugi::xml_node Cell(int row, int column) {
    Entry& entry = RowEntry(row);
    if (!entry.indexed) IndexCells(entry);
    if (auto it = entry.cells.find(column); it != entry.cells.end()) return it->second;
    const auto next = entry.cells.upper_bound(column);
    const std::string name = QualifiedName(entry.node, kNsMain, "c", "x");
    pugi::xml_node node = next != entry.cells.end()
                              ? entry.node.insert_child_before(name.c_str(), next->second)
                              : entry.node.append_child(name.c_str());
    node.append_attribute("r").set_value(CellRef(row, column).c_str());
    entry.cells[column] = node;
    return node;
  }

 private:
  struct Entry {
    Entry(int number, pugi::xml_node row) : number(number), node(row) {}
    int number;
    pugi::xml_node node;
    std::vector<pugi::xml_node> earlier;  // rows given the same number before this one
    bool indexed = false;
    std::map<int, pugi::xml_node> cells;  // by column, once indexed
  };

  // The document's row of that number, if any.
  Entry* Find(int row) {
    const auto it = std::lower_bound(rows_.begin(), rows_.end(), row,
                                     [](const Entry& e, int number) { return e.number < number; });
    return it != rows_.end() && it->number == row ? &*it : nullptr;
  }

  Entry& RowEntry(int row) {
    if (Entry* entry = Find(row)) return *entry;
    if (auto it = added_.find(row); it != added_.end()) return it->second;
    // The new row goes before the first row of a larger number, among both kinds.
    pugi::xml_node before;
    const auto later =
        std::upper_bound(rows_.begin(), rows_.end(), row,
                         [](int number, const Entry& e) { return number < e.number; });
    if (later != rows_.end()) before = later->node;
    const auto later_added = added_.upper_bound(row);
    if (later_added != added_.end() && (!before || later_added->first < later->number)) {
      before = later_added->second.node;
    }
    const std::string name = QualifiedName(sheet_data_, kNsMain, "row", "x");
    pugi::xml_node node = before ? sheet_data_.insert_child_before(name.c_str(), before)
                                 : sheet_data_.append_child(name.c_str());
    node.append_attribute("r").set_value(row);
    return added_.emplace_hint(later_added, row, Entry(row, node))->second;
  }

  // Indexes the row's cells by column, giving a reference to those without one. A cell that
  // appears again under the same column replaces the earlier one in the index.
  static void IndexCells(Entry& entry) {
    entry.indexed = true;
    auto index = [&](pugi::xml_node row) {
      int column = 0;
      for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
        if (!IsCellElement(c)) continue;
        const memhost::CellKey key = ParseCellRef(c.attribute("r").value());
        column = key.second != 0 ? key.second : column + 1;
        if (!c.attribute("r"))
          c.append_attribute("r").set_value(CellRef(entry.number, column).c_str());
        entry.cells[column] = c;
      }
    };
    for (pugi::xml_node row : entry.earlier) index(row);
    index(entry.node);
  }

  pugi::xml_node sheet_data_;
  std::vector<Entry> rows_;     // the document's rows, by number
  std::map<int, Entry> added_;  // rows added since
};

void SetAttr(pugi::xml_node node, const char* name, const char* value) {
  if (!node.attribute(name)) node.append_attribute(name);
  node.attribute(name).set_value(value);
}

void WriteValue(pugi::xml_node c, const host::Value& value) {
  while (pugi::xml_node child = c.first_child()) c.remove_child(child);
  c.remove_attribute("t");
  const std::string prefix = [&] {
    const std::string_view name = c.name();
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon + 1));
  }();
  auto add_v = [&](const std::string& text) {
    c.append_child((prefix + "v").c_str()).text().set(text.c_str());
  };
  switch (value.kind()) {
    case host::ValueKind::kEmpty:
      break;
    case host::ValueKind::kNumber:
    case host::ValueKind::kDate:
      add_v(NumberText(value.number()));
      break;
    case host::ValueKind::kText: {
      SetAttr(c, "t", "inlineStr");
      pugi::xml_node t =
          c.append_child((prefix + "is").c_str()).append_child((prefix + "t").c_str());
      t.append_attribute("xml:space").set_value("preserve");
      t.text().set(EncodeEscapes(value.text()).c_str());
      break;
    }
    case host::ValueKind::kLogical:
      SetAttr(c, "t", "b");
      add_v(value.logical() ? "1" : "0");
      break;
    case host::ValueKind::kError:
      SetAttr(c, "t", "e");
      add_v(host::CellErrorText(value.error()));
      break;
  }
}

memhost::Fill Normal(const memhost::Fill& fill) {
  return fill.pattern == host::kPatternNone ? memhost::Fill{} : fill;
}

}  // namespace

namespace {

// The sheet's rows and cells, indexed on first use: indexing adds <sheetData> when it is missing
// and numbers the rows that lack a number, so it is done only when a cell or a row changes.
class LazyCellIndex {
 public:
  explicit LazyCellIndex(pugi::xml_node root) : root_(root) {}
  CellIndex& operator*() {
    if (!index_) index_.emplace(EnsureChild(root_, kNsMain, "sheetData", kWorksheetOrder, "x"));
    return *index_;
  }
  CellIndex* operator->() { return &**this; }

 private:
  pugi::xml_node root_;
  std::optional<CellIndex> index_;
};

// A cell whose value or format differs between two states of the sheet.
struct CellChange {
  memhost::CellKey key;
  const memhost::CellData* after;
  bool value_changed;
  bool format_changed;
};

// The cells whose values, fills or number formats differ, by row and column.
std::vector<CellChange> ChangedCells(const memhost::SheetData& before,
                                     const memhost::SheetData& after) {
  std::vector<CellChange> changes;
  static const memhost::CellData kBlank;
  auto b = before.cells.begin();
  auto a = after.cells.begin();
  while (b != before.cells.end() || a != after.cells.end()) {
    memhost::CellKey key;
    const memhost::CellData* old_cell = &kBlank;
    const memhost::CellData* new_cell = &kBlank;
    if (a == after.cells.end() || (b != before.cells.end() && b->first < a->first)) {
      key = b->first;
      old_cell = &(b++)->second;
    } else if (b == before.cells.end() || a->first < b->first) {
      key = a->first;
      new_cell = &(a++)->second;
    } else {
      key = a->first;
      old_cell = &(b++)->second;
      new_cell = &(a++)->second;
    }
    const bool value_changed = !(old_cell->value == new_cell->value);
    const bool format_changed = Normal(old_cell->fill) != Normal(new_cell->fill) ||
                                old_cell->number_format != new_cell->number_format;
    if (value_changed || format_changed) {
      changes.push_back({key, new_cell, value_changed, format_changed});
    }
  }
  return changes;
}

// Writes a change into the cell's element.
void EditCell(pugi::xml_node c, const CellChange& change, StyleTable& styles) {
  if (change.value_changed) WriteValue(c, change.after->value);
  if (change.format_changed) {
    const int base = c.attribute("s").as_int(0);
    const int style = styles.StyleFor(base, change.after->fill, change.after->number_format);
    if (style == 0) {
      c.remove_attribute("s");
    } else {
      SetAttr(c, "s", std::to_string(style).c_str());
    }
  }
}

// Values, fills and number formats; returns whether any changed.
bool UpdateCells(LazyCellIndex& cells, const memhost::SheetData& before,
                 const memhost::SheetData& after, StyleTable& styles) {
  const std::vector<CellChange> changes = ChangedCells(before, after);
  for (const CellChange& change : changes) {
    EditCell(cells->Cell(change.key.first, change.key.second), change, styles);
  }
  return !changes.empty();
}

// Hidden rows and row heights; returns whether any changed.
bool UpdateRows(LazyCellIndex& cells, const memhost::SheetData& before,
                const memhost::SheetData& after) {
  bool changed = false;
  std::set<int> rows;
  for (int r : before.hidden_rows) rows.insert(r);
  for (int r : after.hidden_rows) rows.insert(r);
  for (const auto& [r, h] : before.row_heights) rows.insert(r);
  for (const auto& [r, h] : after.row_heights) rows.insert(r);
  for (int r : rows) {
    const bool hidden = after.hidden_rows.count(r) != 0;
    const bool was_hidden = before.hidden_rows.count(r) != 0;
    const double height = after.RowHeight(r);
    const bool height_changed = height != before.RowHeight(r);
    if (hidden == was_hidden && !height_changed) continue;
    changed = true;
    pugi::xml_node row = cells->Row(r);
    if (hidden) {
      SetAttr(row, "hidden", "1");
    } else {
      row.remove_attribute("hidden");
    }
    if (height_changed) {
      SetAttr(row, "ht", NumberText(height).c_str());
      SetAttr(row, "customHeight", "1");
    }
  }
  return changed;
}

// Column widths: the columns are rewritten as a whole when a width changed (returns whether one
// did).
bool UpdateColumns(pugi::xml_node root, const memhost::SheetData& before,
                   const memhost::SheetData& after) {
  if (before.column_widths == after.column_widths) return false;
  if (pugi::xml_node old_cols = Child(root, kNsMain, "cols")) root.remove_child(old_cols);
  if (!after.column_widths.empty()) {
    pugi::xml_node cols = EnsureChild(root, kNsMain, "cols", kWorksheetOrder, "x");
    const std::string name = QualifiedName(cols, kNsMain, "col", "x");
    for (const auto& [column, points] : after.column_widths) {
      pugi::xml_node col = cols.append_child(name.c_str());
      col.append_attribute("min").set_value(column);
      col.append_attribute("max").set_value(column);
      col.append_attribute("width").set_value(NumberText(PointsToWidth(points)).c_str());
      if (points == 0) col.append_attribute("hidden").set_value(1);
      col.append_attribute("customWidth").set_value(1);
    }
  }
  return true;
}

}  // namespace

bool UpdateWorksheet(pugi::xml_document& doc, const memhost::SheetData& before,
                     const memhost::SheetData& after, StyleTable& styles) {
  pugi::xml_node root = doc.document_element();
  LazyCellIndex cells(root);
  const bool cells_changed = UpdateCells(cells, before, after, styles);
  const bool rows_changed = UpdateRows(cells, before, after);
  const bool columns_changed = UpdateColumns(root, before, after);
  return cells_changed || rows_changed || columns_changed;
}

namespace {

bool IsNameEnd(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>';
}

// The qualified name of the element whose name begins at `at` (just after its '<'); empty unless
// a '<' comes just before it.
std::string_view ElementNameAt(std::string_view text, std::size_t at) {
  if (at == 0 || at >= text.size() || text[at - 1] != '<') return {};
  std::size_t end = at;
  while (end < text.size() && !IsNameEnd(text[end])) ++end;
  return end < text.size() ? text.substr(at, end - at) : std::string_view();
}

// The offset of the '>' that ends the tag begun before `from`, skipping quoted attribute values.
std::size_t TagEnd(std::string_view text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == '"' || text[i] == '\'') {
      i = text.find(text[i], i + 1);
      if (i == std::string_view::npos) return i;
    } else if (text[i] == '>') {
      return i;
    }
  }
  return std::string_view::npos;
}

// Whether `text` holds an element of that qualified name ("<name" then the name's end).
bool HoldsElement(std::string_view text, std::string_view name) {
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
    if (text.compare(at + 1, name.size(), name) == 0 && at + 1 + name.size() < text.size() &&
        IsNameEnd(text[at + 1 + name.size()])) {
      return true;
    }
  }
  return false;
}

// The offset just past the end of the element whose name begins at `at`: past its "/>", or past
// its end tag. npos when the element holds another of its name, where the first end tag found
// would not be its own.
std::size_t ElementEnd(std::string_view text, std::size_t at, std::string_view name) {
  const std::size_t tag_end = TagEnd(text, at + name.size());
  if (tag_end == std::string_view::npos) return tag_end;
  if (text[tag_end - 1] == '/') return tag_end + 1;
  for (std::size_t close = text.find("</", tag_end); close != std::string_view::npos;
       close = text.find("</", close + 2)) {
    if (text.compare(close + 2, name.size(), name) != 0) continue;
    std::size_t end = close + 2 + name.size();
    while (end < text.size() &&
           (text[end] == ' ' || text[end] == '\t' || text[end] == '\r' || text[end] == '\n')) {
      ++end;
    }
    if (end >= text.size() || text[end] != '>') continue;
    if (HoldsElement(text.substr(tag_end, close - tag_end), name)) return std::string_view::npos;
    return end + 1;
  }
  return std::string_view::npos;
}

std::string_view LocalOf(std::string_view qualified_name) {
  const std::size_t colon = qualified_name.find(':');
  return colon == std::string_view::npos ? qualified_name : qualified_name.substr(colon + 1);
}

// Whether the text is UTF-8 as it stands, so that the parser's offsets are offsets into it: no
// byte order mark but UTF-8's, and no other encoding declared.
bool PlainUtf8(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  if (text.empty() || text[0] != '<' || text.substr(0, 4).find('\0') != std::string_view::npos) {
    return false;  // UTF-16 or UTF-32 too
  }
  if (text.substr(0, 5) != "<?xml") return true;
  const std::string_view declaration = text.substr(0, text.find("?>"));
  const std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return true;
  const std::size_t quote = declaration.find_first_of("\"'", at);
  if (quote == std::string_view::npos) return false;
  std::string value(declaration.substr(quote + 1, 5));
  for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return value == "utf-8" && quote + 6 < declaration.size() &&
         declaration[quote + 6] == declaration[quote];
}

// Where the content of the element named `name` that begins at `from` ends: at its end tag. npos
// when the content holds a comment, a section or an instruction (whose text could hide a tag), or
// an element of the same name.
std::size_t ContentEnd(std::string_view text, std::size_t from, std::string_view name) {
  for (std::size_t at = text.find('<', from); at != std::string_view::npos;
       at = text.find('<', at + 1)) {
    const char next = at + 1 < text.size() ? text[at + 1] : '\0';
    if (next == '!' || next == '?') return std::string_view::npos;
    const bool closing = next == '/';
    const std::size_t name_at = at + (closing ? 2 : 1);
    if (name_at >= text.size() || text[name_at] != name[0] ||
        text.compare(name_at, name.size(), name) != 0) {
      continue;
    }
    std::size_t end = name_at + name.size();
    if (end >= text.size() || !IsNameEnd(text[end])) continue;
    if (!closing) return std::string_view::npos;
    while (end < text.size() && text[end] != '>' && text[end] != '/' && IsNameEnd(text[end])) ++end;
    return end < text.size() && text[end] == '>' ? at : std::string_view::npos;
  }
  return std::string_view::npos;
}

}  // namespace

std::optional<SplicedWorksheet> SpliceCellEdits(std::string_view text, const CellOffsets& offsets,
                                                const memhost::SheetData& before,
                                                const memhost::SheetData& after,
                                                StyleTable& styles) {
  // Rows and columns are edited in the whole document.
  if (before.hidden_rows != after.hidden_rows || before.row_heights != after.row_heights ||
      before.column_widths != after.column_widths || offsets.sheet_data < 0) {
    return std::nullopt;
  }
  // The content of <sheetData>, with no comments, sections or instructions, whose text could
  // hide a tag.
  const auto data_at = static_cast<std::size_t>(offsets.sheet_data);
  const std::string_view data_name = ElementNameAt(text, data_at);
  if (LocalOf(data_name) != "sheetData" || !PlainUtf8(text)) return std::nullopt;
  const std::size_t data_tag_end = TagEnd(text, data_at + data_name.size());
  if (data_tag_end == std::string_view::npos || text[data_tag_end - 1] == '/') return std::nullopt;
  const std::size_t content_begin = data_tag_end + 1;
  const std::size_t content_end = ContentEnd(text, content_begin, data_name);
  if (content_end == std::string_view::npos) return std::nullopt;
  const std::string_view content = text.substr(content_begin, content_end - content_begin);

  // Each changed cell must be an element of the text, with its reference.
  std::vector<std::pair<memhost::CellKey, std::ptrdiff_t>> sorted;
  const auto* cells = &offsets.cells;
  const auto by_key = [](const auto& x, const auto& y) { return x.first < y.first; };
  if (!std::is_sorted(cells->begin(), cells->end(), by_key)) {
    sorted = *cells;
    std::stable_sort(sorted.begin(), sorted.end(), by_key);
    cells = &sorted;
  }
  const std::vector<CellChange> changes = ChangedCells(before, after);
  struct Edit {
    std::size_t begin, end;
    const CellChange* change;
    std::string text;
  };
  std::vector<Edit> edits;
  edits.reserve(changes.size());
  for (const CellChange& change : changes) {
    // The last element read for the cell is the one the model holds.
    const auto it = std::upper_bound(
        cells->begin(), cells->end(), change.key,
        [](const memhost::CellKey& key, const auto& entry) { return key < entry.first; });
    if (it == cells->begin() || std::prev(it)->first != change.key) return std::nullopt;
    const auto at = static_cast<std::size_t>(std::prev(it)->second);
    if (at <= content_begin || at >= content_end) return std::nullopt;
    const std::string_view name = ElementNameAt(text, at);
    if (LocalOf(name) != "c") return std::nullopt;
    const std::size_t end = ElementEnd(text, at, name);
    if (end == std::string_view::npos || end > content_end) return std::nullopt;
    edits.push_back({at - 1, end, &change, {}});
  }
  std::sort(edits.begin(), edits.end(),
            [](const Edit& x, const Edit& y) { return x.begin < y.begin; });
  for (std::size_t i = 1; i < edits.size(); ++i) {
    if (edits[i].begin < edits[i - 1].end) return std::nullopt;
  }
  // The cells are parsed together, edited and written one by one as the whole document would write
  // them. The styles are asked for in the order of the cells, as the document's edits ask for them.
  std::string fragments = "<cells>";
  for (const Edit& edit : edits) fragments.append(text.substr(edit.begin, edit.end - edit.begin));
  fragments += "</cells>";
  pugi::xml_document document;
  if (!document.load_buffer_inplace(fragments.data(), fragments.size(),
                                    pugi::parse_default | pugi::parse_ws_pcdata,
                                    pugi::encoding_utf8)) {
    return std::nullopt;
  }
  std::vector<pugi::xml_node> nodes;
  nodes.reserve(edits.size());
  for (pugi::xml_node node = document.first_child().first_child(); node;
       node = node.next_sibling()) {
    if (nodes.size() == edits.size() || node.type() != pugi::node_element ||
        ElementNameAt(text, edits[nodes.size()].begin + 1) != node.name() ||
        ParseCellRef(node.attribute("r").value()) != edits[nodes.size()].change->key) {
      return std::nullopt;
    }
    nodes.push_back(node);
  }
  if (nodes.size() != edits.size()) return std::nullopt;
  std::vector<std::size_t> by_cell(edits.size());
  for (std::size_t i = 0; i < by_cell.size(); ++i) by_cell[i] = i;
  std::sort(by_cell.begin(), by_cell.end(), [&](std::size_t x, std::size_t y) {
    return edits[x].change->key < edits[y].change->key;
  });
  for (const std::size_t i : by_cell) EditCell(nodes[i], *edits[i].change, styles);

  SplicedWorksheet spliced;
  spliced.changed = !edits.empty();
  spliced.skeleton.reserve(text.size() - content.size());
  spliced.skeleton.append(text.substr(0, content_begin)).append(text.substr(content_end));
  std::size_t copied = content_begin;
  for (std::size_t i = 0; i < edits.size(); ++i) {
    spliced.pieces.push_back({copied, edits[i].begin, NodeText(nodes[i])});
    copied = edits[i].end;
  }
  spliced.pieces.push_back({copied, content_end, {}});
  spliced.content_size = content.size();
  return spliced;
}

void SetDrawingReference(pugi::xml_document& doc, const char* element, const std::string& id) {
  pugi::xml_node root = doc.document_element();
  if (id.empty()) {
    if (pugi::xml_node node = Child(root, kNsMain, element)) root.remove_child(node);
    return;
  }
  pugi::xml_node node = EnsureChild(root, kNsMain, element, kWorksheetOrder, "x");
  const std::string name = QualifiedName(node, kNsRel, "id", "r", true);
  if (!node.attribute(name.c_str())) node.append_attribute(name.c_str());
  node.attribute(name.c_str()).set_value(id.c_str());
}

std::string NewWorksheetXml() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
         "<sheetData/><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
         "header=\"0.3\" footer=\"0.3\"/></worksheet>";
}

}  // namespace quorvane::xlsx
