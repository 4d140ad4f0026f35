// Loading a workbook file: the package's root relationships lead to the workbook part, which
// names the sheets; each sheet read leads to its notes and drawing through its relationships.
#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "xlsx/cell_ref.h"
#include "xlsx/comments.h"
#include "xlsx/content_types.h"
#include "xlsx/drawing.h"
#include "xlsx/error.h"
#include "xlsx/package.h"
#include "xlsx/relationships.h"
#include "xlsx/shared_strings.h"
#include "xlsx/styles.h"
#include "xlsx/workbook_file.h"
#include "xlsx/workbook_file_impl.h"
#include "xlsx/worksheet.h"
#include "xlsx/xml.h"

namespace quorvane::xlsx {

namespace fs = std::filesystem;

namespace {

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

std::string WorkbookFile::Impl::Target(const Relationships& rels, const std::string& source,
                                       const std::string& id, const char* type) {
  const Relationship* rel = rels.FindId(id);
  if (!rel)
    throw FileError(MissingRelationship(file(), source, id, Relationships::RelsPartOf(source)));
  if (rel->type != type) {
    throw FileError(file() + ": " + source + " refers to the relationship " + id +
                    " as a drawing, but it is of the type " + rel->type);
  }
  return CheckedPart(rels.PartOf(*rel), source);
}

std::string WorkbookFile::Impl::CheckedPart(const std::string& part, const std::string& source) {
  if (!package.Has(part)) {
    throw FileError(file() + ": " + source + " refers to " + part +
                    ", which the file does not contain");
  }
  return part;
}

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
  std::string text = package.Read(info.part);
  // The rows are read straight from the text, without a tree of them, where it takes the forms
  // that reader knows; otherwise the whole text is parsed, which reads the same or refuses it.
  std::optional<WorksheetRefs> read =
      LoadWorksheetText(text, file(), info.part, strings, styles, sheet, &info.offsets);
  if (!read) {
    std::string name = std::move(sheet.name);
    sheet = memhost::SheetData();
    sheet.name = std::move(name);
    info.offsets = CellOffsets();
    pugi::xml_document doc;
    ParsePart(doc, text, file(), info.part);
    CheckRoot(doc, kNsMain, "worksheet", file(), info.part);
    read = LoadWorksheet(doc, strings, styles, sheet, &info.offsets);
  }
  const WorksheetRefs& refs = *read;
  info.text_checked = true;
  std::string().swap(text);
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
  LoadThreadedComments(info, sheet);
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
  if (const Relationship* threads = info.rels.FindType(kRelThreadedComment)) {
    info.threaded_comments_part = CheckedPart(info.rels.PartOf(*threads), info.part);
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

// The threaded comments part ([MS-XLSX] CT_ThreadedComments): one threadedComment element per
// comment and reply, each anchored to its cell by `ref`. Excel also writes a note for each thread,
// for versions without them; that note is read as any other, and the cell refuses changes to it.
void WorkbookFile::Impl::LoadThreadedComments(const SheetInfo& info, memhost::SheetData& sheet) {
  if (info.threaded_comments_part.empty()) return;
  pugi::xml_document threads;
  ParsePart(threads, package.Read(info.threaded_comments_part), file(),
            info.threaded_comments_part);
  CheckRoot(threads, kNsThreadedComments, "ThreadedComments", file(), info.threaded_comments_part);
  ForChildren(threads.document_element(), kNsThreadedComments, "threadedComment",
              [&](pugi::xml_node thread) {
                const memhost::CellKey key = ParseCellRef(thread.attribute("ref").value());
                if (key.first < 1 || key.second < 1) return;
                sheet.At(key.first, key.second).threaded_comment = true;
              });
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

}  // namespace quorvane::xlsx
