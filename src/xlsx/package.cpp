#include "xlsx/package.h"

#include <libdeflate.h>
#include <zip.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <system_error>
#include <thread>

#include "xlsx/error.h"

namespace quorvane::xlsx {

namespace fs = std::filesystem;

struct Package::Archive {
  zip_t* zip = nullptr;
  ~Archive() {
    if (zip) zip_discard(zip);
  }
};

namespace {

// The parts Serialize deflates beside the archive, on two threads, rather than one after the other
// as it is written: those of at least this size.
constexpr std::size_t kDeflateAheadSize = 64 << 10;

std::string ZipErrorText(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

// Whether the bytes hold the UTF-16 name of a stream, as the directory of a compound file does.
bool HoldsStreamName(const std::string& bytes, const char* name) {
  std::string wide;
  for (const char* p = name; *p; ++p) {
    wide += *p;
    wide += '\0';
  }
  return bytes.find(wide) != std::string::npos;
}

}  // namespace

void CheckWorkbookFile(const fs::path& path) {
  const std::string file = path.string();
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status)) throw FileError(file + ": no such file");
  if (fs::is_directory(status)) throw FileError(file + ": is a folder, not a workbook file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError(file + ": cannot be opened for reading: " + std::strerror(errno));
  std::string head(4096, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  static constexpr unsigned char kCompound[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  if (head.size() >= 8 && std::memcmp(head.data(), kCompound, 8) == 0) {
    // Read the whole compound file's directory names: they tell an encrypted package from .xls.
    in.clear();
    in.seekg(0);
    std::string all;
    all.resize(std::min<std::uintmax_t>(fs::file_size(path, ec), 64u << 20));
    in.read(all.data(), static_cast<std::streamsize>(all.size()));
    if (HoldsStreamName(all, "EncryptionInfo") || HoldsStreamName(all, "EncryptedPackage")) {
      throw FileError(file +
                      ": is an encrypted workbook; remove its password in the spreadsheet "
                      "application and try again");
    }
    throw FileError(file + ": is a legacy .xls workbook; save it as .xlsx and try again");
  }
  if (head.size() < 4 || head.compare(0, 2, "PK") != 0) {
    throw FileError(file + ": is not an .xlsx workbook (not a zip archive)");
  }
}

Package::Package() = default;
Package::Package(Package&&) noexcept = default;
Package& Package::operator=(Package&&) noexcept = default;
Package::~Package() = default;

// A part deflated ahead of the archive (libdeflate, whole buffer, fastest level). The archive takes
// its compressed bytes as they are, with the size and checksum of the part: it writes them without
// deflating or checksumming again.
class DeflatedParts::Part {
 public:
  Part() = default;
  explicit Part(std::string bytes) : raw_(std::move(bytes)) {}
  Part(const Part&) = delete;
  Part& operator=(const Part&) = delete;

  // Deflates the part and lets its bytes go; on any failure the part is left to the archive
  // (ready() is false, raw() holds the bytes).
  void Deflate() {
    Deflate(raw_);
    if (ready_) std::string().swap(raw_);
  }
  // Deflates `bytes` as the part; on any failure ready() is false.
  void Deflate(const std::string& bytes) {
    struct Compressor {
      libdeflate_compressor* c = libdeflate_alloc_compressor(1);
      ~Compressor() {
        if (c) libdeflate_free_compressor(c);
      }
    } compressor;
    if (!compressor.c) return;
    // The output room is left uninitialised: only the pages the compressed bytes fill are touched,
    // and those are copied out at their size.
    const std::size_t bound = libdeflate_deflate_compress_bound(compressor.c, bytes.size());
    const std::unique_ptr<char[]> room(new char[bound]);
    const std::size_t size =
        libdeflate_deflate_compress(compressor.c, bytes.data(), bytes.size(), room.get(), bound);
    if (size == 0) return;
    compressed_.assign(room.get(), size);
    size_ = bytes.size();
    crc_ = libdeflate_crc32(0, bytes.data(), bytes.size());
    ready_ = true;
  }

  bool ready() const { return ready_; }
  const std::string& raw() const { return raw_; }

  // A source for the archive that hands over the deflated bytes; null when libzip refuses it.
  zip_source_t* Source(zip_t* archive) const {
    auto* reader = new Reader{this, 0};
    zip_source_t* source = zip_source_function(archive, &Part::Callback, reader);
    if (!source) delete reader;
    return source;
  }

 private:
  struct Reader {
    const Part* part;
    std::size_t at;
  };

  static zip_int64_t Callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
    auto* reader = static_cast<Reader*>(state);
    const Part& part = *reader->part;
    switch (cmd) {
      case ZIP_SOURCE_OPEN:
        reader->at = 0;
        return 0;
      case ZIP_SOURCE_READ: {
        const std::size_t n = std::min<std::size_t>(length, part.compressed_.size() - reader->at);
        std::memcpy(data, part.compressed_.data() + reader->at, n);
        reader->at += n;
        return static_cast<zip_int64_t>(n);
      }
      case ZIP_SOURCE_CLOSE:
        return 0;
      case ZIP_SOURCE_STAT: {
        if (length < sizeof(zip_stat_t)) return -1;
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                    ZIP_STAT_ENCRYPTION_METHOD | ZIP_STAT_MTIME;
        st->size = part.size_;
        st->comp_size = part.compressed_.size();
        st->comp_method = ZIP_CM_DEFLATE;
        st->encryption_method = ZIP_EM_NONE;
        st->crc = static_cast<zip_uint32_t>(part.crc_);
        st->mtime = std::time(nullptr);
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_ERROR:
        return 0;
      case ZIP_SOURCE_FREE:
        delete reader;
        return 0;
      case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_READABLE;
      default:
        return -1;
    }
  }

  std::string raw_;
  std::string compressed_;
  std::size_t size_ = 0;
  std::uint32_t crc_ = 0;
  bool ready_ = false;
};

DeflatedParts::DeflatedParts() = default;
DeflatedParts::~DeflatedParts() { Finish(); }

void DeflatedParts::Finish() {
  if (worker_.joinable()) worker_.join();
}

void DeflatedParts::Add(const std::string& name, std::string bytes) {
  Finish();
  auto part = std::make_unique<Part>(std::move(bytes));
  Part* in_hand = part.get();
  parts_.insert_or_assign(name, std::move(part));
  try {
    worker_ = std::thread([in_hand] {
      try {
        in_hand->Deflate();
      } catch (...) {
        // Left to the archive, which reports what fails.
      }
    });
  } catch (const std::system_error&) {
    in_hand->Deflate();  // no second thread: deflated here
  }
}

Package Package::Open(const fs::path& path) {
  CheckWorkbookFile(path);
  Package package;
  package.display_name_ = path.string();
  int code = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
  if (!zip) {
    throw FileError(package.display_name_ + ": is damaged or truncated (" + ZipErrorText(code) +
                    ")");
  }
  package.archive_ = std::make_unique<Archive>();
  package.archive_->zip = zip;
  const zip_int64_t count = zip_get_num_entries(zip, 0);
  if (count < 0 || count > 100000) {
    throw FileError(package.display_name_ + ": holds too many zip entries to be a workbook");
  }
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(zip, static_cast<zip_uint64_t>(i), 0);
    if (!name) continue;
    package.names_.emplace_back(name);
    package.index_[name] = i;
  }
  return package;
}

Package Package::FromParts(std::string display_name, std::map<std::string, std::string> parts) {
  Package package;
  package.display_name_ = std::move(display_name);
  for (const auto& [name, bytes] : parts) {
    package.names_.push_back(name);
    package.index_[name] = -1;
  }
  package.memory_parts_ = std::move(parts);
  return package;
}

bool Package::Has(const std::string& name) const { return index_.count(name) != 0; }

// A deflated part, inflated in one go (libdeflate) from its compressed bytes, and checked against
// its declared size and checksum.
namespace {

std::string InflatePart(zip_t* zip, const std::string& display_name, const std::string& name,
                        zip_uint64_t index, const zip_stat_t& st) {
  auto damaged = [&](const std::string& problem) {
    return FileError(display_name + ": the part " + name + " is damaged or truncated (" + problem +
                     ")");
  };
  zip_file_t* entry = zip_fopen_index(zip, index, ZIP_FL_COMPRESSED);
  if (!entry) {
    throw FileError(display_name + ": cannot read the part " + name + " (" + zip_strerror(zip) +
                    ")");
  }
  std::string compressed(static_cast<std::size_t>(st.comp_size), '\0');
  std::size_t filled = 0;
  while (filled < compressed.size()) {
    const zip_int64_t got =
        zip_fread(entry, compressed.data() + filled, compressed.size() - filled);
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
  }
  const std::string problem = filled != compressed.size() ? zip_file_strerror(entry) : "";
  zip_fclose(entry);
  if (filled != compressed.size()) throw damaged(problem);

  struct Decompressor {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Decompressor() {
      if (d) libdeflate_free_decompressor(d);
    }
  } decompressor;
  if (!decompressor.d) throw std::bad_alloc();
  std::string bytes(static_cast<std::size_t>(st.size), '\0');
  std::size_t size = 0;
  const libdeflate_result result = libdeflate_deflate_decompress(
      decompressor.d, compressed.data(), compressed.size(), bytes.data(), bytes.size(), &size);
  if (result == LIBDEFLATE_INSUFFICIENT_SPACE) throw damaged("more data than declared");
  if (result != LIBDEFLATE_SUCCESS) throw damaged("invalid compressed data");
  if (size != bytes.size()) throw damaged("less data than declared");
  if (libdeflate_crc32(0, bytes.data(), bytes.size()) != st.crc) throw damaged("CRC error");
  return bytes;
}

}  // namespace

std::string Package::Read(const std::string& name) const { return ReadPart(name, true); }

std::string Package::ReadAgain(const std::string& name) const { return ReadPart(name, false); }

std::string Package::ReadPart(const std::string& name, bool counted) const {
  const auto it = index_.find(name);
  if (it == index_.end()) {
    throw FileError(display_name_ + ": the part " + name + " is missing");
  }
  if (it->second < 0) return memory_parts_.at(name);
  zip_t* zip = archive_->zip;
  const auto index = static_cast<zip_uint64_t>(it->second);
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(zip, index, 0, &st) != 0) {
    throw FileError(display_name_ + ": cannot read the part " + name + " (" + zip_strerror(zip) +
                    ")");
  }
  if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
    throw FileError(display_name_ + ": the part " + name + " is encrypted");
  }
  if (!(st.valid & ZIP_STAT_SIZE) || st.size > kMaxPartSize) {
    throw FileError(display_name_ + ": the part " + name + " declares " + std::to_string(st.size) +
                    " bytes, more than a workbook part may hold; refused");
  }
  if (st.size > (1u << 20) && (st.valid & ZIP_STAT_COMP_SIZE) &&
      st.size / std::max<zip_uint64_t>(st.comp_size, 1) > kMaxCompressionRatio) {
    throw FileError(display_name_ + ": the part " + name +
                    " is compressed at an extreme ratio (a zip bomb?); refused");
  }
  if (counted && bytes_read_ + st.size > kMaxPackageRead) {
    throw FileError(display_name_ + ": the parts to read exceed " +
                    std::to_string(kMaxPackageRead >> 20) + " MiB; refused");
  }
  const zip_uint64_t known = ZIP_STAT_COMP_METHOD | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC;
  if ((st.valid & known) == known && st.comp_method == ZIP_CM_DEFLATE &&
      st.comp_size <= st.size + st.size / 8 + (64u << 10)) {
    std::string bytes = InflatePart(zip, display_name_, name, index, st);
    if (counted) bytes_read_ += st.size;
    return bytes;
  }
  zip_file_t* entry = zip_fopen_index(zip, index, 0);
  if (!entry) {
    throw FileError(display_name_ + ": cannot read the part " + name + " (" + zip_strerror(zip) +
                    ")");
  }
  std::string bytes(static_cast<std::size_t>(st.size), '\0');
  std::size_t filled = 0;
  bool failed = false;
  while (true) {
    char probe;
    char* target = filled < bytes.size() ? bytes.data() + filled : &probe;
    const zip_uint64_t room = filled < bytes.size() ? bytes.size() - filled : 1;
    const zip_int64_t got = zip_fread(entry, target, room);
    if (got < 0) {
      failed = true;
      break;
    }
    if (got == 0) break;
    if (filled >= bytes.size()) {  // more data than declared
      failed = true;
      break;
    }
    filled += static_cast<std::size_t>(got);
  }
  const std::string problem = failed ? zip_file_strerror(entry) : "";
  zip_fclose(entry);
  if (failed || filled != bytes.size()) {
    throw FileError(display_name_ + ": the part " + name + " is damaged or truncated" +
                    (problem.empty() ? std::string() : " (" + problem + ")"));
  }
  if (counted) bytes_read_ += st.size;
  return bytes;
}

namespace {

// A new archive that writes into a buffer in memory, returned in `buffer` with a reference kept so
// that it outlives the archive; the caller frees it (TakeArchiveBytes does).
zip_t* OpenArchiveInMemory(const std::string& display_name, zip_source_t*& buffer) {
  zip_error_t error;
  zip_error_init(&error);
  buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (!buffer) {
    const std::string reason = zip_error_strerror(&error);
    zip_error_fini(&error);
    throw FileError(display_name + ": cannot be saved (" + reason + ")");
  }
  zip_source_keep(buffer);
  zip_t* out = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  if (!out) {
    const std::string reason = zip_error_strerror(&error);
    zip_error_fini(&error);
    zip_source_free(buffer);
    zip_source_free(buffer);
    throw FileError(display_name + ": cannot be saved (" + reason + ")");
  }
  zip_error_fini(&error);
  return out;
}

// The bytes of the closed archive in `buffer`; frees the buffer.
std::string TakeArchiveBytes(const std::string& display_name, zip_source_t* buffer) {
  std::string bytes;
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_source_stat(buffer, &st) != 0 || !(st.valid & ZIP_STAT_SIZE) ||
      zip_source_open(buffer) != 0) {
    zip_source_free(buffer);
    throw FileError(display_name + ": cannot be saved (the archive made in memory is unreadable)");
  }
  bytes.resize(static_cast<std::size_t>(st.size));
  const zip_int64_t got = zip_source_read(buffer, bytes.data(), bytes.size());
  zip_source_close(buffer);
  zip_source_free(buffer);
  if (got < 0 || static_cast<std::uint64_t>(got) != st.size) {
    throw FileError(display_name + ": cannot be saved (the archive made in memory is unreadable)");
  }
  return bytes;
}

}  // namespace

std::string Package::Serialize(const std::map<std::string, std::optional<std::string>>& changes,
                               const DeflatedParts* deflated) const {
  // The archive is made in memory: writing the file is left to the caller, which can then check
  // every write and replace its target safely.
  zip_source_t* buffer = nullptr;
  zip_t* out = OpenArchiveInMemory(display_name_, buffer);
  auto fail = [&](const std::string& what) {
    const std::string reason = zip_strerror(out);
    zip_discard(out);
    zip_source_free(buffer);
    throw FileError(display_name_ + ": cannot be saved: " + what + " (" + reason + ")");
  };
  auto add_bytes = [&](const std::string& name, const std::string& bytes) {
    zip_source_t* source = zip_source_buffer(out, bytes.data(), bytes.size(), 0);
    const zip_int64_t added =
        source ? zip_file_add(out, name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
    if (added < 0) {
      if (source) zip_source_free(source);
      fail(name);
    }
    // The fastest deflate level: parts we write are plain XML, which it packs nearly as well as
    // the default level does, in a third of the time.
    if (zip_set_file_compression(out, static_cast<zip_uint64_t>(added), ZIP_CM_DEFLATE, 1) != 0) {
      fail(name);
    }
  };
  // The parts in the order they are written: new contents, or entries copied from the file.
  struct Entry {
    const std::string* name;
    const std::string* bytes;  // null: copied from the file
    std::int64_t index = -1;
    const DeflatedParts::Part* part = nullptr;  // deflated already
  };
  auto made = [&](const std::string& name, const std::string& bytes) {
    if (deflated) {
      if (const auto it = deflated->parts_.find(name); it != deflated->parts_.end()) {
        const DeflatedParts::Part& part = *it->second;
        return Entry{&name, part.ready() ? nullptr : &part.raw(), -1,
                     part.ready() ? &part : nullptr};
      }
    }
    return Entry{&name, &bytes};
  };
  std::vector<Entry> entries;
  for (const std::string& name : names_) {
    const auto change = changes.find(name);
    if (change != changes.end()) {
      if (change->second) entries.push_back(made(name, *change->second));
      continue;
    }
    const std::int64_t index = index_.at(name);
    entries.push_back({&name, index < 0 ? &memory_parts_.at(name) : nullptr, index});
  }
  for (const auto& [name, bytes] : changes) {
    if (bytes && index_.count(name) == 0) entries.push_back(made(name, *bytes));
  }
  // The large new parts are deflated first, on two threads.
  std::vector<std::size_t> ahead;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].bytes && entries[i].bytes->size() >= kDeflateAheadSize) ahead.push_back(i);
  }
  std::vector<DeflatedParts::Part> ahead_parts(entries.size());
  if (ahead.size() > 1) {
    std::atomic<std::size_t> next{0};
    auto work = [&] {
      for (std::size_t job = next++; job < ahead.size(); job = next++) {
        const Entry& entry = entries[ahead[job]];
        try {
          ahead_parts[ahead[job]].Deflate(*entry.bytes);
        } catch (...) {
          // Left to the archive, which reports what fails.
        }
      }
    };
    std::thread first(work), second(work);
    first.join();
    second.join();
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& entry = entries[i];
    const DeflatedParts::Part* ready =
        entry.part ? entry.part : (ahead_parts[i].ready() ? &ahead_parts[i] : nullptr);
    if (entry.bytes && !ready) {
      add_bytes(*entry.name, *entry.bytes);
      continue;
    }
    // Deflated bytes, or the whole entry copied as it is stored: no inflating, no recompressing.
    zip_source_t* source = ready ? ready->Source(out)
                                 : zip_source_zip(out, archive_->zip,
                                                  static_cast<zip_uint64_t>(entry.index), 0, 0, -1);
    if (!source || zip_file_add(out, entry.name->c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
      if (source) zip_source_free(source);
      fail(*entry.name);
    }
  }
  if (zip_close(out) != 0) fail("closing the archive");

  return TakeArchiveBytes(display_name_, buffer);
}

}  // namespace quorvane::xlsx
