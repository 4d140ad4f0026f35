// Workbooks that programs we did not write made, for the tests of the part modules: books made at
// test time by XlsxWriter and LibreOffice (tests/xlsx/data/make_outside_books.py), and the sample
// workbooks of Debian's r-cran-readxl and r-cran-openxlsx, most of them written by Excel.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::testing {

// The book made by "xlsxwriter" or "libreoffice". Made once for a whole ctest run by the fixture
// that runs the script first; a test program run by hand makes what is missing itself. Nothing,
// with `reason` set, when the program is missing or failed: the test then skips with the reason.
std::optional<std::filesystem::path> MadeBook(const std::string& maker, std::string& reason);

struct SampleBook {
  std::filesystem::path path;
  std::string application;  // as docProps/app.xml names the program that wrote it
};
// Every .xlsx sample of the two packages (empty when neither is installed).
std::vector<SampleBook> SampleBooks();
// One sample, "readxl/deaths.xlsx" or "openxlsx/loadExample.xlsx"; nothing, with `reason` set,
// when its package is not installed.
std::optional<std::filesystem::path> Sample(const std::string& name, std::string& reason);

// Runs a check on the book `maker` made, or skips the test with the reason it could not be made.
void CheckMadeBook(const std::string& maker,
                   const std::function<void(const std::filesystem::path&)>& check);
// Runs a check on every sample book, each named in the failures; skips the test without any.
void CheckSampleBooks(const std::function<void(const std::filesystem::path&)>& check);

// Every part of a workbook file, read with the package reader.
std::map<std::string, std::string> ReadParts(const std::filesystem::path& book);

}  // namespace quorvane::testing
