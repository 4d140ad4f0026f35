// The data of workbooks held in memory: sheets, cells, fills, comments and shapes.
//
// Plain data, owned by the in-memory host (host.h), which implements the host interface on it. The
// workbook-file layer fills these structures from a file and writes them back, so they also keep
// the few things that only a file needs (the style record of a cell, its formula text, a shape's
// id).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/range.h"
#include "host/value.h"
#include "host/worksheet.h"
#include "memhost/cell_store.h"

namespace quorvane::memhost {

struct Fill {
  int color = host::kColorWhite;     // Interior.Color
  int pattern = host::kPatternNone;  // Interior.Pattern
  friend bool operator==(const Fill&, const Fill&) = default;
};

// A text that nearly every cell leaves at its default ("General" for a number format, none for a
// formula). The default costs a null pointer and nothing on the heap; another text is allocated
// once and shared by the copies of the cell. Reads as a const std::string&.
template <typename Default>
class CellText {
 public:
  CellText() = default;
  CellText(std::string_view text) { Set(text); }  // NOLINT: assigned like a string
  CellText(const char* text) { Set(text); }       // NOLINT
  CellText(const CellText& other) : shared_(other.shared_) {
    if (shared_ != nullptr) shared_->uses.fetch_add(1, std::memory_order_relaxed);
  }
  CellText(CellText&& other) noexcept : shared_(std::exchange(other.shared_, nullptr)) {}
  CellText& operator=(const CellText& other) {
    if (shared_ != other.shared_) {
      CellText copy(other);
      std::swap(shared_, copy.shared_);
    }
    return *this;
  }
  CellText& operator=(CellText&& other) noexcept {
    std::swap(shared_, other.shared_);
    return *this;
  }
  CellText& operator=(std::string_view text) {
    Set(text);
    return *this;
  }
  CellText& operator=(const char* text) { return *this = std::string_view(text); }
  ~CellText() { Release(); }

  const std::string& str() const { return shared_ == nullptr ? DefaultText() : shared_->text; }
  operator const std::string&() const { return str(); }  // NOLINT
  operator std::string_view() const { return str(); }    // NOLINT
  bool empty() const { return str().empty(); }

  friend bool operator==(const CellText& a, const CellText& b) {
    return a.shared_ == b.shared_ || a.str() == b.str();
  }
  friend bool operator==(const CellText& a, std::string_view b) { return a.str() == b; }
  friend bool operator==(const CellText& a, const char* b) { return a.str() == b; }
  friend bool operator==(const CellText& a, const std::string& b) { return a.str() == b; }
  friend std::string operator+(const std::string& a, const CellText& b) { return a + b.str(); }
  friend std::string operator+(const CellText& a, const std::string& b) { return a.str() + b; }
  friend std::ostream& operator<<(std::ostream& out, const CellText& text) {
    return out << text.str();
  }

 private:
  struct Shared {
    std::atomic<long> uses;
    std::string text;
  };
  static const std::string& DefaultText() {
    static const std::string text(Default::kText);
    return text;
  }
  void Set(std::string_view text) {
    if (text == str()) return;
    Shared* next = text == Default::kText ? nullptr : new Shared{{1}, std::string(text)};
    Release();
    shared_ = next;
  }
  void Release() {
    if (shared_ != nullptr && shared_->uses.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      delete shared_;
    }
    shared_ = nullptr;
  }

  Shared* shared_ = nullptr;
};

struct GeneralFormat {
  static constexpr std::string_view kText = "General";
};
struct NoFormula {
  static constexpr std::string_view kText = "";
};
using NumberFormatText = CellText<GeneralFormat>;
using FormulaText = CellText<NoFormula>;

// What few cells have, kept off the cell: a null pointer when absent, a copy of its own in each
// copy of the cell. Used like a std::optional.
template <typename T>
class Rare {
 public:
  Rare() = default;
  Rare(T value) : value_(std::make_unique<T>(std::move(value))) {}  // NOLINT: as an optional
  Rare(const Rare& other) : value_(other ? std::make_unique<T>(*other) : nullptr) {}
  Rare(Rare&&) noexcept = default;
  Rare& operator=(const Rare& other) {
    if (this != &other) value_ = other ? std::make_unique<T>(*other) : nullptr;
    return *this;
  }
  Rare& operator=(Rare&&) noexcept = default;
  Rare& operator=(T value) {
    value_ = std::make_unique<T>(std::move(value));
    return *this;
  }

  bool has_value() const { return value_ != nullptr; }
  explicit operator bool() const { return has_value(); }
  void reset() { value_.reset(); }
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  T* operator->() { return value_.get(); }
  const T* operator->() const { return value_.get(); }

  friend bool operator==(const Rare& a, const Rare& b) {
    return a.has_value() == b.has_value() && (!a || *a == *b);
  }
  friend std::ostream& operator<<(std::ostream& out, const Rare& rare) {
    if (!rare) return out << "(none)";
    return out << *rare;
  }

 private:
  std::unique_ptr<T> value_;
};

struct CommentData {
  std::string text;
  bool visible = false;  // notes are hidden until the pointer rests on the cell
  friend bool operator==(const CommentData&, const CommentData&) = default;
  friend std::ostream& operator<<(std::ostream& out, const CommentData& comment) {
    return out << (comment.visible ? "shown" : "hidden") << " [" << comment.text << "]";
  }
};

// A cell: 80 bytes, of which an ordinary one (a value in "General", no comment, no formula) has
// nothing on the heap but the text of a text value.
struct CellData {
  host::Value value;
  NumberFormatText number_format;
  Rare<CommentData> comment;
  FormulaText formula;
  Fill fill;
  // A threaded comment (Range.CommentThreaded), which the add-in never writes; a note beside it
  // is the host's own placeholder.
  bool threaded_comment = false;
  // Formatting of the cell's own that this model does not keep apart (a border, a font, an
  // alignment): the host counts such a cell as used even when it is blank.
  bool formatted = false;
  // For the workbook files: the cell's style record (the formula is above), kept as read.
  int style = -1;

  // Whether the cell counts for the used range: a value, a comment, or any formatting of its own.
  bool IsUsed() const;
};

struct ShapeData {
  std::string name;
  int type = host::kShapeRectangle;
  double left = 0, top = 0, width = 0, height = 0;  // points
  int fill_scheme_color = 0;
  bool fill_visible = true;
  bool fill_solid = false;
  bool line_visible = true;
  int line_scheme_color = 0;
  double line_weight = 0.75;
  std::string text;
  double font_size = 11;
  int font_color_index = host::kColorIndexAutomatic;
  double margin_left = 7.2, margin_right = 7.2, margin_top = 3.6, margin_bottom = 3.6;
  int horizontal_alignment = -4131;  // left
  // For the workbook files: the anchor cell (1-based) when read from a file, and the drawing id.
  int id = 0;
  // The in-memory host's identity of the shape behind its Shape handles; 0 until a handle is made.
  std::uint64_t serial = 0;
};

struct SheetData {
  std::string name;
  CellStore<CellData> cells;
  std::set<int> hidden_rows;
  // Rows and columns formatted as a whole, by number, with the style record read from a file (-1
  // when none). No cell is stored for them: a formatted column of 1,048,576 rows is one entry.
  std::map<int, int> row_styles;
  std::map<int, int> column_styles;
  std::map<int, double> column_widths;  // points, by column
  std::map<int, double> row_heights;    // points, by row
  double default_column_width = 48;
  double default_row_height = 15;
  bool is_protected = false;
  // Columns too narrow for their numbers and dates: the host shows such a value as a row of "#"
  // that fills the cell.
  std::set<int> narrow_columns;
  std::vector<ShapeData> shapes;
  int next_shape_number = 1;  // the host names new shapes "Rectangle 1", "Rectangle 2", ...

  // The block of the used cells as of the store's last MarkSeen(); empty when last < first.
  struct CellBlock {
    int top = 0, left = 0, bottom = -1, right = -1;
  };
  mutable CellBlock used_cells;

 private:
  const CellBlock& UsedCells() const;

 public:
  const CellData* Find(int row, int column) const;
  // The used range as the host reckons it: the smallest block holding every used cell, grown to
  // the formatted rows (in its rows only) and the formatted columns (in its columns only). With no
  // used cell, formatted rows alone span column 1 and formatted columns alone span row 1. Nothing
  // for a sheet with none of these. Kept from one call to the next: only the cells written since
  // are looked at, unless one on the edge of the block stopped being used.
  std::optional<host::Area> UsedArea() const;
  // Created empty when missing. A write through the reference is seen by the next UsedArea() when
  // made before it.
  CellData& At(int row, int column);
  double ColumnWidth(int column) const;
  // The cell's displayed text (Range.Text) in the given column: the value in its number format, or
  // a row of "#" for a number or date in a column too narrow for it.
  std::string DisplayText(int column, const CellData& cell) const;
  // The row's height as set or by default, also for a hidden row (which the host draws 0 high: a
  // cell's top edge counts hidden rows above it as 0).
  double RowHeight(int row) const;
};

struct WorkbookData {
  std::string name;              // file name, e.g. "Book1.xlsx"
  std::deque<SheetData> sheets;  // a deque: adding a sheet moves no other
};

}  // namespace quorvane::memhost
