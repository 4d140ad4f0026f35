#include "host/range.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "host/ascii.h"
#include "host/error.h"
#include "host/worksheet.h"

namespace quorvane::host {

std::optional<Area> IntersectAreas(const Area& a, const Area& b) {
  Area r{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
         std::min(a.right, b.right)};
  if (r.top > r.bottom || r.left > r.right) return std::nullopt;
  return r;
}

Range::Range(Worksheet* sheet, const Area& area) : sheet_(sheet), area_(area) {}

Range::Range(Worksheet* sheet, std::vector<Area> areas) : sheet_(sheet) {
  if (areas.empty()) {
    sheet_ = nullptr;
    return;
  }
  area_ = areas.front();
  if (areas.size() > 1) {
    areas.erase(areas.begin());
    more_areas_ = std::make_shared<const std::vector<Area>>(std::move(areas));
  }
}

void Range::CheckSet() const {
  if (sheet_ == nullptr) throw HostError(kObjectNotSet);
}

Worksheet& Range::Parent() const {
  CheckSet();
  return *sheet_;
}

std::vector<Area> Range::Areas() const {
  if (sheet_ == nullptr) return {};
  std::vector<Area> all{area_};
  if (more_areas_) all.insert(all.end(), more_areas_->begin(), more_areas_->end());
  return all;
}

std::size_t Range::AreaCount() const {
  if (sheet_ == nullptr) return 0;
  return 1 + (more_areas_ ? more_areas_->size() : 0);
}

const Area& Range::FirstArea() const {
  CheckSet();
  return area_;
}

std::int64_t Range::CellsCount() const {
  CheckSet();
  std::int64_t n = area_.count();
  if (more_areas_) {
    for (const Area& a : *more_areas_) n += a.count();
  }
  return n;
}

Range Range::Item(std::int64_t i) const {
  CheckSet();
  const std::int64_t width = area_.columns();
  const std::int64_t row = area_.top + (i - 1) / width;
  const std::int64_t column = area_.left + (i - 1) % width;
  if (i < 1 || row > kMaxRows) throw HostError("Application-defined or object-defined error");
  const int r = static_cast<int>(row), c = static_cast<int>(column);
  return Range(sheet_, Area{r, c, r, c});
}

Range Range::Offset(int rows, int columns) const {
  CheckSet();
  Area a{area_.top + rows, area_.left + columns, area_.bottom + rows, area_.right + columns};
  if (a.top < 1 || a.left < 1 || a.bottom > kMaxRows || a.right > kMaxColumns) {
    throw HostError("Application-defined or object-defined error");
  }
  return Range(sheet_, a);
}

std::string ColumnLetters(int column) {
  std::string letters;
  while (column > 0) {
    const int rest = (column - 1) % 26;
    letters.insert(letters.begin(), static_cast<char>('A' + rest));
    column = (column - 1) / 26;
  }
  return letters;
}

std::string AbsoluteAddress(const Area& area) {
  // Whole columns and whole rows are written the host's way: $A:$A and $3:$5.
  if (area.top == 1 && area.bottom == kMaxRows) {
    return "$" + ColumnLetters(area.left) + ":$" + ColumnLetters(area.right);
  }
  if (area.left == 1 && area.right == kMaxColumns) {
    return "$" + std::to_string(area.top) + ":$" + std::to_string(area.bottom);
  }
  std::string text = "$" + ColumnLetters(area.left) + "$" + std::to_string(area.top);
  if (area.count() > 1) {
    text += ":$" + ColumnLetters(area.right) + "$" + std::to_string(area.bottom);
  }
  return text;
}

namespace {

bool IsWordChar(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || u >= 0x80;
}

// Whether a text could be read as a cell reference in A1 (e.g. "AB12") or R1C1 form.
bool LooksLikeCellReference(const std::string& name) {
  std::size_t i = 0;
  while (i < name.size() && std::isalpha(static_cast<unsigned char>(name[i]))) ++i;
  if (i == 0 || i > 3 || i == name.size()) return false;
  std::size_t j = i;
  while (j < name.size() && std::isdigit(static_cast<unsigned char>(name[j]))) ++j;
  return j == name.size();
}

bool NeedsQuotes(const std::string& name) {
  if (name.empty()) return true;
  if (std::isdigit(static_cast<unsigned char>(name[0])) || name[0] == '.') return true;
  for (char c : name) {
    if (!IsWordChar(c) && c != '.') return true;
  }
  const std::string upper = AsciiUpper(name);
  return LooksLikeCellReference(upper) || upper == "R" || upper == "C";
}

std::string DoubleQuotes(const std::string& name) {
  std::string out;
  for (char c : name) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

}  // namespace

std::string ExternalPrefix(const std::string& workbook_name, const std::string& sheet_name) {
  const std::string inner = "[" + DoubleQuotes(workbook_name) + "]" + DoubleQuotes(sheet_name);
  if (NeedsQuotes(workbook_name) || NeedsQuotes(sheet_name)) return "'" + inner + "'!";
  return inner + "!";
}

std::string Range::Address(bool external) const {
  CheckSet();
  std::string text;
  for (const Area& a : Areas()) {
    if (!text.empty()) text += ",";
    text += AbsoluteAddress(a);
  }
  if (!external) return text;
  // The sheet's name is asked for before its workbook's, in that order whatever the compiler's
  // order of arguments: the host sees the same calls from every build.
  const std::string sheet_name = sheet_->Name();
  const std::string book_name = sheet_->Parent().Name();
  return ExternalPrefix(book_name, sheet_name) + text;
}

Value Range::GetValue() const { return Parent().CellValue(row(), column()); }
void Range::Select() const { Parent().SelectCells(area_); }
std::string Range::Text() const { return Parent().CellText(row(), column()); }
bool Range::RowHidden() const { return Parent().RowHidden(row()); }
double Range::InteriorColor() const { return Parent().InteriorColor(row(), column()); }
double Range::InteriorPattern() const { return Parent().InteriorPattern(row(), column()); }
void Range::SetInteriorColor(const Value& color) const {
  Parent().SetInteriorColor(row(), column(), color);
}
void Range::SetInteriorPattern(const Value& pattern) const {
  Parent().SetInteriorPattern(row(), column(), pattern);
}
bool Range::HasComment() const { return Parent().HasComment(row(), column()); }
bool Range::HasThreadedComment() const { return Parent().HasThreadedComment(row(), column()); }
void Range::AddComment() const { Parent().AddComment(row(), column()); }
std::string Range::CommentText() const { return Parent().CommentText(row(), column()); }
void Range::SetCommentText(const std::string& text) const {
  Parent().SetCommentText(row(), column(), text);
}
void Range::SetCommentVisible(bool visible) const {
  Parent().SetCommentVisible(row(), column(), visible);
}
void Range::ClearComments() const {
  for (const Area& a : Areas()) Parent().ClearComments(a);
}
double Range::Left() const { return Parent().CellLeft(row(), column()); }
double Range::Top() const { return Parent().CellTop(row(), column()); }
double Range::Width() const { return Parent().CellWidth(row(), column()); }

bool operator==(const Range& a, const Range& b) {
  return a.sheet_ == b.sheet_ && a.Areas() == b.Areas();
}

}  // namespace quorvane::host
