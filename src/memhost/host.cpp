#include "memhost/host.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <type_traits>
#include <utility>

#include "host/ascii.h"
#include "host/conversions.h"
#include "host/error.h"
#include "host/number_format.h"
#include "host/reference.h"
#include "memhost/geometry.h"

namespace quorvane::memhost {

namespace {

constexpr const char* kObjectDefinedError = "Application-defined or object-defined error";
constexpr const char* kIndexOutOfBounds =
    "The index into the specified collection is out of bounds.";

// The host looks workbooks and sheets up by name without regard to letter case.
// The exact name first, then the name in any letter case.
template <typename T, typename NameOf>
T* LookUp(const std::vector<T*>& items, const std::string& name, NameOf name_of) {
  for (T* item : items) {
    if (name_of(*item) == name) return item;
  }
  for (T* item : items) {
    if (host::EqualsIgnoringAsciiCase(name_of(*item), name)) return item;
  }
  return nullptr;
}

// Calls f(key, cell) for every stored cell inside the area, row by row. Skips from row to row
// through the store, so a whole column costs the cells stored, not a million rows.
template <typename F>
void ForStoredCells(const CellStore<CellData>& cells, const host::Area& area, F&& f) {
  auto it = cells.lower_bound(CellKey{area.top, area.left});
  const auto end = cells.end();
  while (it != end && it->first.first <= area.bottom) {
    const auto [row, column] = it->first;
    if (column < area.left) {
      it = cells.lower_bound(it, CellKey{row, area.left});
    } else if (column > area.right) {
      it = cells.lower_bound(it, CellKey{row + 1, area.left});
    } else {
      f(it->first, it->second);
      ++it;
    }
  }
}

// The same, with each cell's place in the block (0-based, row by row) and its column.
template <typename F>
void ForStoredPlaces(const CellStore<CellData>& cells, const host::Area& area, F&& f) {
  const auto width = static_cast<std::size_t>(area.columns());
  ForStoredCells(cells, area, [&](const CellKey& key, const CellData& cell) {
    const auto [row, column] = key;
    f(static_cast<std::size_t>(row - area.top) * width +
          static_cast<std::size_t>(column - area.left),
      column, cell);
  });
}

// Whether nothing distinguishes the cell from one never written: it need not be stored.
bool IsBlank(const CellData& cell) {
  return cell.value.is_empty() && cell.number_format == host::kGeneralFormat &&
         cell.fill == Fill{} && !cell.comment.has_value() && !cell.threaded_comment &&
         !cell.formatted && cell.style == -1 && cell.formula.empty();
}

void EraseIfBlank(SheetData& sheet, int row, int column) {
  const auto it = sheet.cells.find(CellKey{row, column});
  if (it != sheet.cells.end() && IsBlank(it->second)) sheet.cells.erase(it);
}

// The number the host makes of a value assigned to a numeric property.
double NumberOf(const host::Value& value) {
  switch (value.kind()) {
    case host::ValueKind::kEmpty:
      return 0;
    case host::ValueKind::kNumber:
    case host::ValueKind::kDate:
      return value.number();
    case host::ValueKind::kLogical:
      return value.logical() ? -1 : 0;
    case host::ValueKind::kText:
      if (const auto number = host::EnUsConversions().ReadNumber(value.text())) return *number;
      break;
    case host::ValueKind::kError:
      break;
  }
  throw host::HostError(host::kTypeMismatch);
}

// A whole number of the 32-bit range, rounded half to even as the host does.
long ToLong(double number) {
  if (!(number >= -2147483648.5 && number < 2147483647.5)) throw host::HostError(host::kOverflow);
  return std::lrint(number);
}

bool IsPatternConstant(long pattern) {
  static constexpr long kPatterns[] = {-4142, -4105, 1,     9,     10,    11,   12,
                                       13,    14,    15,    16,    17,    18,   -4125,
                                       -4126, -4124, -4128, -4166, -4121, -4162};
  return std::find(std::begin(kPatterns), std::end(kPatterns), pattern) != std::end(kPatterns);
}

// The machine's local time as a serial number.
double LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  using std::chrono::sys_days;
  using std::chrono::year_month_day;
  const sys_days date = year_month_day{std::chrono::year{local.tm_year + 1900},
                                       std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                       std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
  const sys_days day_zero =
      year_month_day{std::chrono::year{1899}, std::chrono::month{12}, std::chrono::day{30}};
  const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
  return static_cast<double>((date - day_zero).count()) + seconds / 86400.0;
}

// The sheet behind a range of this host, or nothing for a sheet of another implementation.
MemWorksheet* MemSheetOf(const host::Range& range) {
  return dynamic_cast<MemWorksheet*>(&range.Parent());
}

// A handle to a shape: it finds its shape again by serial, wherever deletions moved it.
class MemShape : public host::Shape {
 public:
  MemShape(SheetData& sheet, std::uint64_t serial, std::size_t index)
      : sheet_(sheet), serial_(serial), index_(index) {}

  std::string Name() override { return Get().name; }
  void SetName(const std::string& name) override { Change().name = name; }
  void Delete() override {
    ShapeData& shape = Change();
    sheet_.shapes.erase(sheet_.shapes.begin() + (&shape - sheet_.shapes.data()));
  }
  void SetFillForeSchemeColor(int scheme_color) override {
    Change().fill_scheme_color = scheme_color;
  }
  void SetFillVisible(bool visible) override { Change().fill_visible = visible; }
  void SetFillSolid() override { Change().fill_solid = true; }
  void SetLineVisible(bool visible) override { Change().line_visible = visible; }
  void SetLineForeSchemeColor(int scheme_color) override {
    Change().line_scheme_color = scheme_color;
  }
  void SetLineWeight(double points) override { Change().line_weight = points; }
  void SetText(const std::string& text) override { Change().text = text; }
  void SetFontSize(double points) override { Change().font_size = points; }
  void SetFontColorIndex(int index) override { Change().font_color_index = index; }
  void SetMarginLeft(double points) override { Change().margin_left = points; }
  void SetMarginRight(double points) override { Change().margin_right = points; }
  void SetMarginTop(double points) override { Change().margin_top = points; }
  void SetMarginBottom(double points) override { Change().margin_bottom = points; }
  void SetHorizontalAlignment(int alignment) override { Change().horizontal_alignment = alignment; }

 private:
  ShapeData& Get() {
    std::vector<ShapeData>& shapes = sheet_.shapes;
    if (index_ >= shapes.size() || shapes[index_].serial != serial_) {
      const auto it = std::find_if(shapes.begin(), shapes.end(),
                                   [&](const ShapeData& s) { return s.serial == serial_; });
      if (it == shapes.end()) throw host::HostError(kObjectDefinedError);  // deleted
      index_ = static_cast<std::size_t>(it - shapes.begin());
    }
    return shapes[index_];
  }
  ShapeData& Change() {
    ShapeData& shape = Get();
    if (sheet_.is_protected) throw host::HostError(kProtectedSheet);
    return shape;
  }

  SheetData& sheet_;
  std::uint64_t serial_;
  std::size_t index_;  // where the shape stood last
};

}  // namespace

// --- MemWorksheet ---

MemWorksheet::MemWorksheet(MemHost& host, MemWorkbook& book, SheetData& data)
    : host_(host), book_(book), data_(data) {}

void MemWorksheet::Put(int row, int column, host::Value value, std::string number_format) {
  CellData& cell = data_.At(row, column);
  cell.value = std::move(value);
  cell.number_format = std::move(number_format);
}

void MemWorksheet::PutFill(int row, int column, int color, int pattern) {
  data_.At(row, column).fill = Fill{color, pattern};
  EraseIfBlank(data_, row, column);
}

void MemWorksheet::PutFormat(int row, int column) { data_.At(row, column).formatted = true; }

void MemWorksheet::PutComment(int row, int column, std::string text, bool visible) {
  data_.At(row, column).comment = CommentData{std::move(text), visible};
}

void MemWorksheet::PutThreadedComment(int row, int column) {
  data_.At(row, column).threaded_comment = true;
}

void MemWorksheet::HideRow(int row, bool hidden) {
  if (hidden) {
    data_.hidden_rows.insert(row);
  } else {
    data_.hidden_rows.erase(row);
  }
}

host::Range MemWorksheet::Ref(const std::string& reference) {
  const auto parsed = host::ParseReference(reference);
  if (!parsed || parsed->workbook ||
      (parsed->sheet && !host::EqualsIgnoringAsciiCase(*parsed->sheet, data_.name))) {
    throw host::HostError("Not a reference on sheet " + data_.name + ": " + reference);
  }
  return host::Range(this, parsed->areas);
}

void MemWorksheet::CheckWritable() {
  if (data_.is_protected) throw host::HostError(kProtectedSheet);
}

std::string MemWorksheet::Name() { return data_.name; }

host::Workbook& MemWorksheet::Parent() { return book_; }

void MemWorksheet::Select() {
  // The host selects sheets only in the active workbook.
  if (host_.active_book_ != &book_)
    throw host::HostError("Select method of Worksheet class failed");
  book_.active_sheet_ = this;
}

void MemWorksheet::SelectCells(const host::Area& area) {
  if (host_.active_book_ != &book_ || book_.active_sheet_ != this) {
    throw host::HostError("Select method of Range class failed");
  }
  host_.selection_ = host::Range(this, area);
}

host::Range MemWorksheet::UsedRange() {
  // An empty sheet reports A1, as the host does.
  return host::Range(this, data_.UsedArea().value_or(host::Area{1, 1, 1, 1}));
}

host::Value MemWorksheet::CellValue(int row, int column) {
  const CellData* cell = data_.Find(row, column);
  return cell ? cell->value : host::Value();
}

std::string MemWorksheet::CellText(int row, int column) {
  const CellData* cell = data_.Find(row, column);
  return cell ? data_.DisplayText(column, *cell) : std::string();
}

// A block read's answer for one stored cell, from the cell alone or from the cell and its column.
template <typename Read>
auto ReadCell(const Read& read, const CellData& cell, int column) {
  if constexpr (std::is_invocable_v<Read, const CellData&, int>) {
    return read(cell, column);
  } else {
    return read(cell);
  }
}

// The bulk reads count as one call each, as the real host answers a block's values in one.
template <typename T, typename Read>
std::vector<T> ReadStoredBlock(const SheetData& data, const host::Area& area, T blank, Read read) {
  std::vector<T> out(static_cast<std::size_t>(area.count()), blank);
  ForStoredPlaces(data.cells, area, [&](std::size_t place, int column, const CellData& cell) {
    out[place] = ReadCell(read, cell, column);
  });
  return out;
}

std::vector<host::Value> MemWorksheet::BlockValues(const host::Area& area) {
  return ReadStoredBlock<host::Value>(data_, area, host::Value(),
                                      [](const CellData& cell) { return cell.value; });
}

std::vector<std::string> MemWorksheet::BlockTexts(const host::Area& area) {
  return ReadStoredBlock<std::string>(
      data_, area, std::string(),
      [this](const CellData& cell, int column) { return data_.DisplayText(column, cell); });
}

// The visits go through the stored cells only; a cell not stored is empty.
void MemWorksheet::VisitBlockValues(
    const host::Area& area, const std::function<void(std::size_t, const host::Value&)>& visit) {
  ForStoredPlaces(data_.cells, area, [&](std::size_t place, int, const CellData& cell) {
    if (!cell.value.is_empty()) visit(place, cell.value);
  });
}

void MemWorksheet::VisitBlockTexts(
    const host::Area& area, const std::function<void(std::size_t, std::string_view)>& visit) {
  ForStoredPlaces(data_.cells, area, [&](std::size_t place, int column, const CellData& cell) {
    const std::string text = data_.DisplayText(column, cell);
    if (!text.empty()) visit(place, text);
  });
}

void MemWorksheet::VisitBlockInteriorColors(const host::Area& area,
                                            const std::function<void(std::size_t, double)>& visit) {
  ForStoredPlaces(data_.cells, area, [&](std::size_t place, int, const CellData& cell) {
    if (cell.fill.pattern != host::kPatternNone && cell.fill.color != host::kColorWhite) {
      visit(place, cell.fill.color);
    }
  });
}

void MemWorksheet::VisitBlockInteriorPatterns(
    const host::Area& area, const std::function<void(std::size_t, double)>& visit) {
  ForStoredPlaces(data_.cells, area, [&](std::size_t place, int, const CellData& cell) {
    if (cell.fill.pattern != host::kPatternNone) visit(place, cell.fill.pattern);
  });
}

std::vector<double> MemWorksheet::BlockInteriorColors(const host::Area& area) {
  return ReadStoredBlock<double>(data_, area, host::kColorWhite, [](const CellData& cell) {
    return cell.fill.pattern == host::kPatternNone ? host::kColorWhite : cell.fill.color;
  });
}

std::vector<double> MemWorksheet::BlockInteriorPatterns(const host::Area& area) {
  return ReadStoredBlock<double>(data_, area, host::kPatternNone,
                                 [](const CellData& cell) { return cell.fill.pattern; });
}

std::vector<char> MemWorksheet::RowsHidden(int top, int bottom) {
  std::vector<char> out(static_cast<std::size_t>(bottom - top + 1), 0);
  for (auto it = data_.hidden_rows.lower_bound(top); it != data_.hidden_rows.end() && *it <= bottom;
       ++it) {
    out[static_cast<std::size_t>(*it - top)] = 1;
  }
  return out;
}

bool MemWorksheet::RowHidden(int row) { return data_.hidden_rows.count(row) != 0; }

double MemWorksheet::InteriorColor(int row, int column) {
  const CellData* cell = data_.Find(row, column);
  if (!cell || cell->fill.pattern == host::kPatternNone) return host::kColorWhite;
  return cell->fill.color;
}

double MemWorksheet::InteriorPattern(int row, int column) {
  const CellData* cell = data_.Find(row, column);
  return cell ? cell->fill.pattern : host::kPatternNone;
}

void MemWorksheet::SetInteriorColor(int row, int column, const host::Value& color) {
  const long number = ToLong(NumberOf(color));
  if (number < 0 || number > host::kColorWhite) {
    throw host::HostError("Unable to set the Color property of the Interior class");
  }
  CheckWritable();
  Fill& fill = data_.At(row, column).fill;
  fill.color = static_cast<int>(number);
  // A colour on an unfilled cell fills it solid.
  if (fill.pattern == host::kPatternNone) fill.pattern = host::kPatternSolid;
}

void MemWorksheet::SetInteriorPattern(int row, int column, const host::Value& pattern) {
  const long number = ToLong(NumberOf(pattern));
  if (!IsPatternConstant(number)) {
    throw host::HostError("Unable to set the Pattern property of the Interior class");
  }
  CheckWritable();
  if (number == host::kPatternNone) {
    // No pattern removes the fill altogether.
    const auto it = data_.cells.find(CellKey{row, column});
    if (it != data_.cells.end()) {
      it->second.fill = Fill{};
      if (IsBlank(it->second)) data_.cells.erase(it);
    }
    return;
  }
  data_.At(row, column).fill.pattern = static_cast<int>(number);
}

bool MemWorksheet::HasComment(int row, int column) {
  const CellData* cell = data_.Find(row, column);
  return cell && cell->comment.has_value();
}

void MemWorksheet::AddComment(int row, int column) {
  CheckWritable();
  const CellData* existing = data_.Find(row, column);
  // A cell holds one kind of comment: a threaded one is added only "if no comment already exists"
  // (Range.AddCommentThreaded, learn.microsoft.com/office/vba/api/excel.range.addcommentthreaded),
  // and the reverse is refused with error 1004 here. What Excel does then is not documented.
  if (existing && (existing->comment || existing->threaded_comment)) {
    throw host::HostError(kObjectDefinedError);
  }
  data_.At(row, column).comment = CommentData{};  // empty and hidden
}

std::string MemWorksheet::CommentText(int row, int column) {
  const CellData* cell = data_.Find(row, column);
  if (!cell || !cell->comment) throw host::HostError(host::kObjectNotSet);
  return cell->comment->text;
}

void MemWorksheet::SetCommentText(int row, int column, const std::string& text) {
  const CellData* cell = data_.Find(row, column);
  if (!cell || !cell->comment) throw host::HostError(host::kObjectNotSet);
  // The note beside a threaded comment is the host's placeholder: its text is refused (1004).
  if (cell->threaded_comment) throw host::HostError(kObjectDefinedError);
  CheckWritable();
  data_.At(row, column).comment->text = text;
}

void MemWorksheet::SetCommentVisible(int row, int column, bool visible) {
  const CellData* cell = data_.Find(row, column);
  if (!cell || !cell->comment) throw host::HostError(host::kObjectNotSet);
  CheckWritable();
  data_.At(row, column).comment->visible = visible;
}

void MemWorksheet::ClearComments(const host::Area& area) {
  CheckWritable();
  std::vector<CellKey> commented;
  ForStoredCells(data_.cells, area, [&](const CellKey& key, const CellData& cell) {
    if (cell.comment) commented.push_back(key);
  });
  for (const auto& [row, column] : commented) {
    data_.At(row, column).comment.reset();
    EraseIfBlank(data_, row, column);
  }
}

bool MemWorksheet::HasThreadedComment(int row, int column) {
  // Range.CommentThreaded (learn.microsoft.com/office/vba/api/excel.range.commentthreaded): a host
  // from before threaded comments has no such member.
  if (!host_.threaded_comments_) {
    throw host::HostError("Object doesn't support this property or method");
  }
  const CellData* cell = data_.Find(row, column);
  return cell && cell->threaded_comment;
}

double MemWorksheet::CellLeft(int row, int column) {
  (void)row;
  return SheetGeometry(data_).ColumnLeft(column);
}

double MemWorksheet::CellTop(int row, int column) {
  (void)column;
  return SheetGeometry(data_).RowTop(row);
}

double MemWorksheet::CellWidth(int row, int column) {
  (void)row;
  return data_.ColumnWidth(column);
}

int MemWorksheet::ShapesCount() { return static_cast<int>(data_.shapes.size()); }

std::unique_ptr<host::Shape> MemWorksheet::ShapesItem(int index) {
  if (index < 1 || index > static_cast<int>(data_.shapes.size())) {
    throw host::HostError(kIndexOutOfBounds);
  }
  const auto position = static_cast<std::size_t>(index - 1);
  ShapeData& shape = data_.shapes[position];
  if (shape.serial == 0) shape.serial = host_.next_shape_serial_++;
  return std::make_unique<MemShape>(data_, shape.serial, position);
}

std::unique_ptr<host::Shape> MemWorksheet::AddShape(int type, double left, double top, double width,
                                                    double height) {
  CheckWritable();
  ShapeData shape;
  shape.name = (type == host::kShapeRectangle ? "Rectangle " : "AutoShape ") +
               std::to_string(data_.next_shape_number++);
  shape.type = type;
  shape.left = left;
  shape.top = top;
  shape.width = width;
  shape.height = height;
  shape.serial = host_.next_shape_serial_++;
  data_.shapes.push_back(std::move(shape));
  const std::size_t position = data_.shapes.size() - 1;
  return std::make_unique<MemShape>(data_, data_.shapes[position].serial, position);
}

// --- MemWorkbook ---

MemWorkbook::MemWorkbook(MemHost& host, std::string name) : host_(host) {
  data_.name = std::move(name);
}

MemWorksheet& MemWorkbook::AddSheet(const std::string& name) {
  for (const SheetData& sheet : data_.sheets) {
    if (host::EqualsIgnoringAsciiCase(sheet.name, name)) {
      throw host::HostError("That name is already taken. Try a different one.");
    }
  }
  SheetData& data = data_.sheets.emplace_back();
  data.name = name;
  MemWorksheet& sheet = sheets_.emplace_back(host_, *this, data);
  if (active_sheet_ == nullptr) active_sheet_ = &sheet;
  return sheet;
}

MemWorksheet* MemWorkbook::FindSheet(const std::string& name) {
  for (MemWorksheet& sheet : sheets_) {
    if (sheet.data().name == name) return &sheet;
  }
  return nullptr;
}

std::vector<MemWorksheet*> MemWorkbook::sheets() {
  std::vector<MemWorksheet*> all;
  for (MemWorksheet& sheet : sheets_) all.push_back(&sheet);
  return all;
}

std::string MemWorkbook::Name() { return data_.name; }

void MemWorkbook::Activate() { host_.active_book_ = this; }

host::Worksheet& MemWorkbook::Worksheets(const std::string& name) {
  MemWorksheet* sheet = LookUp(
      sheets(), name, [](const MemWorksheet& s) -> const std::string& { return s.data().name; });
  if (sheet == nullptr) throw host::HostError(host::kSubscriptOutOfRange);
  return *sheet;
}

void MemWorkbook::FollowHyperlink(const std::string& address) {
  if (!host_.hyperlink_failure_.empty()) throw host::HostError(host_.hyperlink_failure_);
  host_.followed_links_.push_back(address);
}

// --- MemHost ---

MemHost::MemHost() : clock_(LocalNow) {}

MemHost::~MemHost() = default;

MemWorkbook& MemHost::AddWorkbook(const std::string& name) {
  WorkbookData data;
  data.name = name;
  return AddWorkbook(std::move(data));
}

MemWorkbook& MemHost::AddWorkbook(WorkbookData data) {
  for (MemWorkbook& book : books_) {
    if (host::EqualsIgnoringAsciiCase(book.data_.name, data.name)) {
      throw host::HostError("A workbook named '" + data.name + "' is already open.");
    }
  }
  MemWorkbook& book = books_.emplace_back(*this, data.name);
  book.data_ = std::move(data);
  for (SheetData& sheet : book.data_.sheets) book.sheets_.emplace_back(*this, book, sheet);
  if (!book.sheets_.empty()) book.active_sheet_ = &book.sheets_.front();
  if (active_book_ == nullptr) active_book_ = &book;
  return book;
}

MemWorkbook* MemHost::FindWorkbook(const std::string& name) {
  return LookUp(workbooks(), name,
                [](MemWorkbook& b) -> const std::string& { return b.data().name; });
}

std::vector<MemWorkbook*> MemHost::workbooks() {
  std::vector<MemWorkbook*> all;
  for (MemWorkbook& book : books_) all.push_back(&book);
  return all;
}

void MemHost::SetTime(double serial) {
  clock_ = [serial] { return serial; };
}

host::Workbook& MemHost::Workbooks(const std::string& name) {
  MemWorkbook* book = FindWorkbook(name);
  if (book == nullptr) throw host::HostError(host::kSubscriptOutOfRange);
  return *book;
}

host::Worksheet& MemHost::Worksheets(const std::string& name) {
  if (active_book_ == nullptr) throw host::HostError(host::kObjectNotSet);
  MemWorksheet* sheet =
      LookUp(active_book_->sheets(), name,
             [](const MemWorksheet& s) -> const std::string& { return s.data().name; });
  if (sheet == nullptr) throw host::HostError(host::kSubscriptOutOfRange);
  return *sheet;
}

host::Workbook& MemHost::ActiveWorkbook() {
  if (active_book_ == nullptr) throw host::HostError(host::kObjectNotSet);
  return *active_book_;
}

host::Worksheet& MemHost::ActiveSheet() {
  if (active_book_ == nullptr || active_book_->active_sheet_ == nullptr) {
    throw host::HostError(host::kObjectNotSet);
  }
  return *active_book_->active_sheet_;
}

host::Range MemHost::Selection() { return selection_; }

host::Range MemHost::RangeFromReference(const std::string& reference) {
  const auto parsed = host::ParseReference(reference);
  const host::HostError failed("Method 'Range' of object '_Global' failed");
  if (!parsed) throw failed;
  MemWorkbook* book = parsed->workbook ? FindWorkbook(*parsed->workbook) : active_book_;
  if (book == nullptr) throw failed;
  MemWorksheet* sheet = book->active_sheet_;
  if (parsed->sheet) {
    sheet = LookUp(book->sheets(), *parsed->sheet,
                   [](const MemWorksheet& s) -> const std::string& { return s.data().name; });
  }
  if (sheet == nullptr) throw failed;
  return host::Range(sheet, parsed->areas);
}

void MemHost::SetStatusBar(const std::string& text) {
  status_bar_ = text;
  status_bar_history_.push_back(status_bar_);
}

void MemHost::ResetStatusBar() {
  status_bar_.reset();
  status_bar_history_.push_back(status_bar_);
}

std::optional<host::Range> MemHost::InputBox(const std::string& prompt, const std::string& title,
                                             const std::string& default_text) {
  input_boxes_.push_back(InputBoxRequest{prompt, title, default_text});
  if (!input_box_handler_) return std::nullopt;  // nobody there: cancelled
  // A copy, so that the handler may replace itself.
  const auto handler = input_box_handler_;
  return handler(input_boxes_.back());
}

void MemHost::MsgBox(const std::string& text, host::MessageIcon icon) {
  messages_.push_back(text);
  message_icons_.push_back(icon);
  if (message_hook_) {
    const auto hook = message_hook_;
    hook(text);
  }
}

std::int64_t MemHost::CountA(const host::Range& range) {
  std::int64_t count = 0;
  if (MemWorksheet* sheet = MemSheetOf(range)) {
    for (const host::Area& area : range.Areas()) {
      ForStoredCells(sheet->data().cells, area, [&](const CellKey&, const CellData& cell) {
        if (!cell.value.is_empty()) ++count;
      });
    }
    return count;
  }
  range.ForEachCell([&](const host::Range& cell) {
    if (!cell.GetValue().is_empty()) ++count;
  });
  return count;
}

namespace {

host::ValueKind KindOf(const host::Range& cell) {
  if (MemWorksheet* sheet = MemSheetOf(cell)) {
    const CellData* data = sheet->data().Find(cell.row(), cell.column());
    return data ? data->value.kind() : host::ValueKind::kEmpty;
  }
  return cell.GetValue().kind();
}

}  // namespace

bool MemHost::IsError(const host::Range& cell) { return KindOf(cell) == host::ValueKind::kError; }

bool MemHost::IsText(const host::Range& cell) { return KindOf(cell) == host::ValueKind::kText; }

bool MemHost::IsLogical(const host::Range& cell) {
  return KindOf(cell) == host::ValueKind::kLogical;
}

host::Range MemHost::Intersect(const host::Range& a, const host::Range& b) {
  if (&a.Parent() != &b.Parent()) {
    throw host::HostError("Method 'Intersect' of object '_Application' failed");
  }
  std::vector<host::Area> overlap;
  for (const host::Area& x : a.Areas()) {
    for (const host::Area& y : b.Areas()) {
      if (const auto piece = host::IntersectAreas(x, y)) overlap.push_back(*piece);
    }
  }
  if (overlap.empty()) return host::Range();
  return host::Range(&a.Parent(), std::move(overlap));
}

double MemHost::Now() { return clock_(); }

bool MemHost::HasScreen() { return has_screen_; }

void MemHost::DoEvents() {
  ++yields_;
  if (yield_hook_) {
    // A copy, so that the hook may replace itself while it runs.
    const auto hook = yield_hook_;
    hook();
  }
}

}  // namespace quorvane::memhost
