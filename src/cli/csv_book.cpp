#include "cli/csv_book.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <system_error>

#include "host/ascii.h"
#include "host/conversions.h"
#include "host/range.h"
#include "host/value.h"
#include "xlsx/error.h"

namespace quorvane::cli {

namespace fs = std::filesystem;

namespace {

// The value the host gives a field of a CSV file.
host::Value FieldValue(const std::string& field, std::string& number_format) {
  if (field.empty()) return host::Value();
  const std::string upper = host::AsciiUpper(field);
  if (upper == "TRUE" || upper == "FALSE") return host::Value::Logical(upper == "TRUE");
  if (const std::optional<double> number = host::ReadNumber(field)) {
    return host::Value::Number(*number);
  }
  if (const std::optional<double> date = host::ReadDate(field)) {
    number_format = "m/d/yyyy";
    return host::Value::Date(*date);
  }
  return host::Value::Text(field);
}

// The length of the UTF-8 sequence that `lead` starts; 0 for a byte no sequence starts with.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Whether text[i..] starts a well-formed UTF-8 sequence (no overlong forms, no surrogates, nothing
// past U+10FFFF); its length in `length`.
bool ValidSequence(std::string_view text, std::size_t i, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(text[i]);
  length = SequenceLength(lead);
  if (length == 0 || i + length > text.size()) return false;
  for (std::size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
  }
  const auto second = static_cast<unsigned char>(text[i + 1 < text.size() ? i + 1 : i]);
  if (lead == 0xE0 && second < 0xA0) return false;
  if (lead == 0xED && second >= 0xA0) return false;
  if (lead == 0xF0 && second < 0x90) return false;
  if (lead == 0xF4 && second >= 0x90) return false;
  return true;
}

class Reader {
 public:
  Reader(std::string_view text, memhost::SheetData& sheet) : text_(text), sheet_(sheet) {}

  void Run() {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") text_.remove_prefix(3);
    ReadSeparatorLine();
    while (i_ < text_.size()) ReadRecord();
  }

 private:
  // A first line "sep=X" names the separator and is no row.
  void ReadSeparatorLine() {
    if (text_.substr(0, 4) != "sep=" || text_.size() < 5) return;
    const char separator = text_[4];
    std::size_t end = 5;
    if (end < text_.size() && text_[end] == '\r') ++end;
    if (end < text_.size() && text_[end] != '\n') return;
    if (separator == '"' || separator == '\r' || separator == '\n') return;
    separator_ = separator;
    i_ = end < text_.size() ? end + 1 : end;
    line_ = 2;
    line_start_ = i_;
  }

  // One record: fields up to an unquoted line end or the end of the text.
  void ReadRecord() {
    if (row_ == host::kMaxRows) throw CsvError(line_, "more rows than a sheet holds");
    ++row_;
    record_start_ = i_;
    record_line_ = line_;
    int column = 0;
    for (;;) {
      std::string field;
      const bool quoted = i_ < text_.size() && text_[i_] == '"';
      if (quoted) {
        ReadQuoted(field);
      } else {
        while (i_ < text_.size() && text_[i_] != separator_ && text_[i_] != '\n' &&
               text_[i_] != '\r') {
          Take(field);
        }
      }
      if (column == host::kMaxColumns)
        throw CsvError(line_, "more fields than a sheet has columns");
      ++column;
      Store(column, field);
      if (i_ < text_.size() && text_[i_] == separator_) {
        ++i_;
        continue;
      }
      EndLine();
      return;
    }
  }

  // A quoted field: a doubled quote stands for one; text after the closing quote up to the next
  // separator belongs to the field too, as the host reads it.
  void ReadQuoted(std::string& field) {
    const std::size_t opened = line_;
    ++i_;
    for (;;) {
      if (i_ >= text_.size()) {
        throw CsvError(opened, "a quoted field that starts here is never closed");
      }
      if (text_[i_] == '"') {
        if (i_ + 1 < text_.size() && text_[i_ + 1] == '"') {
          field += '"';
          i_ += 2;
          continue;
        }
        ++i_;
        break;
      }
      if (text_[i_] == '\n' || text_[i_] == '\r') {
        const bool crlf = text_[i_] == '\r' && i_ + 1 < text_.size() && text_[i_ + 1] == '\n';
        field += '\n';
        i_ += crlf ? 2 : 1;
        NewLine();
        CheckLength();
        continue;
      }
      Take(field);
    }
    while (i_ < text_.size() && text_[i_] != separator_ && text_[i_] != '\n' && text_[i_] != '\r') {
      Take(field);
    }
  }

  // Takes one character into the field: a whole UTF-8 sequence, or a tab; anything else binary.
  void Take(std::string& field) {
    const auto byte = static_cast<unsigned char>(text_[i_]);
    std::size_t length = 1;
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F || !ValidSequence(text_, i_, length)) {
      throw CsvError(line_, "binary data (byte " + std::to_string(byte) + " at column " +
                                std::to_string(i_ - line_start_ + 1) + ") in a text file");
    }
    field.append(text_.substr(i_, length));
    i_ += length;
    CheckLength();
  }

  // A record is one line but for the line breaks within its quotes; it is measured whole.
  void CheckLength() const {
    if (i_ - record_start_ > kMaxCsvLine) {
      throw CsvError(record_line_,
                     "the line is longer than " + std::to_string(kMaxCsvLine) + " bytes");
    }
  }

  void EndLine() {
    if (i_ >= text_.size()) return;
    i_ += text_[i_] == '\r' && i_ + 1 < text_.size() && text_[i_ + 1] == '\n' ? 2 : 1;
    NewLine();
  }

  void NewLine() {
    ++line_;
    line_start_ = i_;
  }

  void Store(int column, const std::string& field) {
    if (field.empty()) return;
    if (++cells_ > xlsx::kMaxCells) {
      throw CsvError(line_, "more than " + std::to_string(xlsx::kMaxCells) + " cells");
    }
    memhost::CellData& cell = sheet_.At(row_, column);
    cell.value = FieldValue(field, cell.number_format);
  }

  std::string_view text_;
  memhost::SheetData& sheet_;
  char separator_ = ',';
  std::size_t i_ = 0;
  std::size_t line_ = 1;
  std::size_t line_start_ = 0;
  std::size_t record_start_ = 0;
  std::size_t record_line_ = 1;
  int row_ = 0;
  std::size_t cells_ = 0;
};

}  // namespace

void ReadCsv(std::string_view text, memhost::SheetData& sheet) { Reader(text, sheet).Run(); }

std::string LowerEnding(const fs::path& path) {
  return host::AsciiLower(path.extension().string());
}

bool IsCsvPath(const fs::path& path) { return LowerEnding(path) == ".csv"; }

CsvBook LoadCsvBook(const fs::path& path) {
  std::error_code error;
  if (fs::is_directory(path, error)) throw xlsx::FileError(path.string() + ": is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw xlsx::FileError(path.string() + ": " +
                          (errno == ENOENT ? std::string("no such file") : std::strerror(errno)));
  }
  std::string text((std::istreambuf_iterator<char>(in)), {});
  if (in.bad()) throw xlsx::FileError(path.string() + ": cannot be read");
  CsvBook book{xlsx::WorkbookFile::New(path.filename().string(), {path.stem().string()}), {}};
  book.data = book.file.data();
  try {
    ReadCsv(text, book.data.sheets.front());
  } catch (const CsvError& e) {
    throw xlsx::FileError(path.string() + ": " + e.what());
  }
  return book;
}

}  // namespace quorvane::cli
