#include "marks/rectangles.h"

#include <memory>

#include "host/error.h"
#include "host/worksheet.h"
#include "marks/marks.h"

namespace quorvane::marks {

namespace {

constexpr double kShapeWidth = 18;
constexpr double kShapeHeight = 8;
constexpr double kInset = 3;
constexpr int kFillSchemeColor = 9;
constexpr int kLineSchemeColor = 64;
constexpr double kLineWeight = 0.25;
constexpr double kFontSize = 6;

}  // namespace

void AddCommentShape(const host::Range& cell, const std::string& tag, const std::string& text) {
  host::Worksheet& sheet = cell.Parent();
  // The left edge of the next cell less this cell's width: this cell's left edge, also for a cell
  // that is part of a merged block.
  const double left = cell.Offset(0, 1).Left() - cell.Width() + kInset;
  std::unique_ptr<host::Shape> shape =
      sheet.AddShape(host::kShapeRectangle, left, cell.Top(), kShapeWidth, kShapeHeight);
  try {
    shape->SetName(RectangleName(tag, shape->Name()));
  } catch (...) {
    // Under the host's own name no removal would ever find the shape again.
    try {
      shape->Delete();
    } catch (const host::HostError&) {
    }
    throw;
  }

  shape->SetFillForeSchemeColor(kFillSchemeColor);
  shape->SetFillVisible(true);
  shape->SetFillSolid();

  shape->SetLineVisible(true);
  shape->SetLineForeSchemeColor(kLineSchemeColor);
  shape->SetLineWeight(kLineWeight);

  shape->SetText(text);
  shape->SetFontSize(kFontSize);
  shape->SetFontColorIndex(host::kColorIndexAutomatic);
  shape->SetMarginLeft(0);
  shape->SetMarginRight(0);
  shape->SetMarginTop(0);
  shape->SetMarginBottom(0);
  shape->SetHorizontalAlignment(host::kHAlignCenter);
}

void RemoveCommentShapes(const host::Range& range, const std::string& tag) {
  host::Worksheet& sheet = range.Parent();
  const int count = sheet.ShapesCount();
  // From the last shape to the first, so that a deletion moves none still to be visited.
  for (int j = count; j >= 1; --j) {
    std::unique_ptr<host::Shape> shape = sheet.ShapesItem(j);
    if (IsRectangleOf(shape->Name(), tag)) shape->Delete();
  }
}

}  // namespace quorvane::marks
