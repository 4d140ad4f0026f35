// The fuzz targets of the workbook files: the reader as a whole on the file's bytes, and on XML
// parts that the target packs into a workbook itself (so that the fuzzer reaches inside the parts
// without having to get a deflate stream right).
#include <stdlib.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/fuzz_targets.h"
#include "host/error.h"
#include "host/worksheet.h"
#include "memhost/host.h"
#include "xlsx/error.h"
#include "xlsx/workbook_file.h"

namespace quorvane::fuzz {

namespace fs = std::filesystem;

namespace {

// A folder of its own for one input, removed with everything in it.
class Scratch {
 public:
  Scratch() {
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "quorvane-fuzz-XXXXXX").string();
    Require(::mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
    path_ = pattern;
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  Require(static_cast<bool>(out), "the input can be written to the scratch folder");
}

// Loads the workbook; one that loads is changed as a run would change it, written, and read back.
void LoadChangeSave(const Scratch& scratch, const fs::path& input) {
  std::optional<xlsx::WorkbookFile> file;
  try {
    file.emplace(xlsx::WorkbookFile::Load(input));
  } catch (const xlsx::FileError&) {
    return;  // refused with a message: what a hostile file must get
  }
  // The host is handed the model itself, as the command-line tool hands it; the checks below
  // compare with a copy of it as loaded.
  const memhost::WorkbookData loaded_model = file->data();
  memhost::MemHost host;
  memhost::MemWorkbook& book = host.AddWorkbook(file->TakeData());
  memhost::MemWorksheet& sheet = *book.sheets().front();
  const std::string note = "<<< 1/5 12:00:00:\nThis list has 2 100's.\n>>>\n\nNote";
  bool changed = false;
  try {
    sheet.SetInteriorColor(1, 1, host::Value::Number(6745634));
    sheet.SetInteriorPattern(1, 1, host::Value::Number(1));
    if (!sheet.HasComment(1, 1)) sheet.AddComment(1, 1);
    sheet.SetCommentText(1, 1, note);
    sheet.AddShape(host::kShapeRectangle, 3, 0, 18, 8)->SetName("CmtNumARectangle 1");
    changed = true;
  } catch (const host::HostError&) {
    // A protected sheet refuses the change; the file is still written back.
  }
  const fs::path output = scratch / "out.xlsx";
  try {
    WriteFile(output, file->Serialize(book.data()));
  } catch (const xlsx::FileError&) {
    return;
  }
  // What we write, we read: the result loads and holds the change.
  const xlsx::WorkbookFile again = xlsx::WorkbookFile::Load(output);
  Require(again.data().sheets.size() == loaded_model.sheets.size(), "the sheets are kept");
  // Every other cell reads back as it was loaded: saving writes only what changed.
  for (std::size_t i = 0; i < loaded_model.sheets.size(); ++i) {
    const memhost::SheetData& loaded = loaded_model.sheets[i];
    const memhost::SheetData& read = again.data().sheets[i];
    for (const auto& [key, cell] : loaded.cells) {
      if (i == 0 && key == memhost::CellKey{1, 1}) continue;
      const memhost::CellData* back = read.Find(key.first, key.second);
      Require(back != nullptr && back->value == cell.value &&
                  back->number_format == cell.number_format &&
                  (back->fill.pattern == host::kPatternNone) ==
                      (cell.fill.pattern == host::kPatternNone) &&
                  (cell.fill.pattern == host::kPatternNone || back->fill == cell.fill),
              "the cells left alone read back as they were loaded");
    }
  }
  if (changed) {
    const memhost::CellData* cell = again.data().sheets.front().Find(1, 1);
    Require(cell != nullptr && cell->comment && cell->comment->text == note,
            "a note written reads back the same");
    Require(cell->fill.color == 6745634 && cell->fill.pattern == 1,
            "a fill written reads back the same");
  }
}

}  // namespace

void XlsxFile(const std::uint8_t* data, std::size_t size) {
  const Scratch scratch;
  const fs::path input = scratch / "in.xlsx";
  WriteFile(input, {reinterpret_cast<const char*>(data), size});
  LoadChangeSave(scratch, input);
}

void XlsxParts(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  constexpr std::string_view kSeparator = "\n--part--\n";
  std::vector<std::pair<std::string, std::string>> parts;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find(kSeparator, start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view piece = text.substr(start, end - start);
    const std::size_t newline = piece.find('\n');
    if (newline != std::string_view::npos && newline > 0) {
      parts.emplace_back(piece.substr(0, newline), piece.substr(newline + 1));
    }
    start = end + kSeparator.size();
  }
  const Scratch scratch;
  const fs::path input = scratch / "in.xlsx";
  int code = 0;
  zip_t* zip = zip_open(input.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  Require(zip != nullptr, "a scratch archive can be made");
  for (const auto& [name, content] : parts) {
    zip_source_t* source = zip_source_buffer(zip, content.data(), content.size(), 0);
    const zip_int64_t index =
        source ? zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
      if (source) zip_source_free(source);
      continue;  // a name the archive cannot hold (a duplicate, say)
    }
    zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  if (zip_close(zip) != 0) {
    zip_discard(zip);
    return;
  }
  if (!fs::exists(input)) return;  // no part at all: libzip writes no file
  LoadChangeSave(scratch, input);
}

}  // namespace quorvane::fuzz
