// The host's workbook, worksheet and shape objects, as abstract interfaces.
//
// Every implementation (the in-memory host, the workbook files, the Windows host) provides these.
// Cells are addressed by row and column counted from 1. Every member may raise a HostError with the
// host's description; a protected sheet refuses every change that way.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/range.h"
#include "host/value.h"

namespace quorvane::host {

class Workbook;

// The host's fill constants.
inline constexpr int kPatternNone = -4142;
inline constexpr int kPatternSolid = 1;
inline constexpr int kPatternGray16 = 17;
inline constexpr int kColorWhite = 16777215;  // what an unfilled cell reports as its colour
inline constexpr int kColorIndexAutomatic = -4105;
inline constexpr int kHAlignCenter = -4108;
inline constexpr int kShapeRectangle = 1;

// A drawing shape on a worksheet (Worksheet.Shapes.Item(i)). The handle stays usable while the
// shape exists; after Delete it must not be used.
class Shape {
 public:
  virtual ~Shape() = default;
  virtual std::string Name() = 0;
  virtual void SetName(const std::string& name) = 0;
  virtual void Delete() = 0;
  // Shape.Fill
  virtual void SetFillForeSchemeColor(int scheme_color) = 0;
  virtual void SetFillVisible(bool visible) = 0;
  virtual void SetFillSolid() = 0;
  // Shape.Line
  virtual void SetLineVisible(bool visible) = 0;
  virtual void SetLineForeSchemeColor(int scheme_color) = 0;
  virtual void SetLineWeight(double points) = 0;
  // Shape.TextFrame
  virtual void SetText(const std::string& text) = 0;  // Characters.Text
  virtual void SetFontSize(double points) = 0;        // Characters.Font.Size
  virtual void SetFontColorIndex(int index) = 0;      // Characters.Font.ColorIndex
  virtual void SetMarginLeft(double points) = 0;
  virtual void SetMarginRight(double points) = 0;
  virtual void SetMarginTop(double points) = 0;
  virtual void SetMarginBottom(double points) = 0;
  virtual void SetHorizontalAlignment(int alignment) = 0;
};

class Worksheet {
 public:
  virtual ~Worksheet() = default;

  virtual std::string Name() = 0;
  virtual Workbook& Parent() = 0;
  virtual void Select() = 0;
  // Range.Select on a block of this sheet: it becomes the host's selection. The host selects cells
  // only on the active sheet of the active workbook and raises a HostError otherwise.
  virtual void SelectCells(const Area& area) = 0;
  // The smallest block holding every cell with a value, a comment or a fill; $A$1 for an empty
  // sheet, as the host reports it.
  virtual Range UsedRange() = 0;
  // A range of this sheet (cheap; no host call).
  Range Cells(const Area& area) { return Range(this, area); }

  // Cells.
  virtual Value CellValue(int row, int column) = 0;
  virtual std::string CellText(int row, int column) = 0;
  virtual bool RowHidden(int row) = 0;
  virtual double InteriorColor(int row, int column) = 0;
  virtual double InteriorPattern(int row, int column) = 0;
  virtual void SetInteriorColor(int row, int column, const Value& color) = 0;
  virtual void SetInteriorPattern(int row, int column, const Value& pattern) = 0;

  // Bulk reads of a block, row by row, for callers that read whole lists. The real host answers
  // the values of a block in one call; these defaults ask cell by cell.
  virtual std::vector<Value> BlockValues(const Area& area);
  virtual std::vector<std::string> BlockTexts(const Area& area);
  virtual std::vector<double> BlockInteriorColors(const Area& area);
  virtual std::vector<double> BlockInteriorPatterns(const Area& area);
  // Whether each row from top to bottom is hidden (1) or not (0).
  virtual std::vector<char> RowsHidden(int top, int bottom);
  // The same reads as BlockValues and BlockTexts, one host call each, handed to `visit` cell by
  // cell with the cell's place in the block (0-based, row by row) instead of as a list of every
  // cell. Places come in rising order; a cell not visited is empty (no value, no displayed text).
  // The defaults read the block's list and visit its cells that are not empty.
  virtual void VisitBlockValues(const Area& area,
                                const std::function<void(std::size_t, const Value&)>& visit);
  virtual void VisitBlockTexts(const Area& area,
                               const std::function<void(std::size_t, std::string_view)>& visit);
  // The same for BlockInteriorColors and BlockInteriorPatterns; a cell not visited is white, or
  // has no pattern.
  virtual void VisitBlockInteriorColors(const Area& area,
                                        const std::function<void(std::size_t, double)>& visit);
  virtual void VisitBlockInteriorPatterns(const Area& area,
                                          const std::function<void(std::size_t, double)>& visit);

  // Comments. CommentText, SetCommentText and SetCommentVisible need the cell to have a comment;
  // AddComment needs it to have none.
  virtual bool HasComment(int row, int column) = 0;
  virtual void AddComment(int row, int column) = 0;
  virtual std::string CommentText(int row, int column) = 0;
  virtual void SetCommentText(int row, int column, const std::string& text) = 0;
  virtual void SetCommentVisible(int row, int column, bool visible) = 0;
  virtual void ClearComments(const Area& area) = 0;
  // Whether the cell holds a threaded comment (Range.CommentThreaded is not Nothing). A threaded
  // comment sits beside the notes, one kind per cell; a host that has none raises here.
  virtual bool HasThreadedComment(int row, int column) = 0;

  // The cell's box in points.
  virtual double CellLeft(int row, int column) = 0;
  virtual double CellTop(int row, int column) = 0;
  virtual double CellWidth(int row, int column) = 0;

  // Shapes, counted from 1 in the sheet's order.
  virtual int ShapesCount() = 0;
  virtual std::unique_ptr<Shape> ShapesItem(int index) = 0;
  virtual std::unique_ptr<Shape> AddShape(int type, double left, double top, double width,
                                          double height) = 0;
};

class Workbook {
 public:
  virtual ~Workbook() = default;
  virtual std::string Name() = 0;
  virtual void Activate() = 0;
  // The sheet of that name; raises "Subscript out of range" when there is none.
  virtual Worksheet& Worksheets(const std::string& name) = 0;
  // Opens a web address (Workbook.FollowHyperlink with NewWindow True).
  virtual void FollowHyperlink(const std::string& address) = 0;
};

}  // namespace quorvane::host
