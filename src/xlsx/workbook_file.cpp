// The workbook part (xl/workbook.xml) and the package as a whole: loading every part the model
// needs, and saving the changed ones.
#include "xlsx/workbook_file.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "host/worksheet.h"
#include "xlsx/comments.h"
#include "xlsx/content_types.h"
#include "xlsx/drawing.h"
#include "xlsx/error.h"
#include "xlsx/package.h"
#include "xlsx/relationships.h"
#include "xlsx/shared_strings.h"
#include "xlsx/styles.h"
#include "xlsx/worksheet.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

namespace fs = std::filesystem;

namespace {

struct SheetInfo {
  std::string part;
  bool skipped = false;  // not read: saved back as it is
  // The sheet's text as loaded and checked, kept for the first save that changes the sheet, which
  // writes the changed cells into it, or parses it in place, without reading and checking the part
  // again; later saves read it anew.
  mutable std::optional<std::string> loaded;
  mutable CellOffsets offsets;  // of the elements of `loaded`
  Relationships rels;
  std::string comments_part, comments_id;
  std::string vml_part, vml_id;
  std::string drawing_part, drawing_id;
};

memhost::Fill Normal(const memhost::Fill& fill) {
  return fill.pattern == host::kPatternNone ? memhost::Fill{} : fill;
}

bool CellsDiffer(const memhost::SheetData& a, const memhost::SheetData& b) {
  if (a.hidden_rows != b.hidden_rows || a.row_heights != b.row_heights ||
      a.column_widths != b.column_widths || a.cells.size() != b.cells.size()) {
    return true;
  }
  for (auto i = a.cells.begin(), j = b.cells.begin(); i != a.cells.end(); ++i, ++j) {
    if (i->first != j->first || !(i->second.value == j->second.value) ||
        i->second.number_format != j->second.number_format ||
        Normal(i->second.fill) != Normal(j->second.fill)) {
      return true;
    }
  }
  return false;
}

std::map<memhost::CellKey, memhost::CommentData> Notes(const memhost::SheetData& sheet) {
  std::map<memhost::CellKey, memhost::CommentData> notes;
  for (const auto& [key, cell] : sheet.cells) {
    if (cell.comment) notes.emplace(key, *cell.comment);
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

// Refuses a part whose root element is not the one its relationship promises: what the reader
// would not see in it, the writer could not safely change.
void CheckRoot(const pugi::xml_document& doc, std::string_view ns, std::string_view local,
               const std::string& file, const std::string& part) {
  if (!Is(doc.document_element(), ns, local)) {
    throw FileError(file + ": " + part + " is not a " + std::string(local) +
                    " part (its root element is " + doc.document_element().name() + ")");
  }
}

std::string MissingRelationship(const std::string& file, const std::string& part,
                                const std::string& id, const std::string& rels_part) {
  return file + ": " + part + " refers to the relationship " + id + ", which " + rels_part +
         " does not have";
}

}  // namespace

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

  const std::string& file() const { return package.display_name(); }

  // The part a relationship of `rels` (of `source`) points at; raises when it is missing or of
  // another type than `type` (two roles for one part would have the writer overwrite one with the
  // other).
  std::string Target(const Relationships& rels, const std::string& source, const std::string& id,
                     const char* type) {
    const Relationship* rel = rels.FindId(id);
    if (!rel)
      throw FileError(MissingRelationship(file(), source, id, Relationships::RelsPartOf(source)));
    if (rel->type != type) {
      throw FileError(file() + ": " + source + " refers to the relationship " + id +
                      " as a drawing, but it is of the type " + rel->type);
    }
    return CheckedPart(rels.PartOf(*rel), source);
  }

  std::string CheckedPart(const std::string& part, const std::string& source) {
    if (!package.Has(part)) {
      throw FileError(file() + ": " + source + " refers to " + part +
                      ", which the file does not contain");
    }
    return part;
  }

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
  void LoadDrawing(const SheetInfo& info, memhost::SheetData& sheet);
};

void WorkbookFile::Impl::Load(const std::string& model_name, const SheetFilter& wanted) {
  data.name = model_name;
  const pugi::xml_document workbook = LoadWorkbookPart();
  StyleTable styles = StyleTable::Default();
  const std::vector<std::string> strings = LoadStylesAndStrings(styles);
  std::size_t cells = 0;
  const pugi::xml_node sheets_node = Child(workbook.document_element(), kNsMain, "sheets");
  ForChildren(sheets_node, kNsMain, "sheet", [&](pugi::xml_node node) {
    const std::string id = Attr(node, kNsRel, "id").value();
    const Relationship* rel = workbook_rels.FindId(id);
    if (!rel) {
      throw FileError(
          MissingRelationship(file(), workbook_part, id, Relationships::RelsPartOf(workbook_part)));
    }
    if (rel->type != kRelWorksheet) return;  // chart sheets and the like hold no cells
    const std::string part = CheckedPart(workbook_rels.PartOf(*rel), workbook_part);
    for (std::size_t i = 0; i < sheets.size(); ++i) {
      // Saving one sheet would change the other, and saving both would keep only one.
      if (sheets[i].part == part) {
        throw FileError(file() + ": the sheets " + data.sheets[i].name + " and " +
                        node.attribute("name").value() + " are both stored in the part " + part +
                        ", which no workbook does; refused");
      }
    }
    SheetInfo& info = sheets.emplace_back();
    info.part = part;
    memhost::SheetData& sheet = data.sheets.emplace_back();
    sheet.name = node.attribute("name").value();
    if (wanted && !wanted(sheet.name, data.sheets.size() - 1)) {
      SkipSheet(info);
      return;
    }
    LoadSheet(info, strings, styles, sheet, cells);
  });
  if (data.sheets.empty()) throw FileError(file() + ": the workbook holds no worksheet");
}

pugi::xml_document WorkbookFile::Impl::LoadWorkbookPart() {
  if (!package.Has(kContentTypesPart)) {
    throw FileError(file() + ": is a zip archive but holds no workbook (no [Content_Types].xml)");
  }
  ContentTypes::Parse(package.Read(kContentTypesPart), file());
  if (package.Has("_rels/.rels")) {
    const Relationships root = Relationships::Parse("", package.Read("_rels/.rels"), file());
    if (const Relationship* rel = root.FindType(kRelOfficeDocument))
      workbook_part = root.PartOf(*rel);
  }
  if (workbook_part.empty() || !package.Has(workbook_part)) {
    throw FileError(file() + ": is a zip archive but holds no workbook");
  }
  pugi::xml_document workbook;
  ParsePart(workbook, package.Read(workbook_part), file(), workbook_part);
  CheckRoot(workbook, kNsMain, "workbook", file(), workbook_part);
  const std::string rels_part = Relationships::RelsPartOf(workbook_part);
  if (package.Has(rels_part)) {
    workbook_rels = Relationships::Parse(workbook_part, package.Read(rels_part), file());
  } else {
    workbook_rels = Relationships(workbook_part);
  }
  return workbook;
}

std::vector<std::string> WorkbookFile::Impl::LoadStylesAndStrings(StyleTable& styles) {
  if (const Relationship* rel = workbook_rels.FindType(kRelTheme)) {
    const std::string part = CheckedPart(workbook_rels.PartOf(*rel), workbook_part);
    theme = ParseTheme(package.Read(part), file(), part);
  }
  if (const Relationship* rel = workbook_rels.FindType(kRelStyles)) {
    styles_part = CheckedPart(workbook_rels.PartOf(*rel), workbook_part);
    styles = StyleTable::Parse(package.Read(styles_part), file(), styles_part, theme);
  }
  std::vector<std::string> strings;
  if (const Relationship* rel = workbook_rels.FindType(kRelSharedStrings)) {
    // Some writers name the part without writing it: no cell can use it then.
    const std::string part = workbook_rels.PartOf(*rel);
    if (package.Has(part)) strings = ParseSharedStrings(package.Read(part), file(), part);
  }
  return strings;
}

void WorkbookFile::Impl::SkipSheet(SheetInfo& info) {
  info.skipped = true;
  const std::string sheet_rels = Relationships::RelsPartOf(info.part);
  if (!package.Has(sheet_rels)) return;
  const Relationships rels = Relationships::Parse(info.part, package.Read(sheet_rels), file());
  if (const Relationship* vml = rels.FindType(kRelVmlDrawing)) {
    const std::string vml_part = rels.PartOf(*vml);
    if (package.Has(vml_part)) {
      pugi::xml_document doc;
      ParseVml(doc, package.Read(vml_part), file(), vml_part);
      max_idmap = std::max(max_idmap, VmlIdMap(doc));
    }
  }
}

void WorkbookFile::Impl::LoadSheet(SheetInfo& info, const std::vector<std::string>& strings,
                                   const StyleTable& styles, memhost::SheetData& sheet,
                                   std::size_t& cells) {
  pugi::xml_document doc;
  info.loaded = package.Read(info.part);
  ParsePart(doc, *info.loaded, file(), info.part);
  CheckRoot(doc, kNsMain, "worksheet", file(), info.part);
  const WorksheetRefs refs = LoadWorksheet(doc, strings, styles, sheet, &info.offsets);
  cells += sheet.cells.size();
  if (cells > kMaxCells) {
    throw FileError(file() + ": the sheets to read hold more than " + std::to_string(kMaxCells) +
                    " cells; refused");
  }
  const std::string sheet_rels = Relationships::RelsPartOf(info.part);
  info.rels = package.Has(sheet_rels)
                  ? Relationships::Parse(info.part, package.Read(sheet_rels), file())
                  : Relationships(info.part);
  style_bound = std::max(style_bound, refs.style_bound);
  FindSheetParts(info, refs);
  LoadNotes(info, sheet);
  LoadDrawing(info, sheet);
}

void WorkbookFile::Impl::FindSheetParts(SheetInfo& info, const WorksheetRefs& refs) {
  if (!refs.drawing_id.empty()) {
    info.drawing_id = refs.drawing_id;
    info.drawing_part = Target(info.rels, info.part, refs.drawing_id, kRelDrawing);
  }
  if (!refs.legacy_id.empty()) {
    info.vml_id = refs.legacy_id;
    info.vml_part = Target(info.rels, info.part, refs.legacy_id, kRelVmlDrawing);
  } else if (const Relationship* vml = info.rels.FindType(kRelVmlDrawing)) {
    info.vml_id = vml->id;
    info.vml_part = CheckedPart(info.rels.PartOf(*vml), info.part);
  }
  if (const Relationship* comments = info.rels.FindType(kRelComments)) {
    info.comments_id = comments->id;
    info.comments_part = CheckedPart(info.rels.PartOf(*comments), info.part);
  }
  // Each part has one role: the sheet, its notes, their drawing and its shapes are all distinct.
  const std::vector<const std::string*> roles = {&info.part, &info.comments_part, &info.vml_part,
                                                 &info.drawing_part};
  for (std::size_t a = 0; a < roles.size(); ++a) {
    for (std::size_t b = a + 1; b < roles.size(); ++b) {
      if (!roles[a]->empty() && *roles[a] == *roles[b]) {
        throw FileError(file() + ": " + info.part + " uses the part " + *roles[a] +
                        " for two purposes");
      }
    }
  }
}

void WorkbookFile::Impl::LoadNotes(const SheetInfo& info, memhost::SheetData& sheet) {
  std::optional<pugi::xml_document> vml;
  if (!info.vml_part.empty()) {
    vml.emplace();
    ParseVml(*vml, package.Read(info.vml_part), file(), info.vml_part);
    max_idmap = std::max(max_idmap, VmlIdMap(*vml));
  }
  if (info.comments_part.empty()) return;
  pugi::xml_document comments;
  ParsePart(comments, package.Read(info.comments_part), file(), info.comments_part);
  CheckRoot(comments, kNsMain, "comments", file(), info.comments_part);
  for (auto& [key, note] : LoadComments(comments, vml ? &*vml : nullptr)) {
    sheet.At(key.first, key.second).comment = std::move(note);
  }
}

void WorkbookFile::Impl::LoadDrawing(const SheetInfo& info, memhost::SheetData& sheet) {
  if (info.drawing_part.empty()) return;
  pugi::xml_document drawing;
  ParsePart(drawing, package.Read(info.drawing_part), file(), info.drawing_part);
  CheckRoot(drawing, kNsXdr, "wsDr", file(), info.drawing_part);
  sheet.shapes = LoadShapes(drawing, sheet);
  int max_id = 0;
  for (const memhost::ShapeData& shape : sheet.shapes) max_id = std::max(max_id, shape.id);
  sheet.next_shape_number = std::max(max_id, 1);
}

WorkbookFile::WorkbookFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
WorkbookFile::WorkbookFile(WorkbookFile&&) noexcept = default;
WorkbookFile& WorkbookFile::operator=(WorkbookFile&&) noexcept = default;
WorkbookFile::~WorkbookFile() = default;

WorkbookFile WorkbookFile::Load(const fs::path& path, const SheetFilter& wanted) {
  auto impl = std::make_unique<Impl>();
  impl->package = Package::Open(path);
  impl->Load(path.filename().string(), wanted);
  return WorkbookFile(std::move(impl));
}

WorkbookFile WorkbookFile::New(const std::string& name,
                               const std::vector<std::string>& sheet_names) {
  const std::string workbook_part = "xl/workbook.xml";
  const std::string styles_part = "xl/styles.xml";
  std::map<std::string, std::string> parts;
  ContentTypes types = ContentTypes::New();
  types.SetOverride(workbook_part, kTypeWorkbook);
  types.SetOverride(styles_part, kTypeStyles);
  Relationships root_rels("");
  root_rels.Add(kRelOfficeDocument, workbook_part);
  Relationships rels(workbook_part);

  pugi::xml_document workbook;
  pugi::xml_node root = workbook.append_child("workbook");
  root.append_attribute("xmlns").set_value(std::string(kNsMain).c_str());
  root.append_attribute("xmlns:r").set_value(std::string(kNsRel).c_str());
  pugi::xml_node sheets = root.append_child("sheets");
  for (std::size_t i = 0; i < sheet_names.size(); ++i) {
    const std::string part = "xl/worksheets/sheet" + std::to_string(i + 1) + ".xml";
    pugi::xml_node sheet = sheets.append_child("sheet");
    sheet.append_attribute("name").set_value(sheet_names[i].c_str());
    sheet.append_attribute("sheetId").set_value(static_cast<int>(i + 1));
    sheet.append_attribute("r:id").set_value(rels.Add(kRelWorksheet, part).c_str());
    types.SetOverride(part, kTypeWorksheet);
    parts[part] = NewWorksheetXml();
  }
  rels.Add(kRelStyles, styles_part);
  parts[kContentTypesPart] = types.Serialize();
  parts[Relationships::RelsPartOf("")] = root_rels.Serialize();
  parts[workbook_part] = xlsx::Serialize(workbook);
  parts[Relationships::RelsPartOf(workbook_part)] = rels.Serialize();
  parts[styles_part] = StyleTable::DefaultXml();
  auto impl = std::make_unique<Impl>();
  impl->package = Package::FromParts(name, std::move(parts));
  impl->Load(name);
  return WorkbookFile(std::move(impl));
}

const memhost::WorkbookData& WorkbookFile::data() const { return impl_->data; }
const std::string& WorkbookFile::display_name() const { return impl_->file(); }

namespace {

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
    const bool cells_changed = CellsDiffer(before, after);
    const auto notes_before = Notes(before);
    const auto notes_after = Notes(after);
    const bool notes_changed = notes_before != notes_after;
    const bool shapes_changed = ShapesDiffer(before, after);
    if (!cells_changed && !notes_changed && !shapes_changed) continue;

    SheetEdit sheet{info, {}, {}, info.rels};
    // Changed cells are written into the sheet's text as loaded where they can be, which spares
    // parsing and writing all its rows; otherwise the whole document is edited.
    std::optional<SplicedWorksheet> spliced;
    if (info.loaded) {
      sheet.text = std::move(*info.loaded);
      info.loaded.reset();
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
    if (!spliced) {
      sheet.dirty = cells_changed && UpdateWorksheet(sheet.doc, before, after, style_table());
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
      edit.Deflate(info.part, xlsx::Serialize(sheet.doc));
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

void SaveWorkbooks(const std::vector<SaveRequest>& requests, const SaveIo& io) {
  // Every workbook is made in memory first: a workbook that cannot be made stops the save before
  // any file is touched.
  std::vector<FileReplacement> files;
  for (const SaveRequest& request : requests) {
    files.push_back({request.target, request.file->Serialize(*request.current)});
  }
  ReplaceFiles(files, io);
}

}  // namespace quorvane::xlsx
