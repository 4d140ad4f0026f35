// The floor for a comparison on workbook files: the least a program must do to reconcile two lists
// of numbers held in one workbook and write the marks back. It reads the numbers of two worksheet
// parts, counts them in a hash map, fills every cell whose amount does not occur as often in the
// other list, and writes for each such cell a note (comments and VML parts) and a small rectangle
// (a drawing part), all as text; new parts are deflated at level 1, the others copied as stored,
// and the file is flushed to the disk. No options, no diagnosis, no checks a real tool needs: the
// benchmark measures the full tool against it.
//
// usage: xlsx_floor IN.xlsx OUT.xlsx SHEET1_PART SHEET2_PART
#include <fcntl.h>
#include <unistd.h>
#include <zip.h>
#include <pugixml.hpp>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "xlsx_floor: %s\n", what.c_str());
  std::exit(1);
}

std::string ReadPart(zip_t* zip, const std::string& name) {
  zip_stat_t st;
  if (zip_stat(zip, name.c_str(), 0, &st) != 0) Die("no part " + name);
  std::string bytes(st.size, '\0');
  zip_file_t* f = zip_fopen(zip, name.c_str(), 0);
  if (!f || zip_fread(f, bytes.data(), st.size) != static_cast<zip_int64_t>(st.size))
    Die("cannot read " + name);
  zip_fclose(f);
  return bytes;
}

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

std::string Ref(int row, int column) {
  std::string letters;
  for (int c = column; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), 'A' + (c - 1) % 26);
  return letters + std::to_string(row);
}

struct Writer : pugi::xml_writer {
  std::string out;
  void write(const void* data, std::size_t size) override {
    out.append(static_cast<const char*>(data), size);
  }
};

std::string Text(const pugi::xml_document& doc) {
  Writer w;
  doc.save(w, "", pugi::format_raw);
  return std::move(w.out);
}

// The new parts of one sheet: the sheet itself, its relationships, notes, VML and drawing.
void MarkSheet(pugi::xml_document& sheet, const std::vector<Cell>& marked, int number,
               std::map<std::string, std::string>& parts) {
  const std::string n = std::to_string(number);
  std::string comments =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<comments "
      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><authors><author>"
      "floor</author></authors><commentList>";
  std::string vml =
      "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" "
      "xmlns:o=\"urn:schemas-microsoft-com:office:office\" "
      "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"><o:shapelayout v:ext=\"edit\"><o:idmap "
      "v:ext=\"edit\" data=\"" +
      n +
      "\"/></o:shapelayout><v:shapetype id=\"_x0000_t202\" coordsize=\"21600,21600\" "
      "o:spt=\"202\" path=\"m,l,21600r21600,l21600,xe\"><v:stroke joinstyle=\"miter\"/><v:path "
      "gradientshapeok=\"t\" o:connecttype=\"rect\"/></v:shapetype>";
  std::string drawing =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<xdr:wsDr "
      "xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
      "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\">";
  char buffer[1600];
  int shape = 1024 * number;
  for (const Cell& cell : marked) {
    cell.node.remove_attribute("s");
    cell.node.append_attribute("s") = 1;
    const std::string ref = Ref(cell.row, cell.column);
    comments += "<comment ref=\"" + ref +
                "\" authorId=\"0\"><text><t xml:space=\"preserve\">No partner for this amount in "
                "the other list.\nRounding: none. Transposed digits: none.</t></text></comment>";
    const double top = (cell.row - 1) * 15.0;
    ++shape;
    std::snprintf(buffer, sizeof buffer,
                  "<v:shape id=\"_x0000_s%d\" type=\"#_x0000_t202\" "
                  "style=\"position:absolute;margin-left:%.2fpt;margin-top:%.2fpt;width:108pt;"
                  "height:59.25pt;z-index:%d;visibility:hidden\" fillcolor=\"#ffffe1\" "
                  "o:insetmode=\"auto\"><v:fill color2=\"#ffffe1\"/><v:shadow on=\"t\" "
                  "color=\"black\" obscured=\"t\"/><v:path o:connecttype=\"none\"/><v:textbox "
                  "style=\"mso-direction-alt:auto\"><div style=\"text-align:left\"/></v:textbox>"
                  "<x:ClientData ObjectType=\"Note\"><x:MoveWithCells/><x:SizeWithCells/>"
                  "<x:Anchor>%d, 15, %d, 2, %d, 15, %d, 4</x:Anchor><x:AutoFill>False</x:AutoFill>"
                  "<x:Row>%d</x:Row><x:Column>%d</x:Column></x:ClientData></v:shape>",
                  shape, cell.column * 48.0 + 11.25, top + 1.5, shape % 1024, cell.column,
                  cell.row > 1 ? cell.row - 2 : 0, cell.column + 2,
                  (cell.row > 1 ? cell.row - 2 : 0) + 4, cell.row - 1, cell.column - 1);
    vml += buffer;
    const long long x = std::llround((cell.column - 1) * 48.0 * 12700);
    const long long y = std::llround(top * 12700);
    std::snprintf(
        buffer, sizeof buffer,
        "<xdr:oneCellAnchor><xdr:from><xdr:col>%d</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>%d"
        "</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:ext cx=\"228600\" cy=\"101600\"/>"
        "<xdr:sp macro=\"\" textlink=\"\"><xdr:nvSpPr><xdr:cNvPr id=\"%d\" name=\"Rectangle %d\"/>"
        "<xdr:cNvSpPr/></xdr:nvSpPr><xdr:spPr><a:xfrm><a:off x=\"%lld\" y=\"%lld\"/><a:ext "
        "cx=\"228600\" cy=\"101600\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom>"
        "<a:solidFill><a:srgbClr val=\"FFFF00\"/></a:solidFill><a:ln w=\"3175\"><a:solidFill>"
        "<a:srgbClr val=\"000000\"/></a:solidFill></a:ln></xdr:spPr><xdr:txBody><a:bodyPr "
        "vertOverflow=\"clip\" wrap=\"square\" lIns=\"0\" tIns=\"0\" rIns=\"0\" bIns=\"0\" "
        "rtlCol=\"0\" anchor=\"t\"/><a:lstStyle/><a:p><a:pPr algn=\"ctr\"/><a:r><a:rPr "
        "lang=\"en-US\" sz=\"600\"/><a:t>R</a:t></a:r></a:p></xdr:txBody></xdr:sp>"
        "<xdr:clientData/></xdr:oneCellAnchor>",
        cell.column - 1, cell.row - 1, shape % 1024 + 1, shape % 1024, x, y);
    drawing += buffer;
  }
  parts["xl/comments" + n + ".xml"] = comments + "</commentList></comments>";
  parts["xl/drawings/vmlDrawing" + n + ".vml"] = vml + "</xml>";
  parts["xl/drawings/drawing" + n + ".xml"] = drawing + "</xdr:wsDr>";
  parts["xl/worksheets/_rels/sheet" + n + ".xml.rels"] =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
      "Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
      "comments\" Target=\"../comments" +
      n +
      ".xml\"/><Relationship Id=\"rId2\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/vmlDrawing\" "
      "Target=\"../drawings/vmlDrawing" +
      n +
      ".vml\"/><Relationship Id=\"rId3\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/drawing\" "
      "Target=\"../drawings/drawing" +
      n + ".xml\"/></Relationships>";
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
    const std::string text = ReadPart(in, names[s]);
    if (!sheets[s].load_buffer(text.data(), text.size())) Die("malformed " + names[s]);
    cells[s] = Numbers(sheets[s]);
    for (const Cell& cell : cells[s]) counts[cell.cents] += s == 0 ? 1 : -1;
  }
  std::map<std::string, std::string> parts;
  std::string types = ReadPart(in, "[Content_Types].xml");
  std::string overrides;
  for (int s = 0; s < 2; ++s) {
    std::vector<Cell> marked;
    for (const Cell& cell : cells[s]) {
      if (counts[cell.cents] != 0) marked.push_back(cell);
    }
    MarkSheet(sheets[s], marked, s + 1, parts);
    parts[names[s]] = Text(sheets[s]);
    const std::string n = std::to_string(s + 1);
    overrides +=
        "<Override PartName=\"/xl/comments" + n +
        ".xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.comments+xml\"/><Override "
        "PartName=\"/xl/drawings/drawing" +
        n + ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.drawing+xml\"/>";
  }
  types.insert(types.rfind("</Types>"),
               "<Default Extension=\"vml\" "
               "ContentType=\"application/vnd.openxmlformats-officedocument.vmlDrawing\"/>" +
                   overrides);
  parts["[Content_Types].xml"] = types;
  // One solid yellow fill and a cell style using it, at index 1 (the workload's cells use 0).
  {
    std::string styles = ReadPart(in, "xl/styles.xml");
    pugi::xml_document doc;
    doc.load_buffer(styles.data(), styles.size());
    pugi::xml_node fills = doc.document_element().child("fills");
    pugi::xml_node fill = fills.append_child("fill").append_child("patternFill");
    fill.append_attribute("patternType") = "solid";
    fill.append_child("fgColor").append_attribute("rgb") = "FFFFFF00";
    fill.append_child("bgColor").append_attribute("indexed") = 64;
    fills.attribute("count") = static_cast<int>(std::distance(fills.begin(), fills.end()));
    pugi::xml_node xfs = doc.document_element().child("cellXfs");
    pugi::xml_node xf = xfs.append_copy(xfs.first_child());
    xf.attribute("fillId") = static_cast<int>(std::distance(fills.begin(), fills.end())) - 1;
    xf.append_attribute("applyFill") = 1;
    xfs.attribute("count") = static_cast<int>(std::distance(xfs.begin(), xfs.end()));
    parts["xl/styles.xml"] = Text(doc);
  }

  const std::string temp = std::string(argv[2]) + ".tmp";
  zip_t* out = zip_open(temp.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!out) Die("cannot create " + temp);
  const zip_int64_t entries = zip_get_num_entries(in, 0);
  for (zip_int64_t i = 0; i < entries; ++i) {
    const std::string name = zip_get_name(in, static_cast<zip_uint64_t>(i), 0);
    if (parts.count(name)) continue;
    zip_source_t* copy = zip_source_zip(out, in, static_cast<zip_uint64_t>(i), 0, 0, -1);
    if (!copy || zip_file_add(out, name.c_str(), copy, 0) < 0) Die("cannot copy " + name);
  }
  for (const auto& [name, bytes] : parts) {
    zip_source_t* source = zip_source_buffer(out, bytes.data(), bytes.size(), 0);
    const zip_int64_t index = source ? zip_file_add(out, name.c_str(), source, 0) : -1;
    if (index < 0 ||
        zip_set_file_compression(out, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1) != 0)
      Die("cannot add " + name);
  }
  if (zip_close(out) != 0) Die("cannot write " + temp);
  zip_close(in);
  const int fd = ::open(temp.c_str(), O_RDONLY);
  if (fd < 0 || ::fsync(fd) != 0 || ::close(fd) != 0 || std::rename(temp.c_str(), argv[2]) != 0)
    Die("cannot flush " + temp);
  std::size_t marks = 0;
  for (const auto& list : cells) {
    for (const Cell& cell : list) marks += counts[cell.cents] != 0;
  }
  std::printf("%zu cells marked\n", marks);
  return 0;
}
