#include "support/recording_host.h"

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string_view>
#include <utility>

#include "host/value.h"

namespace quorvane::testing {
namespace {

std::string Cell(int row, int column) {
  return "R" + std::to_string(row) + "C" + std::to_string(column);
}

std::string Block(const host::Area& a) {
  return Cell(a.top, a.left) + ":" + Cell(a.bottom, a.right);
}

std::string Number(double number) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.10g", number);
  return buffer;
}

// Long texts (comments) are kept whole: the blocks, timestamps and memos are what a trace checks.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '\n') {
      quoted += "\\n";
    } else if (c == '"') {
      quoted += "\\\"";
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

class RecordingShape : public host::ShapeWrapper {
 public:
  RecordingShape(RecordingApplication& app, std::unique_ptr<host::Shape> target)
      : ShapeWrapper(app, std::move(target)), recorder_(app) {}

  void SetName(const std::string& name) override {
    recorder_.SetArguments(Quoted(name));
    ShapeWrapper::SetName(name);
  }
  void SetText(const std::string& text) override {
    recorder_.SetArguments("Text " + Quoted(text));
    ShapeWrapper::SetText(text);
  }
  void SetFillForeSchemeColor(int c) override {
    recorder_.SetArguments("Fill.ForeColor.SchemeColor " + std::to_string(c));
    ShapeWrapper::SetFillForeSchemeColor(c);
  }
  void SetFillVisible(bool visible) override {
    recorder_.SetArguments("Fill.Visible " + std::to_string(visible));
    ShapeWrapper::SetFillVisible(visible);
  }
  void SetFillSolid() override {
    recorder_.SetArguments("Fill.Solid");
    ShapeWrapper::SetFillSolid();
  }
  void SetLineVisible(bool visible) override {
    recorder_.SetArguments("Line.Visible " + std::to_string(visible));
    ShapeWrapper::SetLineVisible(visible);
  }
  void SetLineForeSchemeColor(int c) override {
    recorder_.SetArguments("Line.ForeColor.SchemeColor " + std::to_string(c));
    ShapeWrapper::SetLineForeSchemeColor(c);
  }
  void SetLineWeight(double points) override {
    recorder_.SetArguments("Line.Weight " + Number(points));
    ShapeWrapper::SetLineWeight(points);
  }
  void SetFontSize(double points) override {
    recorder_.SetArguments("Font.Size " + Number(points));
    ShapeWrapper::SetFontSize(points);
  }
  void SetFontColorIndex(int index) override {
    recorder_.SetArguments("Font.ColorIndex " + std::to_string(index));
    ShapeWrapper::SetFontColorIndex(index);
  }
  void SetMarginLeft(double points) override {
    recorder_.SetArguments("MarginLeft " + Number(points));
    ShapeWrapper::SetMarginLeft(points);
  }
  void SetMarginRight(double points) override {
    recorder_.SetArguments("MarginRight " + Number(points));
    ShapeWrapper::SetMarginRight(points);
  }
  void SetMarginTop(double points) override {
    recorder_.SetArguments("MarginTop " + Number(points));
    ShapeWrapper::SetMarginTop(points);
  }
  void SetMarginBottom(double points) override {
    recorder_.SetArguments("MarginBottom " + Number(points));
    ShapeWrapper::SetMarginBottom(points);
  }
  void SetHorizontalAlignment(int a) override {
    recorder_.SetArguments("HorizontalAlignment " + std::to_string(a));
    ShapeWrapper::SetHorizontalAlignment(a);
  }

 private:
  RecordingApplication& recorder_;
};

class RecordingSheet : public host::WorksheetWrapper {
 public:
  RecordingSheet(RecordingApplication& app, host::Worksheet& target)
      : WorksheetWrapper(app, target), recorder_(app) {}

  std::string Name() override {
    Say("");
    return WorksheetWrapper::Name();
  }
  host::Workbook& Parent() override {
    Say("");
    return WorksheetWrapper::Parent();
  }
  void Select() override {
    Say("");
    WorksheetWrapper::Select();
  }
  void SelectCells(const host::Area& a) override {
    Say(Block(a));
    WorksheetWrapper::SelectCells(a);
  }
  host::Range UsedRange() override {
    Say("");
    return WorksheetWrapper::UsedRange();
  }
  host::Value CellValue(int r, int c) override {
    Say(Cell(r, c));
    return WorksheetWrapper::CellValue(r, c);
  }
  std::string CellText(int r, int c) override {
    Say(Cell(r, c));
    return WorksheetWrapper::CellText(r, c);
  }
  bool RowHidden(int r) override {
    Say("R" + std::to_string(r));
    return WorksheetWrapper::RowHidden(r);
  }
  double InteriorColor(int r, int c) override {
    Say(Cell(r, c));
    return WorksheetWrapper::InteriorColor(r, c);
  }
  double InteriorPattern(int r, int c) override {
    Say(Cell(r, c));
    return WorksheetWrapper::InteriorPattern(r, c);
  }
  void SetInteriorColor(int r, int c, const host::Value& v) override {
    Say(Cell(r, c) + " " + host::DebugString(v));
    WorksheetWrapper::SetInteriorColor(r, c, v);
  }
  void SetInteriorPattern(int r, int c, const host::Value& v) override {
    Say(Cell(r, c) + " " + host::DebugString(v));
    WorksheetWrapper::SetInteriorPattern(r, c, v);
  }
  std::vector<host::Value> BlockValues(const host::Area& a) override {
    Say(Block(a));
    return WorksheetWrapper::BlockValues(a);
  }
  std::vector<std::string> BlockTexts(const host::Area& a) override {
    Say(Block(a));
    return WorksheetWrapper::BlockTexts(a);
  }
  void VisitBlockValues(
      const host::Area& a,
      const std::function<void(std::size_t, const host::Value&)>& visit) override {
    Say(Block(a));
    WorksheetWrapper::VisitBlockValues(a, visit);
  }
  void VisitBlockTexts(const host::Area& a,
                       const std::function<void(std::size_t, std::string_view)>& visit) override {
    Say(Block(a));
    WorksheetWrapper::VisitBlockTexts(a, visit);
  }
  void VisitBlockInteriorColors(const host::Area& a,
                                const std::function<void(std::size_t, double)>& visit) override {
    Say(Block(a));
    WorksheetWrapper::VisitBlockInteriorColors(a, visit);
  }
  void VisitBlockInteriorPatterns(const host::Area& a,
                                  const std::function<void(std::size_t, double)>& visit) override {
    Say(Block(a));
    WorksheetWrapper::VisitBlockInteriorPatterns(a, visit);
  }
  std::vector<double> BlockInteriorColors(const host::Area& a) override {
    Say(Block(a));
    return WorksheetWrapper::BlockInteriorColors(a);
  }
  std::vector<double> BlockInteriorPatterns(const host::Area& a) override {
    Say(Block(a));
    return WorksheetWrapper::BlockInteriorPatterns(a);
  }
  std::vector<char> RowsHidden(int top, int bottom) override {
    Say("R" + std::to_string(top) + ":R" + std::to_string(bottom));
    return WorksheetWrapper::RowsHidden(top, bottom);
  }
  bool HasComment(int r, int c) override {
    Say(Cell(r, c));
    return WorksheetWrapper::HasComment(r, c);
  }
  bool HasThreadedComment(int r, int c) override {
    Say(Cell(r, c));
    return WorksheetWrapper::HasThreadedComment(r, c);
  }
  void AddComment(int r, int c) override {
    Say(Cell(r, c));
    WorksheetWrapper::AddComment(r, c);
  }
  std::string CommentText(int r, int c) override {
    Say(Cell(r, c));
    return WorksheetWrapper::CommentText(r, c);
  }
  void SetCommentText(int r, int c, const std::string& t) override {
    Say(Cell(r, c) + " " + Quoted(t));
    WorksheetWrapper::SetCommentText(r, c, t);
  }
  void SetCommentVisible(int r, int c, bool v) override {
    Say(Cell(r, c) + " " + std::to_string(v));
    WorksheetWrapper::SetCommentVisible(r, c, v);
  }
  void ClearComments(const host::Area& a) override {
    Say(Block(a));
    WorksheetWrapper::ClearComments(a);
  }
  double CellLeft(int r, int c) override {
    Say(Cell(r, c));
    return WorksheetWrapper::CellLeft(r, c);
  }
  double CellTop(int r, int c) override {
    Say(Cell(r, c));
    return WorksheetWrapper::CellTop(r, c);
  }
  double CellWidth(int r, int c) override {
    Say(Cell(r, c));
    return WorksheetWrapper::CellWidth(r, c);
  }
  int ShapesCount() override {
    Say("");
    return WorksheetWrapper::ShapesCount();
  }
  std::unique_ptr<host::Shape> ShapesItem(int index) override {
    Say(std::to_string(index));
    return WorksheetWrapper::ShapesItem(index);
  }
  std::unique_ptr<host::Shape> AddShape(int type, double left, double top, double width,
                                        double height) override {
    Say(std::to_string(type) + " " + Number(left) + " " + Number(top) + " " + Number(width) + " " +
        Number(height));
    return WorksheetWrapper::AddShape(type, left, top, width, height);
  }

 private:
  // Every line of a sheet's call begins with the sheet's tag.
  void Say(const std::string& arguments) {
    recorder_.SetArguments(recorder_.SheetTag(this) + (arguments.empty() ? "" : " " + arguments));
  }

  RecordingApplication& recorder_;
};

}  // namespace

RecordingApplication::RecordingApplication(host::Application& target, std::vector<std::string>& log)
    : ApplicationWrapper(target), log_(log) {}

std::string RecordingApplication::SheetTag(const host::Worksheet* sheet) {
  const auto [it, added] = sheet_tags_.try_emplace(sheet, static_cast<int>(sheet_tags_.size()) + 1);
  return "S" + std::to_string(it->second);
}

std::string RecordingApplication::Describe(const host::Range& range) {
  if (range.is_nothing()) return "Nothing";
  std::string text = SheetTag(&range.Parent());
  for (const host::Area& area : range.Areas()) text += " " + Block(area);
  return text;
}

void RecordingApplication::BeforeCall(host::Call member) {
  std::string line = host::CallName(member);
  if (!arguments_.empty()) line += " " + arguments_;
  arguments_.clear();
  log_.push_back(std::move(line));
}

host::Workbook& RecordingApplication::Workbooks(const std::string& name) {
  SetArguments(Quoted(name));
  return ApplicationWrapper::Workbooks(name);
}

host::Worksheet& RecordingApplication::Worksheets(const std::string& name) {
  SetArguments(Quoted(name));
  return ApplicationWrapper::Worksheets(name);
}

host::Range RecordingApplication::RangeFromReference(const std::string& reference) {
  SetArguments(Quoted(reference));
  return ApplicationWrapper::RangeFromReference(reference);
}

void RecordingApplication::SetStatusBar(const std::string& text) {
  SetArguments(Quoted(text));
  ApplicationWrapper::SetStatusBar(text);
}

std::optional<host::Range> RecordingApplication::InputBox(const std::string& prompt,
                                                          const std::string& title,
                                                          const std::string& default_text) {
  SetArguments(Quoted(prompt) + " " + Quoted(title) + " " + Quoted(default_text));
  return ApplicationWrapper::InputBox(prompt, title, default_text);
}

void RecordingApplication::MsgBox(const std::string& text, host::MessageIcon icon) {
  SetArguments(Quoted(text) + " " + std::to_string(static_cast<int>(icon)));
  ApplicationWrapper::MsgBox(text, icon);
}

std::int64_t RecordingApplication::CountA(const host::Range& range) {
  SetArguments(Describe(range));
  return ApplicationWrapper::CountA(range);
}

bool RecordingApplication::IsError(const host::Range& cell) {
  SetArguments(Describe(cell));
  return ApplicationWrapper::IsError(cell);
}

bool RecordingApplication::IsText(const host::Range& cell) {
  SetArguments(Describe(cell));
  return ApplicationWrapper::IsText(cell);
}

bool RecordingApplication::IsLogical(const host::Range& cell) {
  SetArguments(Describe(cell));
  return ApplicationWrapper::IsLogical(cell);
}

host::Range RecordingApplication::Intersect(const host::Range& a, const host::Range& b) {
  SetArguments(Describe(a) + " & " + Describe(b));
  return ApplicationWrapper::Intersect(a, b);
}

std::unique_ptr<host::WorksheetWrapper> RecordingApplication::NewWorksheetWrapper(
    host::Worksheet& target) {
  return std::make_unique<RecordingSheet>(*this, target);
}

std::unique_ptr<host::Shape> RecordingApplication::NewShapeWrapper(
    std::unique_ptr<host::Shape> target) {
  return std::make_unique<RecordingShape>(*this, std::move(target));
}

}  // namespace quorvane::testing
