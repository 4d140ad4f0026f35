#include "cli/csv_book.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

#include "host/ascii.h"
#include "host/range.h"
#include "host/value.h"
#include "xlsx/error.h"

namespace quorvane::cli {

namespace fs = std::filesystem;

namespace {

// The value the host gives a field of a CSV file. A date keeps the short date format (the
// built-in one that shows in the user's own short date form).
host::Value FieldValue(std::string_view field, const host::Conversions& conversions,
                       memhost::NumberFormatText& number_format) {
  if (field.empty()) return host::Value();
  if (field.size() == 4 || field.size() == 5) {
    const std::string upper = host::AsciiUpper(std::string(field));
    if (upper == "TRUE" || upper == "FALSE") return host::Value::Logical(upper == "TRUE");
  }
  if (const std::optional<double> number = conversions.ReadNumber(field)) {
    return host::Value::Number(*number);
  }
  if (const std::optional<double> date = conversions.ReadDate(field)) {
    number_format = "m/d/yyyy";
    return host::Value::Date(*date);
  }
  return host::Value::Text(std::string(field));
}

// ---------------------------------------------------------------------------------------------
// Encodings. The reader itself reads UTF-8; every other encoding is turned into it first.

// The length of the UTF-8 sequence that `lead` starts; 0 for a byte no sequence starts with.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// How many bytes of the sequence that starts at text[i] are well-formed (no overlong forms, no
// surrogates, nothing past U+10FFFF): the whole length for a complete sequence, fewer for one cut
// short or broken, 0 for a byte no sequence starts with.
std::size_t WellFormedPart(std::string_view text, std::size_t i, std::size_t length) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t k = 1;
  for (; k < length && i + k < text.size(); ++k) {
    const auto byte = static_cast<unsigned char>(text[i + k]);
    unsigned char low = 0x80, high = 0xBF;
    if (k == 1) {
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    }
    if (byte < low || byte > high) break;
  }
  return length == 0 ? 0 : k;
}

// Whether the bytes are well-formed UTF-8 throughout; ASCII is passed over eight bytes at a time.
bool IsUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (i + 8 <= bytes.size()) {
      std::uint64_t eight;
      std::memcpy(&eight, bytes.data() + i, 8);
      if ((eight & 0x8080808080808080u) == 0) {
        i += 8;
        continue;
      }
    }
    const std::size_t length = SequenceLength(static_cast<unsigned char>(bytes[i]));
    if (length == 0 || WellFormedPart(bytes, i, length) != length) return false;
    i += length;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

constexpr char32_t kReplacement = 0xFFFD;

// UTF-8 after a byte-order mark: each malformed sequence (as far as it is well-formed, or one
// byte) becomes one replacement character, as Windows decodes such text.
std::string RepairedUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = SequenceLength(static_cast<unsigned char>(bytes[i]));
    const std::size_t part = WellFormedPart(bytes, i, length);
    if (length != 0 && part == length) {
      out.append(bytes.substr(i, length));
    } else {
      AppendUtf8(out, kReplacement);
    }
    i += part == 0 ? 1 : part;
  }
  return out;
}

// Windows-1252: Latin-1 but for 0x80-0x9F, whose five unassigned bytes (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) become the C1 controls of the same number, as Windows' own conversion gives them.
std::string FromWindows1252(std::string_view bytes) {
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      AppendUtf8(out, byte < 0xA0 ? kHigh[byte - 0x80] : byte);
    }
  }
  return out;
}

// UTF-16 after its byte-order mark: a surrogate pair is one character, a lone surrogate and an odd
// last byte are replacement characters.
std::string FromUtf16(std::string_view bytes, bool big_endian) {
  const auto unit = [&](std::size_t i) -> char32_t {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    return big_endian ? (first << 8) | second : (second << 8) | first;
  };
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    const char32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
      const char32_t next = unit(i + 2);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendUtf8(out, c >= 0xD800 && c <= 0xDFFF ? kReplacement : c);
  }
  if (i < bytes.size()) AppendUtf8(out, kReplacement);
  return out;
}

// A file's text as UTF-8 (in `storage` when it had to be converted), and whether it came as
// UTF-16, which the host opens as its tab-separated "Unicode text".
struct DecodedText {
  std::string_view text;
  bool utf16 = false;
};

DecodedText Decode(std::string_view bytes, std::string& storage) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    bytes.remove_prefix(3);
    if (IsUtf8(bytes)) return {bytes};
    storage = RepairedUtf8(bytes);
    return {storage};
  }
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    storage = FromUtf16(bytes.substr(2), bytes[0] == '\xFE');
    return {storage, true};
  }
  if (IsUtf8(bytes)) return {bytes};
  storage = FromWindows1252(bytes);
  return {storage};
}

class Reader {
 public:
  // The text is well-formed UTF-8.
  Reader(std::string_view text, char separator, const host::Conversions& conversions,
         memhost::SheetData& sheet)
      : text_(text), separator_(separator), conversions_(conversions), sheet_(sheet) {}

  void Run() {
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
      std::string_view field;
      const bool quoted = i_ < text_.size() && text_[i_] == '"';
      if (quoted) {
        quoted_.clear();
        ReadQuoted(quoted_);
        field = quoted_;
      } else {
        const std::size_t start = i_;
        TakeRun();
        field = text_.substr(start, i_ - start);
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
      const std::size_t start = i_;
      TakeRun(true);
      field.append(text_.substr(start, i_ - start));
    }
    const std::size_t start = i_;
    TakeRun();
    field.append(text_.substr(start, i_ - start));
  }

  // Takes the characters up to the next separator and line break, or within quotes up to the
  // next quote and line break: whole UTF-8 sequences and tabs; any other control character is
  // binary data. The record's length is checked as each character is taken.
  void TakeRun(bool quoted = false) {
    const auto ends = [&](unsigned char byte) {
      return byte == '\n' || byte == '\r' ||
             (quoted ? byte == '"' : byte == static_cast<unsigned char>(separator_));
    };
    std::size_t end = i_;
    for (; end < text_.size(); ++end) {
      const auto byte = static_cast<unsigned char>(text_[end]);
      if (ends(byte) || (byte < 0x20 && byte != '\t') || byte == 0x7F) break;
    }
    const bool taken = end > i_;
    i_ = end;
    if (taken) CheckLength();
    if (end == text_.size() || ends(static_cast<unsigned char>(text_[end]))) return;
    throw CsvError(line_, "binary data (byte " +
                              std::to_string(static_cast<unsigned char>(text_[end])) +
                              " at column " + std::to_string(Column()) + ") in a text file");
  }

  // The column of the current character in its line, counted in characters.
  std::size_t Column() const {
    std::size_t column = 1;
    for (std::size_t k = line_start_; k < i_; ++k) {
      if ((static_cast<unsigned char>(text_[k]) & 0xC0) != 0x80) ++column;
    }
    return column;
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

  void Store(int column, std::string_view field) {
    if (field.empty()) return;
    if (++cells_ > xlsx::kMaxCells) {
      throw CsvError(line_, "more than " + std::to_string(xlsx::kMaxCells) + " cells");
    }
    memhost::CellData& cell = sheet_.At(row_, column);
    cell.value = FieldValue(field, conversions_, cell.number_format);
  }

  std::string_view text_;
  char separator_;
  const host::Conversions& conversions_;
  memhost::SheetData& sheet_;
  std::size_t i_ = 0;
  std::size_t line_ = 1;
  std::size_t line_start_ = 0;
  std::size_t record_start_ = 0;
  std::size_t record_line_ = 1;
  int row_ = 0;
  std::size_t cells_ = 0;
  std::string quoted_;  // the last quoted field, its quotes undone
};

}  // namespace

char ListSeparator(const host::Conversions& conversions) {
  return conversions.DecimalSeparator() == "," ? ';' : ',';
}

void ReadCsv(std::string_view bytes, memhost::SheetData& sheet,
             const host::Conversions& conversions) {
  std::string storage;
  const DecodedText decoded = Decode(bytes, storage);
  Reader(decoded.text, decoded.utf16 ? '\t' : ListSeparator(conversions), conversions, sheet).Run();
}

std::string LowerEnding(const fs::path& path) {
  return host::AsciiLower(path.extension().string());
}

bool IsCsvPath(const fs::path& path) { return LowerEnding(path) == ".csv"; }

CsvBook LoadCsvBook(const fs::path& path, const host::Conversions& conversions) {
  std::error_code error;
  if (fs::is_directory(path, error)) throw xlsx::FileError(path.string() + ": is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw xlsx::FileError(path.string() + ": " +
                          (errno == ENOENT ? std::string("no such file") : std::strerror(errno)));
  }
  // The whole file in one read where its size is known, then whatever follows in large pieces.
  std::string text;
  std::error_code size_error;
  const std::uintmax_t size =
      fs::is_regular_file(path, size_error) ? fs::file_size(path, size_error) : 0;
  if (!size_error && size > 0) {
    text.resize(size);
    in.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<std::size_t>(in.gcount()));
    in.clear(in.rdstate() & ~(std::ios::failbit | std::ios::eofbit));
  }
  std::vector<char> piece(text.empty() ? 1 << 20 : 1 << 12);
  while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
    text.append(piece.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) throw xlsx::FileError(path.string() + ": cannot be read");
  CsvBook book{xlsx::WorkbookFile::New(path.filename().string(), {path.stem().string()}), {}};
  book.data = book.file.data();
  try {
    ReadCsv(text, book.data.sheets.front(), conversions);
  } catch (const CsvError& e) {
    throw xlsx::FileError(path.string() + ": " + e.what());
  }
  return book;
}

}  // namespace quorvane::cli
