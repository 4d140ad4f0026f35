// Saving a workbook file: the model is compared with the model as loaded, and only the parts that
// changed are written; every other part is copied as it is.
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "host/worksheet.h"
#include "xlsx/cell_splice.h"
#include "xlsx/comments.h"
#include "xlsx/content_types.h"
#include "xlsx/drawing.h"
#include "xlsx/durable_save.h"
#include "xlsx/error.h"
#include "xlsx/package.h"
#include "xlsx/relationships.h"
#include "xlsx/styles.h"
#include "xlsx/workbook_file.h"
#include "xlsx/workbook_file_impl.h"
#include "xlsx/worksheet.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

namespace {

memhost::Fill Normal(const memhost::Fill& fill) {
  return fill.pattern == host::kPatternNone ? memhost::Fill{} : fill;
}

bool SameCell(const memhost::CellData& a, const memhost::CellData& b) {
  return a.value == b.value && a.number_format == b.number_format &&
         Normal(a.fill) == Normal(b.fill);
}

// Whether the cells (those stored, their values and formats), the hidden rows, the heights or the
// widths differ. When `b`'s store keeps the state as loaded of the cells it changed, that state
// stands for `a`'s cells.
bool CellsDiffer(const memhost::SheetData& a, const memhost::SheetData& b) {
  if (a.hidden_rows != b.hidden_rows || a.row_heights != b.row_heights ||
      a.column_widths != b.column_widths) {
    return true;
  }
  if (const auto* originals = b.cells.originals()) {
    for (const auto& [key, original] : *originals) {
      const memhost::CellData* now = b.Find(key.first, key.second);
      if (original.has_value() != (now != nullptr) || (now && !SameCell(*original, *now))) {
        return true;
      }
    }
    return false;
  }
  if (a.cells.size() != b.cells.size()) return true;
  for (auto i = a.cells.begin(), j = b.cells.begin(); i != a.cells.end(); ++i, ++j) {
    if (i->first != j->first || !SameCell(i->second, j->second)) return true;
  }
  return false;
}

using NoteMap = std::map<memhost::CellKey, memhost::CommentData>;

NoteMap Notes(const memhost::SheetData& sheet) {
  NoteMap notes;
  for (const auto& [key, cell] : sheet.cells) {
    if (cell.comment) notes.emplace(key, *cell.comment);
  }
  return notes;
}

// The notes of `before`: `after`'s with those of the changed cells as loaded, when `after`'s
// store keeps them.
NoteMap NotesBefore(const memhost::SheetData& before, const memhost::SheetData& after,
                    const NoteMap& notes_after) {
  const auto* originals = after.cells.originals();
  if (originals == nullptr) return Notes(before);
  NoteMap notes = notes_after;
  for (const auto& [key, original] : *originals) {
    notes.erase(key);
    if (original && original->comment) notes.emplace(key, *original->comment);
  }
  return notes;
}

bool ShapesDiffer(const memhost::SheetData& a, const memhost::SheetData& b) {
  if (a.shapes.size() != b.shapes.size()) return true;
  for (std::size_t i = 0; i < a.shapes.size(); ++i) {
    if (b.shapes[i].id == 0 || a.shapes[i].id != b.shapes[i].id ||
        a.shapes[i].name != b.shapes[i].name) {
      return true;
    }
  }
  return false;
}

// What a save changes in the package: parts replaced or removed, the content types, and the part
// names taken so far.
class PackageEdit {
 public:
  PackageEdit(const Package& package, const std::string& file)
      : types(ContentTypes::Parse(package.Read(kContentTypesPart), file)),
        names_(package.names().begin(), package.names().end()) {}

  // "<stem><n><extension>" with the first n not yet taken.
  std::string NewPart(const std::string& stem, const std::string& extension) {
    for (int n = 1;; ++n) {
      const std::string name = stem + std::to_string(n) + extension;
      if (names_.insert(name).second) return name;
    }
  }
  bool Taken(const std::string& part) const { return names_.count(part) != 0; }
  void Take(const std::string& part) { names_.insert(part); }

  void Set(const std::string& part, std::string bytes) { changes_[part] = std::move(bytes); }
  // The sheets, notes and drawings are deflated as they are made (their value in the changes is a
  // place holder).
  void Deflate(const std::string& part, std::string bytes) {
    changes_[part] = std::string();
    deflated_.Add(part, std::move(bytes));
  }
  // Removes the part with its content type; the caller removes the relationship to it.
  void Remove(const std::string& part) {
    changes_[part] = std::nullopt;
    types.RemoveOverride(part);
  }

  std::string Finish(const Package& package) {
    if (types.changed()) changes_[kContentTypesPart] = types.Serialize();
    deflated_.Finish();
    return package.Serialize(changes_, &deflated_);
  }

  ContentTypes types;

 private:
  std::map<std::string, std::optional<std::string>> changes_;
  std::set<std::string> names_;
  DeflatedParts deflated_;
};

// One changed sheet being saved: its document and relationships, edited by the steps below.
struct SheetEdit {
  const SheetInfo& info;
  std::string text;  // the document's text, when it is parsed in place
  pugi::xml_document doc;
  Relationships rels;
  bool dirty = false;  // the sheet's document changed
};

// Writes the sheet's notes and their shapes; removes the parts of a sheet left without notes.
// `idmap` is the last drawing number taken.
void SaveNotes(PackageEdit& edit, SheetEdit& sheet, const Package& package,
               const std::map<memhost::CellKey, memhost::CommentData>& before,
               const std::map<memhost::CellKey, memhost::CommentData>& after,
               const memhost::SheetData& after_sheet, int& idmap) {
  const SheetInfo& info = sheet.info;
  const std::string& file = package.display_name();
  pugi::xml_document comments, vml;
  ParsePart(comments,
            info.comments_part.empty() ? NewCommentsXml() : package.Read(info.comments_part), file,
            info.comments_part);
  if (info.vml_part.empty()) {
    ParseVml(vml, NewVmlXml(++idmap), file, "a new VML part");
  } else {
    ParseVml(vml, package.Read(info.vml_part), file, info.vml_part);
  }
  NewElements new_comments, new_shapes;
  const std::size_t left =
      UpdateComments(comments, vml, before, after, after_sheet, new_comments, new_shapes);
  if (left == 0) {
    if (!info.comments_part.empty()) {
      edit.Remove(info.comments_part);
      sheet.rels.Remove(info.comments_id);
    }
    if (info.vml_part.empty()) return;
    if (VmlHasShapes(vml)) {
      edit.Deflate(info.vml_part, xlsx::Serialize(vml));
    } else {
      edit.Remove(info.vml_part);
      sheet.rels.Remove(info.vml_id);
      SetDrawingReference(sheet.doc, "legacyDrawing", "");
      sheet.dirty = true;
    }
    return;
  }
  std::string comments_part = info.comments_part;
  if (comments_part.empty()) {
    comments_part = edit.NewPart("xl/comments", ".xml");
    sheet.rels.Add(kRelComments, comments_part);
    edit.types.SetOverride(comments_part, kTypeComments);
  }
  edit.Deflate(comments_part, xlsx::Serialize(comments, new_comments));
  std::string vml_part = info.vml_part;
  if (vml_part.empty()) {
    vml_part = edit.NewPart("xl/drawings/vmlDrawing", ".vml");
    SetDrawingReference(sheet.doc, "legacyDrawing", sheet.rels.Add(kRelVmlDrawing, vml_part));
    edit.types.EnsureDefault("vml", kTypeVml);
    sheet.dirty = true;
  }
  edit.Deflate(vml_part, xlsx::Serialize(vml, new_shapes));
}

// Writes the sheet's drawing with `after`'s shapes, adding the part when the sheet had none.
void SaveDrawing(PackageEdit& edit, SheetEdit& sheet, const Package& package,
                 const memhost::SheetData& before, const memhost::SheetData& after) {
  const SheetInfo& info = sheet.info;
  pugi::xml_document drawing;
  ParsePart(drawing, info.drawing_part.empty() ? NewDrawingXml() : package.Read(info.drawing_part),
            package.display_name(), info.drawing_part);
  NewElements new_anchors;
  UpdateDrawing(drawing, before.shapes, after.shapes, after, new_anchors);
  std::string drawing_part = info.drawing_part;
  if (drawing_part.empty()) {
    drawing_part = edit.NewPart("xl/drawings/drawing", ".xml");
    SetDrawingReference(sheet.doc, "drawing", sheet.rels.Add(kRelDrawing, drawing_part));
    edit.types.SetOverride(drawing_part, kTypeDrawing);
    sheet.dirty = true;
  }
  edit.Deflate(drawing_part, xlsx::Serialize(drawing, new_anchors));
}

}  // namespace

std::string WorkbookFile::Serialize(const memhost::WorkbookData& current) const {
  const Impl& impl = *impl_;
  const std::string& file = impl.file();
  if (current.sheets.size() != impl.data.sheets.size()) {
    throw FileError(file + ": the workbook's sheets changed in number; cannot save");
  }
  PackageEdit edit(impl.package, file);
  std::optional<StyleTable> styles;
  auto style_table = [&]() -> StyleTable& {
    if (!styles) {
      styles = impl.styles_part.empty() ? StyleTable::Default()
                                        : StyleTable::Parse(impl.package.Read(impl.styles_part),
                                                            file, impl.styles_part, impl.theme);
      styles->Reserve(impl.style_bound);
    }
    return *styles;
  };
  int idmap = impl.max_idmap;
  for (std::size_t i = 0; i < current.sheets.size(); ++i) {
    const memhost::SheetData& before = impl.data.sheets[i];
    const memhost::SheetData& after = current.sheets[i];
    const SheetInfo& info = impl.sheets[i];
    if (info.skipped) {
      if (!after.cells.empty() || !after.shapes.empty()) {
        throw FileError(file + ": the sheet " + after.name +
                        " was not read, so its changes cannot be saved");
      }
      continue;
    }
    // A model handed over is compared through the states as loaded its stores keep, and no other
    // model keeps them.
    if (impl.data_taken != (after.cells.originals() != nullptr)) {
      throw FileError(file + ": the sheet " + after.name +
                      " is not the one loaded, so its changes cannot be saved");
    }
    const bool cells_changed = CellsDiffer(before, after);
    const auto notes_after = Notes(after);
    const auto notes_before = NotesBefore(before, after, notes_after);
    const bool notes_changed = notes_before != notes_after;
    const bool shapes_changed = ShapesDiffer(before, after);
    if (!cells_changed && !notes_changed && !shapes_changed) continue;

    SheetEdit sheet{info, {}, {}, info.rels};
    // Changed cells are written into the sheet's text as loaded where they can be, which spares
    // parsing and writing all its rows; otherwise the whole document is edited.
    std::optional<SplicedWorksheet> spliced;
    if (info.text_checked) {
      info.text_checked = false;
      sheet.text = impl.package.ReadAgain(info.part);
      const CellOffsets offsets = std::exchange(info.offsets, {});
      if (cells_changed) {
        spliced = SpliceCellEdits(sheet.text, offsets, before, after, style_table());
      }
      if (spliced) {
        ParsePart(sheet.doc, spliced->skeleton, file, info.part);
        std::string().swap(spliced->skeleton);
        // The rows go back into the skeleton's <sheetData>, which is the one they were cut from.
        if (!Child(sheet.doc.document_element(), kNsMain, "sheetData")) spliced.reset();
      }
      if (spliced) {
        sheet.dirty = spliced->changed;
      } else {
        ParseCheckedPartInPlace(sheet.doc, sheet.text, file, info.part);
      }
    } else {
      ParsePart(sheet.doc, impl.package.Read(info.part), file, info.part);
    }
    // A sheet that held no cells (a new one) has its cells written straight into its text.
    NewElements new_rows;
    if (!spliced && cells_changed) {
      const bool held_cells = impl.data_taken && impl.held_cells[i];
      const std::optional<bool> dirty =
          held_cells ? std::nullopt
                     : UpdateNewWorksheet(sheet.doc, before, after, style_table(), new_rows);
      sheet.dirty = dirty ? *dirty : UpdateWorksheet(sheet.doc, before, after, style_table());
    }
    if (notes_changed) {
      SaveNotes(edit, sheet, impl.package, notes_before, notes_after, after, idmap);
    }
    if (shapes_changed) SaveDrawing(edit, sheet, impl.package, before, after);
    if (sheet.dirty && spliced) {
      // The rows go back in place, between the skeleton's <sheetData> tags.
      const std::string& text = sheet.text;
      NewElements rows{Child(sheet.doc.document_element(), kNsMain, "sheetData"),
                       spliced->content_size, [&](std::string& out) {
                         for (const SplicedWorksheet::Piece& piece : spliced->pieces) {
                           out.append(text, piece.from, piece.to - piece.from);
                           out += piece.cell;
                         }
                       }};
      edit.Deflate(info.part, xlsx::Serialize(sheet.doc, rows));
    } else if (sheet.dirty) {
      edit.Deflate(info.part, xlsx::Serialize(sheet.doc, new_rows));
    }
    if (sheet.rels.changed()) {
      edit.Set(Relationships::RelsPartOf(info.part), sheet.rels.Serialize());
    }
  }

  if (styles && styles->changed()) {
    std::string part = impl.styles_part;
    if (part.empty()) {
      part = edit.Taken("xl/styles.xml") ? edit.NewPart("xl/styles", ".xml") : "xl/styles.xml";
      edit.Take(part);
      Relationships rels = impl.workbook_rels;
      rels.Add(kRelStyles, part);
      edit.Set(Relationships::RelsPartOf(impl.workbook_part), rels.Serialize());
      edit.types.SetOverride(part, kTypeStyles);
    }
    edit.Set(part, styles->Serialize());
  }
  return edit.Finish(impl.package);
}

memhost::WorkbookData WorkbookFile::TakeData() {
  Impl& impl = *impl_;
  if (impl.data_taken) throw FileError(impl.file() + ": the workbook was handed over already");
  memhost::WorkbookData taken = std::move(impl.data);
  impl.data = memhost::WorkbookData{};
  impl.data.name = taken.name;
  impl.held_cells.clear();
  for (memhost::SheetData& sheet : taken.sheets) {
    impl.held_cells.push_back(!sheet.cells.empty());
    memhost::CellStore<memhost::CellData> cells = std::move(sheet.cells);
    impl.data.sheets.push_back(sheet);
    sheet.cells = std::move(cells);
    sheet.cells.KeepOriginals();
  }
  impl.data_taken = true;
  return taken;
}

void SaveWorkbooks(const std::vector<SaveRequest>& requests, const SaveIo& io) {
  // Each workbook goes to its temporary file as soon as it is made, so that one is held at a time;
  // a workbook that cannot be made stops the save before any target is touched.
  StagedReplacement replacement(io);
  for (const SaveRequest& request : requests) {
    replacement.Add({request.target, request.file->Serialize(*request.current)});
  }
  replacement.Replace();
}

}  // namespace quorvane::xlsx
