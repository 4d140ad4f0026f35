// The data of workbooks held in memory: sheets, cells, fills, comments and shapes.
//
// Plain data, owned by the in-memory host (host.h), which implements the host interface on it. The
// workbook-file layer fills these structures from a file and writes them back, so they also keep
// the few things that only a file needs (the style record of a cell, its formula text, a shape's
// id).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
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

struct CommentData {
  std::string text;
  bool visible = false;  // notes are hidden until the pointer rests on the cell
  friend bool operator==(const CommentData&, const CommentData&) = default;
};

struct CellData {
  host::Value value;
  std::string number_format = "General";
  Fill fill;
  std::optional<CommentData> comment;
  // A threaded comment (Range.CommentThreaded), which the add-in never writes; a note beside it
  // is the host's own placeholder.
  bool threaded_comment = false;
  // Formatting of the cell's own that this model does not keep apart (a border, a font, an
  // alignment): the host counts such a cell as used even when it is blank.
  bool formatted = false;
  // For the workbook files: the cell's style record and formula, kept as read.
  int style = -1;
  std::string formula;

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

  const CellData* Find(int row, int column) const;
  // The used range as the host reckons it: the smallest block holding every used cell, grown to
  // the formatted rows (in its rows only) and the formatted columns (in its columns only). With no
  // used cell, formatted rows alone span column 1 and formatted columns alone span row 1. Nothing
  // for a sheet with none of these.
  std::optional<host::Area> UsedArea() const;
  CellData& At(int row, int column);  // created empty when missing
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
