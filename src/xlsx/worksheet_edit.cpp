// The model's changes written into a worksheet document: values, number formats and fills of
// cells, hidden rows, row heights and column widths, and the references to the drawings.
#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "host/range.h"
#include "host/value.h"
#include "xlsx/cell_ref.h"
#include "xlsx/worksheet.h"
#include "xlsx/worksheet_edit.h"
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

double PointsToWidth(double points) { return points / 0.75 / 7; }

std::string NumberText(double number) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, number);
  return ec == std::errc() ? std::string(buffer, end) : "0";
}

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

}  // namespace

// The cells whose values, fills or number formats differ, by row and column.
std::vector<CellChange> ChangedCells(const memhost::SheetData& before,
                                     const memhost::SheetData& after) {
  std::vector<CellChange> changes;
  static const memhost::CellData kBlank;
  const auto compare = [&](const memhost::CellKey& key, const memhost::CellData* old_cell,
                           const memhost::CellData* new_cell) {
    const bool value_changed = !(old_cell->value == new_cell->value);
    const bool format_changed = Normal(old_cell->fill) != Normal(new_cell->fill) ||
                                old_cell->number_format != new_cell->number_format;
    if (value_changed || format_changed) {
      changes.push_back({key, new_cell, value_changed, format_changed});
    }
  };
  // Only the cells changed since loading can differ from their state as loaded.
  if (const auto* originals = after.cells.originals()) {
    for (const auto& [key, original] : *originals) {
      const memhost::CellData* now = after.Find(key.first, key.second);
      compare(key, original ? &*original : &kBlank, now != nullptr ? now : &kBlank);
    }
    return changes;
  }
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
    compare(key, old_cell, new_cell);
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

namespace {

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

std::optional<bool> UpdateNewWorksheet(pugi::xml_document& doc, const memhost::SheetData& before,
                                       const memhost::SheetData& after, StyleTable& styles,
                                       NewElements& rows) {
  pugi::xml_node root = doc.document_element();
  pugi::xml_node sheet_data = Child(root, kNsMain, "sheetData");
  if (!sheet_data || sheet_data.first_child() || !before.cells.empty() ||
      before.hidden_rows != after.hidden_rows || before.row_heights != after.row_heights) {
    return std::nullopt;
  }
  // A cell differs from the blank one the sheet held when it has a value or a format.
  static const memhost::CellData kBlank;
  const auto value_changed = [](const memhost::CellData& cell) {
    return !(kBlank.value == cell.value);
  };
  const auto format_changed = [](const memhost::CellData& cell) {
    return Normal(cell.fill) != Normal(kBlank.fill) || cell.number_format != kBlank.number_format;
  };
  std::size_t changed = 0;
  for (const auto& [key, cell] : after.cells) {
    if (value_changed(cell) || format_changed(cell)) ++changed;
  }
  if (changed == 0) return UpdateColumns(root, before, after);

  // The elements as the document would write them had each cell been added to it: a row element
  // for each row, the cells with their reference, then "t", then "s".
  const std::string row_name = QualifiedName(sheet_data, kNsMain, "row", "x");
  const std::string cell_name = QualifiedName(sheet_data, kNsMain, "c", "x");
  const std::size_t colon = cell_name.find(':');
  const std::string prefix =
      colon == std::string::npos ? std::string() : cell_name.substr(0, colon + 1);
  UpdateColumns(root, before, after);
  rows.parent = sheet_data;
  rows.size_hint = changed * 48;
  rows.write = [&after, &styles, value_changed, format_changed, row_name, cell_name,
                prefix](std::string& out) {
    int row = 0;
    for (const auto& [key, cell] : after.cells) {
      const bool new_value = value_changed(cell);
      const bool new_format = format_changed(cell);
      if (!new_value && !new_format) continue;
      if (key.first != row) {
        if (row != 0) Append(out, {"</", row_name, ">"});
        row = key.first;
        char number[16];
        const auto end = std::to_chars(number, number + sizeof number, row).ptr;
        Append(out, {"<", row_name, " r=\"", std::string_view(number, end - number), "\">"});
      }
      Append(out, {"<", cell_name, " r=\"", CellRef(key.first, key.second), "\""});
      const host::Value& value = cell.value;
      const host::ValueKind kind = new_value ? value.kind() : host::ValueKind::kEmpty;
      if (kind == host::ValueKind::kText) {
        out += " t=\"inlineStr\"";
      } else if (kind == host::ValueKind::kLogical) {
        out += " t=\"b\"";
      } else if (kind == host::ValueKind::kError) {
        out += " t=\"e\"";
      }
      if (new_format) {
        const int style = styles.StyleFor(0, cell.fill, cell.number_format);
        if (style != 0) Append(out, {" s=\"", std::to_string(style), "\""});
      }
      const auto add_v = [&](std::string_view text) {
        Append(out, {"><", prefix, "v>"});
        AppendEscaped(out, text);
        Append(out, {"</", prefix, "v></", cell_name, ">"});
      };
      switch (kind) {
        case host::ValueKind::kEmpty:
          out += "/>";
          break;
        case host::ValueKind::kNumber:
        case host::ValueKind::kDate:
          add_v(NumberText(value.number()));
          break;
        case host::ValueKind::kText:
          Append(out, {"><", prefix, "is><", prefix, "t xml:space=\"preserve\">"});
          AppendEscaped(out, EncodeEscapes(value.text()));
          Append(out, {"</", prefix, "t></", prefix, "is></", cell_name, ">"});
          break;
        case host::ValueKind::kLogical:
          add_v(value.logical() ? "1" : "0");
          break;
        case host::ValueKind::kError:
          add_v(host::CellErrorText(value.error()));
          break;
      }
    }
    if (row != 0) Append(out, {"</", row_name, ">"});
  };
  return true;
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
