// The floor for a comparison of two long lists held in two files: the least a program must do to
// reconcile them and write two marked workbooks. Each input is a CSV file of amounts, one a line in
// its first field, or an .xlsx workbook whose first sheet holds them. It reads the amounts, counts
// them in one open-addressed table (list 1 adds, list 2 takes away), and writes for each input a
// workbook whose sheet holds the same amounts, every cell whose amount does not occur as often in
// the other list filled, with a note (comments and VML parts) and a small rectangle (a drawing
// part) as text. A CSV file's workbook is made from scratch; a workbook's sheet is copied as text
// with the marks put into the marked cells' start tags, its other parts copied as stored. Parts
// are inflated and deflated by libdeflate at its fastest level, and each file is flushed to the
// disk. One thread, no options, no diagnosis, no checks a real tool needs.
//
// usage: long_floor IN1 OUT1.xlsx IN2 OUT2.xlsx   (IN: NAME.csv or NAME.xlsx)
#include <charconv>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string_view>

#include "floor_parts.h"

namespace {

using bench_floor::Die;
using bench_floor::Mark;

// An amount of a list: where its cell or line stands in the input text, and its value in cents.
struct Amount {
  std::size_t at = 0;        // a CSV line's start, or just after a cell's "<c"
  std::uint32_t length = 0;  // a CSV line's length
  int row = 0;
  long long cents = 0;
};

// Counts by amount: open addressing, linear probing, a power-of-two size at most half full.
class Counts {
 public:
  explicit Counts(std::size_t items) {
    std::size_t size = 16;
    while (size < 2 * items) size *= 2;
    slots_.assign(size, Slot{kEmpty, 0});
  }
  int& operator[](long long key) {
    std::size_t i = Hash(key) & (slots_.size() - 1);
    while (slots_[i].key != key && slots_[i].key != kEmpty) i = (i + 1) & (slots_.size() - 1);
    slots_[i].key = key;
    return slots_[i].count;
  }

 private:
  static constexpr long long kEmpty = INT64_MIN;
  struct Slot {
    long long key;
    int count;
  };
  static std::size_t Hash(long long key) {
    return static_cast<std::size_t>((static_cast<std::uint64_t>(key) * 0x9E3779B97F4A7C15ull) >>
                                    20);
  }
  std::vector<Slot> slots_;
};

bool EndsWith(const std::string& s, const char* tail) {
  const std::size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Die("cannot open " + path);
  in.seekg(0, std::ios::end);
  std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

long long Cents(const char* begin, const char* end, bool& ok) {
  double value = 0;
  ok = begin != end && std::from_chars(begin, end, value).ec == std::errc();
  return std::llround(value * 100);
}

// The amounts of a CSV file: the first field of each line.
std::vector<Amount> CsvAmounts(const std::string& text) {
  std::vector<Amount> amounts;
  std::size_t at = 0;
  int row = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::size_t field = end;
    if (field > at && text[field - 1] == '\r') --field;
    const void* comma = std::memchr(text.data() + at, ',', field - at);
    if (comma) field = static_cast<std::size_t>(static_cast<const char*>(comma) - text.data());
    ++row;
    bool ok = false;
    const long long cents = Cents(text.data() + at, text.data() + field, ok);
    if (ok) amounts.push_back({at, static_cast<std::uint32_t>(field - at), row, cents});
    at = end + 1;
  }
  return amounts;
}

// The amounts of a sheet's text, in column A: each cell's "<c" tag and its "<v>" value.
std::vector<Amount> SheetAmounts(const std::string& text) {
  std::vector<Amount> amounts;
  std::size_t at = text.find("<sheetData");
  while ((at = text.find("<c ", at)) != std::string::npos) {
    const std::size_t tag_end = text.find('>', at);
    const std::size_t ref = text.find("r=\"", at);
    int row = 0;
    if (ref < tag_end) {
      const char* p = text.data() + ref + 3;
      while (*p >= 'A' && *p <= 'Z') ++p;
      std::from_chars(p, text.data() + tag_end, row);
    }
    const std::size_t cell_end = text.find("</c>", tag_end);
    const std::size_t v = text.find("<v>", tag_end);
    if (v < cell_end && text[tag_end - 1] != '/') {
      bool ok = false;
      const std::size_t v_end = text.find('<', v + 3);
      const long long cents = Cents(text.data() + v + 3, text.data() + v_end, ok);
      if (ok) amounts.push_back({at + 2, 0, row, cents});
    }
    at = tag_end;
  }
  return amounts;
}

const char kDrawingRefs[] = "<drawing r:id=\"rId3\"/><legacyDrawing r:id=\"rId2\"/>";

// The sheet of a CSV file's amounts, the marked ones filled.
std::string CsvSheet(const std::string& text, const std::vector<Amount>& amounts,
                     const std::vector<char>& marked) {
  std::string sheet =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet "
      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
      "<dimension ref=\"A1:A" +
      std::to_string(amounts.empty() ? 1 : amounts.back().row) + "\"/><sheetData>";
  sheet.reserve(sheet.size() + amounts.size() * 64 + 256);
  char number[16];
  for (std::size_t i = 0; i < amounts.size(); ++i) {
    const char* end = std::to_chars(number, number + sizeof number, amounts[i].row).ptr;
    const std::string_view row(number, static_cast<std::size_t>(end - number));
    sheet += "<row r=\"";
    sheet += row;
    sheet += "\"><c r=\"A";
    sheet += row;
    sheet += marked[i] ? "\" s=\"1\"><v>" : "\"><v>";
    sheet.append(text, amounts[i].at, amounts[i].length);
    sheet += "</v></c></row>";
  }
  sheet += "</sheetData>";
  sheet += kDrawingRefs;
  sheet += "</worksheet>";
  return sheet;
}

// A workbook's sheet text with the marked cells filled and the references to notes and drawing.
std::string MarkedSheet(const std::string& text, const std::vector<Amount>& amounts,
                        const std::vector<char>& marked) {
  std::string sheet;
  sheet.reserve(text.size() + 4096);
  std::size_t copied = 0;
  for (std::size_t i = 0; i < amounts.size(); ++i) {
    if (!marked[i]) continue;
    sheet.append(text, copied, amounts[i].at - copied);
    sheet += " s=\"1\"";
    copied = amounts[i].at;
  }
  const std::size_t close = text.rfind("</worksheet>");
  sheet.append(text, copied, close - copied);
  sheet += kDrawingRefs;
  sheet += "</worksheet>";
  if (text.find("xmlns:r=") == std::string::npos) {
    const std::size_t root = sheet.find("<worksheet") + 10;
    sheet.insert(
        root, " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"");
  }
  return sheet;
}

// The parts of a new workbook of one sheet named `name`, apart from the sheet and its notes.
void NewBook(const std::string& name, std::map<std::string, std::string>& parts) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  parts["[Content_Types].xml"] =
      head +
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default "
      "Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Default "
      "Extension=\"xml\" ContentType=\"application/xml\"/>" +
      bench_floor::VmlDefault() +
      "<Override PartName=\"/xl/workbook.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
      "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
      "<Override PartName=\"/xl/styles.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>" +
      bench_floor::Overrides(1) + "</Types>";
  parts["_rels/.rels"] =
      head +
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
      "Target=\"xl/workbook.xml\"/></Relationships>";
  parts["xl/workbook.xml"] =
      head +
      "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
      "<sheet name=\"" +
      name + "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
  parts["xl/_rels/workbook.xml.rels"] =
      head +
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
      "Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
      "Target=\"styles.xml\"/></Relationships>";
  parts["xl/styles.xml"] =
      head +
      "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
      "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
      "<fills count=\"3\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
      "patternType=\"gray125\"/></fill><fill><patternFill patternType=\"solid\"><fgColor "
      "rgb=\"FFFFFF00\"/><bgColor indexed=\"64\"/></patternFill></fill></fills>"
      "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
      "</cellStyleXfs><cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
      "borderId=\"0\" xfId=\"0\"/><xf numFmtId=\"0\" fontId=\"0\" fillId=\"2\" borderId=\"0\" "
      "xfId=\"0\" applyFill=\"1\"/></cellXfs></styleSheet>";
}

struct List {
  std::string in, out;
  bool csv = false;
  zip_t* zip = nullptr;
  std::string text;  // the CSV file, or the sheet's part
  std::vector<Amount> amounts;
};

const char kSheet[] = "xl/worksheets/sheet1.xml";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) Die("usage: long_floor IN1 OUT1.xlsx IN2 OUT2.xlsx");
  List lists[2];
  for (int s = 0; s < 2; ++s) {
    List& list = lists[s];
    list.in = argv[1 + 2 * s];
    list.out = argv[2 + 2 * s];
    list.csv = EndsWith(list.in, ".csv");
    if (list.csv) {
      list.text = ReadFile(list.in);
      list.amounts = CsvAmounts(list.text);
    } else {
      int error = 0;
      list.zip = zip_open(list.in.c_str(), ZIP_RDONLY, &error);
      if (!list.zip) Die("cannot open " + list.in);
      list.text = bench_floor::ReadPart(list.zip, kSheet);
      list.amounts = SheetAmounts(list.text);
    }
  }
  Counts counts(lists[0].amounts.size() + lists[1].amounts.size());
  for (int s = 0; s < 2; ++s) {
    for (const Amount& a : lists[s].amounts) counts[a.cents] += s == 0 ? 1 : -1;
  }
  std::size_t total = 0;
  for (List& list : lists) {
    std::vector<char> marked(list.amounts.size());
    std::vector<Mark> marks;
    for (std::size_t i = 0; i < list.amounts.size(); ++i) {
      marked[i] = counts[list.amounts[i].cents] != 0;
      if (marked[i]) marks.push_back({list.amounts[i].row, 1});
    }
    total += marks.size();
    std::map<std::string, std::string> parts;
    bench_floor::NoteParts(marks, 1, parts);
    if (list.csv) {
      const std::size_t slash = list.in.find_last_of('/');
      const std::string file = list.in.substr(slash == std::string::npos ? 0 : slash + 1);
      NewBook(file.substr(0, file.size() - 4), parts);
      parts[kSheet] = CsvSheet(list.text, list.amounts, marked);
    } else {
      std::string types = bench_floor::ReadPart(list.zip, "[Content_Types].xml");
      types.insert(types.rfind("</Types>"), bench_floor::VmlDefault() + bench_floor::Overrides(1));
      parts["[Content_Types].xml"] = types;
      parts["xl/styles.xml"] =
          bench_floor::WithFill(bench_floor::ReadPart(list.zip, "xl/styles.xml"));
      parts[kSheet] = MarkedSheet(list.text, list.amounts, marked);
    }
    std::string().swap(list.text);
    std::vector<Amount>().swap(list.amounts);
    bench_floor::WriteArchive(list.zip, parts, list.out);
    if (list.zip) zip_close(list.zip);
  }
  std::printf("%zu cells marked\n", total);
  return 0;
}
