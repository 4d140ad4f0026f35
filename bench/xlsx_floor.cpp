// The floor for a comparison on workbook files: the least a program must do to reconcile two lists
// of numbers held in one workbook and write the marks back. It reads the numbers of two worksheet
// parts, counts them in a hash map, fills every cell whose amount does not occur as often in the
// other list, and writes for each such cell a note (comments and VML parts) and a small rectangle
// (a drawing part), all as text; read parts are inflated and new parts deflated by libdeflate (its
// fastest level), the others copied as stored, and the file is flushed to the disk. No options, no
// diagnosis, no checks a real tool needs: the benchmark measures the full tool against it.
//
// usage: xlsx_floor IN.xlsx OUT.xlsx SHEET1_PART SHEET2_PART
#include <charconv>
#include <string_view>
#include <unordered_map>

#include "floor_parts.h"

namespace {

using bench_floor::Die;
using bench_floor::Mark;

struct Cell {
  mutable pugi::xml_node node;  // a handle: marking the cell changes the document
  int row = 0, column = 0;
  long long cents = 0;
};

std::vector<Cell> Numbers(pugi::xml_document& doc) {
  std::vector<Cell> cells;
  pugi::xml_node data = doc.document_element().child("sheetData");
  for (pugi::xml_node row : data.children("row")) {
    const int r = row.attribute("r").as_int();
    for (pugi::xml_node c : row.children("c")) {
      const char* text = c.child("v").text().get();
      double value = 0;
      const std::string_view v(text);
      if (v.empty() || std::from_chars(v.data(), v.data() + v.size(), value).ec != std::errc())
        continue;
      int column = 0;
      for (const char* p = c.attribute("r").value(); *p >= 'A' && *p <= 'Z'; ++p)
        column = column * 26 + (*p - 'A' + 1);
      cells.push_back({c, r, column, std::llround(value * 100)});
    }
  }
  return cells;
}

// The new parts of one sheet: the sheet itself with its marks, its relationships, notes, VML and
// drawing.
void MarkSheet(pugi::xml_document& sheet, const std::vector<Cell>& marked, int number,
               std::map<std::string, std::string>& parts) {
  std::vector<Mark> marks;
  marks.reserve(marked.size());
  for (const Cell& cell : marked) {
    cell.node.remove_attribute("s");
    cell.node.append_attribute("s") = 1;
    marks.push_back({cell.row, cell.column});
  }
  bench_floor::NoteParts(marks, number, parts);
  pugi::xml_node root = sheet.document_element();
  root.append_attribute("xmlns:r") =
      "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  root.append_child("drawing").append_attribute("r:id") = "rId3";
  root.append_child("legacyDrawing").append_attribute("r:id") = "rId2";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) Die("usage: xlsx_floor IN.xlsx OUT.xlsx SHEET1_PART SHEET2_PART");
  int error = 0;
  zip_t* in = zip_open(argv[1], ZIP_RDONLY, &error);
  if (!in) Die(std::string("cannot open ") + argv[1]);
  const std::string names[2] = {argv[3], argv[4]};
  pugi::xml_document sheets[2];
  std::vector<Cell> cells[2];
  std::unordered_map<long long, int> counts;  // list 1 adds, list 2 takes away
  counts.reserve(32768);
  for (int s = 0; s < 2; ++s) {
    const std::string text = bench_floor::ReadPart(in, names[s]);
    if (!sheets[s].load_buffer(text.data(), text.size())) Die("malformed " + names[s]);
    cells[s] = Numbers(sheets[s]);
    for (const Cell& cell : cells[s]) counts[cell.cents] += s == 0 ? 1 : -1;
  }
  std::map<std::string, std::string> parts;
  std::string types = bench_floor::ReadPart(in, "[Content_Types].xml");
  std::string overrides;
  for (int s = 0; s < 2; ++s) {
    std::vector<Cell> marked;
    for (const Cell& cell : cells[s]) {
      if (counts[cell.cents] != 0) marked.push_back(cell);
    }
    MarkSheet(sheets[s], marked, s + 1, parts);
    parts[names[s]] = bench_floor::Text(sheets[s]);
    overrides += bench_floor::Overrides(s + 1);
  }
  types.insert(types.rfind("</Types>"), bench_floor::VmlDefault() + overrides);
  parts["[Content_Types].xml"] = types;
  // One solid yellow fill and a cell style using it, at index 1 (the workload's cells use 0).
  parts["xl/styles.xml"] = bench_floor::WithFill(bench_floor::ReadPart(in, "xl/styles.xml"));
  bench_floor::WriteArchive(in, parts, argv[2]);
  zip_close(in);
  std::size_t marks = 0;
  for (const auto& list : cells) {
    for (const Cell& cell : list) marks += counts[cell.cents] != 0;
  }
  std::printf("%zu cells marked\n", marks);
  return 0;
}
