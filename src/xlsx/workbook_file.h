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

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "memhost/model.h"
#include "xlsx/durable_save.h"

namespace quorvane::xlsx {

// The most cells a load reads, over all the sheets it reads.
inline constexpr std::size_t kMaxCells = 4'000'000;

class WorkbookFile {
 public:
  // Which worksheets to read: asked with each worksheet's name and position (from 0). A sheet left
  // out stays in the model by its name only, without cells, and is saved back unchanged.
  using SheetFilter = std::function<bool(const std::string& name, std::size_t position)>;

  // Reads every worksheet, or those `wanted` names. Raises a FileError naming the file and the
  // problem; also for a workbook beyond the limits (kMaxCells cells in the sheets read, and the
  // package's and parts' own limits).
  static WorkbookFile Load(const std::filesystem::path& path, const SheetFilter& wanted = {});
  // A new, empty workbook with the given sheets; its model's name is `name`.
  static WorkbookFile New(const std::string& name, const std::vector<std::string>& sheet_names);

  WorkbookFile(WorkbookFile&&) noexcept;
  WorkbookFile& operator=(WorkbookFile&&) noexcept;
  ~WorkbookFile();

  // The model as loaded. Its name is the file name, e.g. "Book1.xlsx". After TakeData(), its
  // sheets without their cells.
  const memhost::WorkbookData& data() const;
  // Hands the model as loaded over (to a host, which changes it), instead of a copy: the file keeps
  // its sheets without their cells, and the model's cell stores keep from then on the state as
  // loaded of each cell they change, which is all a save then compares. Once only.
  memhost::WorkbookData TakeData();
  const std::string& display_name() const;

  // The workbook file for `current` (the model after changes; the same sheets in the same order),
  // as bytes; after TakeData(), `current` is the model taken. Raises a FileError. SaveWorkbooks
  // writes it safely.
  std::string Serialize(const memhost::WorkbookData& current) const;

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

// Makes each workbook and writes it to a temporary file beside its target (a workbook that cannot
// be made stops the save before any target is touched), then replaces the targets all or nothing,
// as ReplaceFiles does. Raises a FileError.
void SaveWorkbooks(const std::vector<SaveRequest>& requests, const SaveIo& io = SaveIo::System());

}  // namespace quorvane::xlsx
