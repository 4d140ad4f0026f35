#include "outside_books.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

#include "xlsx/package.h"

namespace quorvane::testing {

namespace fs = std::filesystem;

namespace {

// Where Debian installs the packages' sample files.
constexpr const char* kSampleFolder = "/usr/lib/R/site-library";

std::string Text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string ApplicationOf(const fs::path& book) {
  try {
    const xlsx::Package package = xlsx::Package::Open(book);
    if (!package.Has("docProps/app.xml")) return {};
    const std::string app = package.Read("docProps/app.xml");
    const auto begin = app.find("<Application>");
    const auto end = app.find("</Application>");
    if (begin == std::string::npos || end == std::string::npos || end < begin) return {};
    return app.substr(begin + 13, end - begin - 13);
  } catch (...) {
    return {};
  }
}

}  // namespace

std::optional<fs::path> MadeBook(const std::string& maker, std::string& reason) {
  const fs::path folder = QUORVANE_OUTSIDE_BOOKS;
  const fs::path book = folder / (maker + ".xlsx");
  const fs::path missing = folder / (maker + ".missing");
  std::error_code ec;
  if (!fs::exists(book, ec) && !fs::exists(missing, ec)) {
    if (!fs::exists("/usr/bin/python3", ec)) {
      reason = "/usr/bin/python3 is not installed, so no workbook is made by " + maker;
      return std::nullopt;
    }
    const std::string command = "/usr/bin/python3 " + Quoted(QUORVANE_OUTSIDE_BOOKS_SCRIPT) + " " +
                                Quoted(folder.string()) + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
      reason = "make_outside_books.py failed";
      return std::nullopt;
    }
  }
  if (fs::exists(book, ec)) return book;
  reason = fs::exists(missing, ec) ? Text(missing) : "no workbook was made by " + maker;
  return std::nullopt;
}

std::vector<SampleBook> SampleBooks() {
  std::vector<SampleBook> books;
  for (const char* package : {"readxl", "openxlsx"}) {
    const fs::path folder = fs::path(kSampleFolder) / package / "extdata";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      if (entry.path().extension() != ".xlsx") continue;
      books.push_back({entry.path(), ApplicationOf(entry.path())});
    }
  }
  std::sort(books.begin(), books.end(),
            [](const SampleBook& a, const SampleBook& b) { return a.path < b.path; });
  return books;
}

std::optional<fs::path> Sample(const std::string& name, std::string& reason) {
  const auto slash = name.find('/');
  const fs::path path =
      fs::path(kSampleFolder) / name.substr(0, slash) / "extdata" / name.substr(slash + 1);
  std::error_code ec;
  if (fs::exists(path, ec)) return path;
  reason = path.string() + " is missing: install r-cran-" + name.substr(0, slash) +
           " (scripts/install-deps.sh)";
  return std::nullopt;
}

std::map<std::string, std::string> ReadParts(const fs::path& book) {
  const xlsx::Package package = xlsx::Package::Open(book);
  std::map<std::string, std::string> parts;
  for (const std::string& name : package.names()) {
    if (!name.empty() && name.back() != '/') parts[name] = package.Read(name);
  }
  return parts;
}

void CheckMadeBook(const std::string& maker, const std::function<void(const fs::path&)>& check) {
  std::string reason;
  const std::optional<fs::path> book = MadeBook(maker, reason);
  if (!book) GTEST_SKIP() << reason;
  check(*book);
}

void CheckSampleBooks(const std::function<void(const fs::path&)>& check) {
  const std::vector<SampleBook> samples = SampleBooks();
  if (samples.empty()) GTEST_SKIP() << "r-cran-readxl and r-cran-openxlsx are not installed";
  for (const SampleBook& sample : samples) {
    SCOPED_TRACE(sample.path.string() + " (" + sample.application + ")");
    check(sample.path);
  }
}

}  // namespace quorvane::testing
