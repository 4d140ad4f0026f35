// A range of cells on one worksheet, as a cheap value.
//
// A Range names a worksheet and one or more rectangular areas on it; copying it copies a pointer
// and four integers (areas beyond the first are shared, not copied). The worksheet belongs to the
// host and must outlive every Range that names it. A default-constructed Range is "nothing": the
// host's empty object reference. Using a member of nothing raises a HostError, as the host does.
//
// Members that read or write one cell (Value, Text, Interior, Comment, Left, ...) act on the first
// cell of the range, the top left cell of its first area; the callers use them on one-cell ranges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/value.h"

namespace quorvane::host {

class Worksheet;

inline constexpr int kMaxRows = 1048576;
inline constexpr int kMaxColumns = 16384;
// The most characters (UTF-16 units) that a cell's comment holds.
inline constexpr std::size_t kMaxCommentLength = 32767;

// A rectangle of cells, rows and columns counted from 1, bounds inclusive.
struct Area {
  int top = 1;
  int left = 1;
  int bottom = 1;
  int right = 1;

  std::int64_t rows() const { return std::int64_t{bottom} - top + 1; }
  std::int64_t columns() const { return std::int64_t{right} - left + 1; }
  std::int64_t count() const { return rows() * columns(); }
  bool Contains(int row, int column) const {
    return row >= top && row <= bottom && column >= left && column <= right;
  }
  friend bool operator==(const Area&, const Area&) = default;
};

// The overlap of two areas, if any.
std::optional<Area> IntersectAreas(const Area& a, const Area& b);

class Range {
 public:
  Range() = default;
  Range(Worksheet* sheet, const Area& area);
  Range(Worksheet* sheet, std::vector<Area> areas);  // at least one area

  bool is_nothing() const { return sheet_ == nullptr; }
  explicit operator bool() const { return sheet_ != nullptr; }

  // The worksheet of the range (Range.Parent).
  Worksheet& Parent() const;
  // The areas in the order the range was made of.
  std::vector<Area> Areas() const;
  std::size_t AreaCount() const;
  const Area& FirstArea() const;

  // The number of cells in all areas (Range.Cells.Count).
  std::int64_t CellsCount() const;
  // The i-th cell, counting from 1 left to right then down, relative to the top left cell of the
  // first area; past the end of the first area it goes on as if that area extended downward
  // (Range.Item(i)).
  Range Item(std::int64_t i) const;
  // The cell at the given offset from the first cell (Range.Offset(rows, columns)).
  Range Offset(int rows, int columns) const;
  // Calls f(cell) for every cell of every area, areas in order, each row by row.
  template <typename F>
  void ForEachCell(F&& f) const;

  int row() const { return area_.top; }
  int column() const { return area_.left; }

  // Addresses: "$A$2:$A$40" (plain), "[Book1.xlsx]Sheet1!$A$2:$A$40" (external); several areas are
  // joined with ",". The workbook-and-sheet part is quoted when a name needs it.
  std::string Address(bool external = false) const;

  // --- Members of the first cell, forwarded to the worksheet ---
  Value GetValue() const;
  std::string Text() const;
  bool RowHidden() const;  // Range.EntireRow.Hidden
  double InteriorColor() const;
  double InteriorPattern() const;
  void SetInteriorColor(const Value& color) const;      // the host converts a text to a number
  void SetInteriorPattern(const Value& pattern) const;  // the host converts a text to a number
  bool HasComment() const;                              // Range.Comment is not Nothing
  void AddComment() const;                              // Range.AddComment with no text
  std::string CommentText() const;                      // Comment.Text
  void SetCommentText(const std::string& text) const;   // Comment.Text Text:=...
  void SetCommentVisible(bool visible) const;           // Comment.Visible
  void ClearComments() const;                           // every comment of the range
  bool HasThreadedComment() const;                      // Range.CommentThreaded is not Nothing
  void Select() const;  // Range.Select (the first area); see Worksheet::SelectCells
  double Left() const;
  double Top() const;
  double Width() const;

  friend bool operator==(const Range& a, const Range& b);

 private:
  void CheckSet() const;

  Worksheet* sheet_ = nullptr;
  Area area_;
  std::shared_ptr<const std::vector<Area>> more_areas_;  // areas after the first, if any
};

// Column letters of a column number: 1 -> "A", 27 -> "AA".
std::string ColumnLetters(int column);
// A1-style absolute address of a cell or block: "$B$3", "$B$3:$B$17".
std::string AbsoluteAddress(const Area& area);
// The quoted or plain "[Book]Sheet" prefix of an external address, "!" included.
std::string ExternalPrefix(const std::string& workbook_name, const std::string& sheet_name);

template <typename F>
void Range::ForEachCell(F&& f) const {
  CheckSet();
  auto visit = [&](const Area& a) {
    for (int r = a.top; r <= a.bottom; ++r) {
      for (int c = a.left; c <= a.right; ++c) f(Range(sheet_, Area{r, c, r, c}));
    }
  };
  visit(area_);
  if (more_areas_) {
    for (const Area& a : *more_areas_) visit(a);
  }
}

}  // namespace quorvane::host
