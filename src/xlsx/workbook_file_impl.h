// What a loaded workbook file keeps for saving: the package, the model as loaded, and where each
// sheet's parts are. Shared by loading and saving.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "memhost/model.h"
#include "xlsx/package.h"
#include "xlsx/relationships.h"
#include "xlsx/styles.h"
#include "xlsx/workbook_file.h"
#include "xlsx/worksheet.h"

namespace quorvane::xlsx {

struct SheetInfo {
  std::string part;
  bool skipped = false;  // not read: saved back as it is
  // Whether the sheet's text, checked when it was loaded, is left for the first save that changes
  // the sheet, which reads it again from the archive (only the compressed bytes are held meanwhile)
  // and writes the changed cells into it, or parses it in place, without checking it again; later
  // saves read and check it anew.
  mutable bool text_checked = false;
  mutable CellOffsets offsets;  // of the elements of that text
  Relationships rels;
  std::string comments_part, comments_id;
  std::string vml_part, vml_id;
  std::string drawing_part, drawing_id;
  std::string threaded_comments_part;  // read only: saved back as it is
};

struct WorkbookFile::Impl {
  Package package;
  memhost::WorkbookData data;
  std::string workbook_part;
  Relationships workbook_rels;
  std::string styles_part;
  ThemeColors theme = DefaultThemeColors();
  std::vector<SheetInfo> sheets;
  int max_idmap = 0;
  int style_bound = 0;  // format numbers the loaded sheets refer to
  // Whether the model was handed over (TakeData), and which of its sheets held cells when it was.
  bool data_taken = false;
  std::vector<bool> held_cells;

  const std::string& file() const { return package.display_name(); }

  // The part a relationship of `rels` (of `source`) points at; raises when it is missing or of
  // another type than `type` (two roles for one part would have the writer overwrite one with the
  // other).
  std::string Target(const Relationships& rels, const std::string& source, const std::string& id,
                     const char* type);
  // The part, which `source` refers to; raises when the file does not hold it.
  std::string CheckedPart(const std::string& part, const std::string& source);

  void Load(const std::string& model_name, const SheetFilter& wanted = {});

 private:
  // The workbook part, found through the package's root relationships, with its relationships.
  pugi::xml_document LoadWorkbookPart();
  // The theme and the cell formats; the shared strings, returned.
  std::vector<std::string> LoadStylesAndStrings(StyleTable& styles);
  // A sheet left out: only its notes' drawing number is taken, so that new ones do not collide.
  void SkipSheet(SheetInfo& info);
  // Reads a sheet; `cells` counts the cells read so far, over every sheet.
  void LoadSheet(SheetInfo& info, const std::vector<std::string>& strings, const StyleTable& styles,
                 memhost::SheetData& sheet, std::size_t& cells);
  // The sheet's notes, their drawing and its shapes, as its references and relationships name them.
  void FindSheetParts(SheetInfo& info, const WorksheetRefs& refs);
  void LoadNotes(const SheetInfo& info, memhost::SheetData& sheet);
  // Marks the cells that hold a threaded comment; the thread's parts are never written.
  void LoadThreadedComments(const SheetInfo& info, memhost::SheetData& sheet);
  void LoadDrawing(const SheetInfo& info, memhost::SheetData& sheet);
};

}  // namespace quorvane::xlsx
