// Changed cells written into a worksheet's text as loaded: the edited cells are cut out of the
// text, edited as elements and put back, and the rest of the text is copied as it is.
#include "xlsx/cell_splice.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

#include "xlsx/cell_ref.h"
#include "xlsx/worksheet_edit.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

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
  if (LocalName(data_name) != "sheetData" || !PlainUtf8(text)) return std::nullopt;
  const std::size_t data_tag_end = TagEnd(text, data_at + data_name.size());
  if (data_tag_end == std::string_view::npos || text[data_tag_end - 1] == '/') return std::nullopt;
  const std::size_t content_begin = data_tag_end + 1;
  const std::size_t content_end = ContentEnd(text, content_begin, data_name);
  if (content_end == std::string_view::npos) return std::nullopt;
  const std::string_view content = text.substr(content_begin, content_end - content_begin);

  // Each changed cell must be an element of the text, with its reference.
  std::vector<std::pair<memhost::CellKey, std::int32_t>> sorted;
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
    if (LocalName(name) != "c") return std::nullopt;
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

}  // namespace quorvane::xlsx
