// What the floor programs share: reading a part (deflated ones inflated in one go by libdeflate),
// the notes, note shapes and rectangles of the marked cells as text, the fill the marks use, and
// the archive written with its new parts deflated by libdeflate at its fastest level, handed to
// libzip as compressed bytes with their size and checksum, then flushed to the disk.
#ifndef QUORVANE_BENCH_FLOOR_PARTS_H_
#define QUORVANE_BENCH_FLOOR_PARTS_H_

#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>
#include <zip.h>
#include <pugixml.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace bench_floor {

[[noreturn]] inline void Die(const std::string& what) {
  std::fprintf(stderr, "floor: %s\n", what.c_str());
  std::exit(1);
}

inline std::string ReadPart(zip_t* zip, const std::string& name) {
  zip_stat_t st;
  if (zip_stat(zip, name.c_str(), 0, &st) != 0) Die("no part " + name);
  const bool deflated = st.comp_method == ZIP_CM_DEFLATE;
  std::string stored(deflated ? st.comp_size : st.size, '\0');
  zip_file_t* f = zip_fopen(zip, name.c_str(), deflated ? ZIP_FL_COMPRESSED : 0);
  if (!f || zip_fread(f, stored.data(), stored.size()) != static_cast<zip_int64_t>(stored.size()))
    Die("cannot read " + name);
  zip_fclose(f);
  if (!deflated) return stored;
  std::string bytes(st.size, '\0');
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  if (!d || libdeflate_deflate_decompress(d, stored.data(), stored.size(), bytes.data(),
                                          bytes.size(), nullptr) != LIBDEFLATE_SUCCESS)
    Die("cannot inflate " + name);
  libdeflate_free_decompressor(d);
  return bytes;
}

struct Mark {
  int row = 0, column = 0;
};

inline std::string Ref(int row, int column) {
  std::string letters;
  for (int c = column; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), 'A' + (c - 1) % 26);
  return letters + std::to_string(row);
}

// The notes (comments and VML) and rectangles (drawing) of sheet `number`, and its relationships.
inline void NoteParts(const std::vector<Mark>& marked, int number,
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
  for (const Mark& cell : marked) {
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
}

// The content types of sheet `number`'s notes and drawing.
inline std::string Overrides(int number) {
  const std::string n = std::to_string(number);
  return "<Override PartName=\"/xl/comments" + n +
         ".xml\" ContentType=\"application/"
         "vnd.openxmlformats-officedocument.spreadsheetml.comments+xml\"/><Override "
         "PartName=\"/xl/drawings/drawing" +
         n + ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.drawing+xml\"/>";
}

inline const char* VmlDefault() {
  return "<Default Extension=\"vml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.vmlDrawing\"/>";
}

struct Writer : pugi::xml_writer {
  std::string out;
  void write(const void* data, std::size_t size) override {
    out.append(static_cast<const char*>(data), size);
  }
};

inline std::string Text(const pugi::xml_document& doc) {
  Writer w;
  doc.save(w, "", pugi::format_raw);
  return std::move(w.out);
}

// The styles with one solid yellow fill and a cell style using it, appended after the others.
inline std::string WithFill(const std::string& styles) {
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
  return Text(doc);
}

// A part deflated ahead of the archive; the archive writes its bytes as they are.
class Deflated {
 public:
  explicit Deflated(const std::string& bytes, libdeflate_compressor* compressor)
      : size_(bytes.size()), crc_(libdeflate_crc32(0, bytes.data(), bytes.size())) {
    const std::size_t bound = libdeflate_deflate_compress_bound(compressor, bytes.size());
    const std::unique_ptr<char[]> room(new char[bound]);
    const std::size_t size =
        libdeflate_deflate_compress(compressor, bytes.data(), bytes.size(), room.get(), bound);
    if (size == 0) Die("cannot deflate");
    compressed_.assign(room.get(), size);
  }

  zip_source_t* Source(zip_t* archive) {
    at_ = 0;
    return zip_source_function(archive, &Deflated::Callback, this);
  }

 private:
  static zip_int64_t Callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
    auto* part = static_cast<Deflated*>(state);
    switch (cmd) {
      case ZIP_SOURCE_OPEN:
        part->at_ = 0;
        return 0;
      case ZIP_SOURCE_READ: {
        const std::size_t n = std::min<std::size_t>(length, part->compressed_.size() - part->at_);
        std::memcpy(data, part->compressed_.data() + part->at_, n);
        part->at_ += n;
        return static_cast<zip_int64_t>(n);
      }
      case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                    ZIP_STAT_ENCRYPTION_METHOD | ZIP_STAT_MTIME;
        st->size = part->size_;
        st->comp_size = part->compressed_.size();
        st->comp_method = ZIP_CM_DEFLATE;
        st->encryption_method = ZIP_EM_NONE;
        st->crc = part->crc_;
        st->mtime = std::time(nullptr);
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_CLOSE:
      case ZIP_SOURCE_ERROR:
      case ZIP_SOURCE_FREE:
        return 0;
      case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_READABLE;
      default:
        return -1;
    }
  }

  std::string compressed_;
  std::size_t size_;
  std::uint32_t crc_;
  std::size_t at_ = 0;
};

// Writes OUT: the parts of `in` (if any) not among `parts` copied as they are stored, then `parts`
// deflated (each let go once deflated); flushed to the disk and renamed into place.
inline void WriteArchive(zip_t* in, std::map<std::string, std::string>& parts,
                         const std::string& out_path) {
  const std::string temp = out_path + ".tmp";
  int error = 0;
  zip_t* out = zip_open(temp.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!out) Die("cannot create " + temp);
  const zip_int64_t entries = in ? zip_get_num_entries(in, 0) : 0;
  for (zip_int64_t i = 0; i < entries; ++i) {
    const std::string name = zip_get_name(in, static_cast<zip_uint64_t>(i), 0);
    if (parts.count(name)) continue;
    zip_source_t* copy = zip_source_zip(out, in, static_cast<zip_uint64_t>(i), 0, 0, -1);
    if (!copy || zip_file_add(out, name.c_str(), copy, 0) < 0) Die("cannot copy " + name);
  }
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(1);
  if (!compressor) Die("no compressor");
  std::vector<std::unique_ptr<Deflated>> deflated;
  for (auto& [name, bytes] : parts) {
    deflated.push_back(std::make_unique<Deflated>(bytes, compressor));
    std::string().swap(bytes);
    zip_source_t* source = deflated.back()->Source(out);
    if (!source || zip_file_add(out, name.c_str(), source, 0) < 0) Die("cannot add " + name);
  }
  libdeflate_free_compressor(compressor);
  if (zip_close(out) != 0) Die("cannot write " + temp);
  const int fd = ::open(temp.c_str(), O_RDONLY);
  if (fd < 0 || ::fsync(fd) != 0 || ::close(fd) != 0 || std::rename(temp.c_str(), out_path.c_str()))
    Die("cannot flush " + temp);
}

}  // namespace bench_floor

#endif  // QUORVANE_BENCH_FLOOR_PARTS_H_
