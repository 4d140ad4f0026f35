// The zip package of a workbook: its parts by name, read with limits, and written back with every
// unchanged part copied byte for byte.
//
// Reading refuses what is not a workbook package before inflating anything: a legacy or encrypted
// workbook (an OLE compound file), a file that is not a zip, entries that are encrypted, declared
// too large, or compressed at an extreme ratio. Inflating stops at the declared size, and the total
// inflated by one package is bounded, so a hostile file cannot exhaust memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quorvane::xlsx {

inline constexpr std::uint64_t kMaxPartSize = 256ull << 20;      // one inflated part
inline constexpr std::uint64_t kMaxPackageRead = 1024ull << 20;  // all parts read from a package
inline constexpr std::uint64_t kMaxCompressionRatio = 200;       // for parts above 1 MiB

// New contents of parts, deflated as soon as they are made: each on a second thread while the
// caller makes the next one, and only the compressed bytes kept until the archive is written.
class DeflatedParts {
 public:
  DeflatedParts();
  DeflatedParts(const DeflatedParts&) = delete;
  DeflatedParts& operator=(const DeflatedParts&) = delete;
  ~DeflatedParts();

  void Add(const std::string& name, std::string bytes);
  bool Has(const std::string& name) const { return parts_.count(name) != 0; }
  // Waits for the part in hand; the archive can then take them all.
  void Finish();

 private:
  friend class Package;
  class Part;
  std::map<std::string, std::unique_ptr<Part>> parts_;
  std::thread worker_;
};

class Package {
 public:
  // Opens a workbook file; raises a FileError naming the file and the problem.
  static Package Open(const std::filesystem::path& path);
  // A package that exists only in memory (a new workbook).
  static Package FromParts(std::string display_name, std::map<std::string, std::string> parts);

  Package();  // empty
  Package(Package&&) noexcept;
  Package& operator=(Package&&) noexcept;
  ~Package();

  // The file name used in messages.
  const std::string& display_name() const { return display_name_; }
  const std::vector<std::string>& names() const { return names_; }
  bool Has(const std::string& name) const;
  // The part's bytes; raises a FileError when it is missing or unsafe to inflate.
  std::string Read(const std::string& name) const;
  // A part read before, read again for saving: checked as Read checks it, but not counted again
  // against the bound on all the parts read, which the first read already was.
  std::string ReadAgain(const std::string& name) const;

  // The package as the bytes of a zip file: parts in `changes` with a value are written with that
  // content (new ones after the existing ones), or with their content in `deflated` where it holds
  // them (their value in `changes` is then not read; Finish it first); parts mapped to no value are
  // left out, every other part is copied without recompressing.
  std::string Serialize(const std::map<std::string, std::optional<std::string>>& changes,
                        const DeflatedParts* deflated = nullptr) const;

 private:
  struct Archive;

  std::string ReadPart(const std::string& name, bool counted) const;

  std::string display_name_;
  std::vector<std::string> names_;             // in the archive's order
  std::map<std::string, std::int64_t> index_;  // name -> entry index (-1: in memory)
  std::map<std::string, std::string> memory_parts_;
  std::unique_ptr<Archive> archive_;
  mutable std::uint64_t bytes_read_ = 0;
};

// Raises a FileError unless the file looks like a zip package: names legacy and encrypted
// workbooks, folders and missing files.
void CheckWorkbookFile(const std::filesystem::path& path);

}  // namespace quorvane::xlsx
