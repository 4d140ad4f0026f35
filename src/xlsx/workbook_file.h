// A workbook file (.xlsx or .xlsm) loaded into the in-memory host's model, and saved back.
//
// Loading reads the sheet names, cell values (shared and inline strings, numbers, logicals,
// errors, cached formula results), number formats, fills, hidden rows, column widths, row heights,
// protection, notes with their visibility, and drawing shapes with their names and anchors.
// Saving compares the model with the model as loaded and rewrites only the parts that changed:
// the changed sheets, the styles, the notes' comments and VML parts, the drawings, their
// relationships and the content types. Every other part is copied byte for byte, so formulas,
// charts, images, defined names and parts this layer does not know survive.
//
// A WorkbookFile keeps the file open for reading while it lives. It is not thread-safe.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "memhost/model.h"

namespace quorvane::xlsx {

class WorkbookFile {
 public:
  // Raises a FileError naming the file and the problem.
  static WorkbookFile Load(const std::filesystem::path& path);
  // A new, empty workbook with the given sheets; its model's name is `name`.
  static WorkbookFile New(const std::string& name, const std::vector<std::string>& sheet_names);

  WorkbookFile(WorkbookFile&&) noexcept;
  WorkbookFile& operator=(WorkbookFile&&) noexcept;
  ~WorkbookFile();

  // The model as loaded. Its name is the file name, e.g. "Book1.xlsx".
  const memhost::WorkbookData& data() const;
  const std::string& display_name() const;

  // Writes `current` (the model after changes; the same sheets in the same order) to `target`,
  // overwriting it. Raises a FileError. Use SaveWorkbooks for a safe replacement.
  void Write(const memhost::WorkbookData& current, const std::filesystem::path& target) const;

 private:
  struct Impl;
  explicit WorkbookFile(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

struct SaveRequest {
  const WorkbookFile* file = nullptr;
  const memhost::WorkbookData* current = nullptr;
  std::filesystem::path target;
};

// Writes every workbook to a temporary file beside its target, then renames each over its
// target: a failure leaves every target as it was (no target is replaced before all are written).
// Raises a FileError.
void SaveWorkbooks(const std::vector<SaveRequest>& requests);

}  // namespace quorvane::xlsx
