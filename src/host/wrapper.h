// Wrappers of the host objects: each forwards every member to a target of the same interface.
//
// A subclass overrides what it needs and inherits the rest, for decorators such as a host that
// counts its calls or one that fails on purpose. ApplicationWrapper owns the wrappers of the sheets
// and workbooks the target hands out and keeps one per target object, so that everything reached
// through the wrapper (workbooks, sheets, shapes and the sheets named by ranges) is a wrapper as
// well: ranges coming from the target are re-pointed at the wrapper sheets, ranges going in are
// pointed back. Every forwarded call passes through BeforeCall first, with the member it is for.
// The target must outlive the wrapper; a wrapper's sheets and ranges must not outlive it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/application.h"
#include "host/worksheet.h"

namespace quorvane::host {

// The members of the host interface, as a wrapper reports them to BeforeCall. Members that only
// change the look of a shape share one entry.
// clang-format off
enum class Call : int {
  // Application
  kWorkbooks, kWorksheets, kActiveWorkbook, kActiveSheet, kSelection, kRangeFromReference,
  kStatusBar, kInputBox, kMsgBox, kCountA, kIsError, kIsText, kIsLogical, kIntersect, kNow,
  kDoEvents,
  // Workbook
  kWorkbookName, kWorkbookActivate, kFollowHyperlink,
  // Worksheet
  kSheetName, kSheetParent, kSheetSelect, kRangeSelect, kUsedRange, kValue, kText, kRowHidden,
  kInteriorColor, kInteriorPattern, kSetInteriorColor, kSetInteriorPattern, kHasComment,
  kAddComment, kCommentText, kSetCommentText, kSetCommentVisible, kClearComments, kCellLeft,
  kCellTop, kCellWidth, kShapesCount, kShapesItem, kAddShape, kCommentThreaded,
  // Shape
  kShapeName, kShapeSetName, kShapeDelete, kShapeFormat,
  // Block reads, HasScreen, and the number of members
  kBlockValues, kBlockTexts, kBlockColors, kBlockPatterns, kRowsHidden, kHasScreen, kCount
};
// clang-format on

// The member as the host's object model names it ("Interior.Color="), for messages.
const char* CallName(Call call);

class WorksheetWrapper;
class WorkbookWrapper;

class ApplicationWrapper : public Application {
 public:
  explicit ApplicationWrapper(Application& target);
  ~ApplicationWrapper() override;
  ApplicationWrapper(const ApplicationWrapper&) = delete;
  ApplicationWrapper& operator=(const ApplicationWrapper&) = delete;

  Application& target() { return target_; }

  // The wrapper of a target's sheet or workbook: made at first sight, the same one afterwards. An
  // object that is already one of this wrapper's comes back as it is.
  Worksheet& Wrap(Worksheet& sheet);
  Workbook& Wrap(Workbook& book);
  // The same cells on the wrapper of the range's sheet; nothing stays nothing.
  Range Wrap(const Range& range);
  std::unique_ptr<Shape> Wrap(std::unique_ptr<Shape> shape);
  // The same cells on the target's sheet, for a range on one of this wrapper's sheets; any other
  // range comes back as it is.
  Range Unwrap(const Range& range) const;

  // Application
  Workbook& Workbooks(const std::string& name) override {
    return Wrap(Pass(Call::kWorkbooks).Workbooks(name));
  }
  Worksheet& Worksheets(const std::string& name) override {
    return Wrap(Pass(Call::kWorksheets).Worksheets(name));
  }
  Workbook& ActiveWorkbook() override { return Wrap(Pass(Call::kActiveWorkbook).ActiveWorkbook()); }
  Worksheet& ActiveSheet() override { return Wrap(Pass(Call::kActiveSheet).ActiveSheet()); }
  Range Selection() override { return Wrap(Pass(Call::kSelection).Selection()); }
  Range RangeFromReference(const std::string& reference) override {
    return Wrap(Pass(Call::kRangeFromReference).RangeFromReference(reference));
  }
  void SetStatusBar(const std::string& text) override { Pass(Call::kStatusBar).SetStatusBar(text); }
  void ResetStatusBar() override { Pass(Call::kStatusBar).ResetStatusBar(); }
  std::optional<Range> InputBox(const std::string& prompt, const std::string& title,
                                const std::string& default_text) override;
  void MsgBox(const std::string& text, MessageIcon icon) override {
    Pass(Call::kMsgBox).MsgBox(text, icon);
  }
  std::int64_t CountA(const Range& range) override {
    return Pass(Call::kCountA).CountA(Unwrap(range));
  }
  bool IsError(const Range& cell) override { return Pass(Call::kIsError).IsError(Unwrap(cell)); }
  bool IsText(const Range& cell) override { return Pass(Call::kIsText).IsText(Unwrap(cell)); }
  bool IsLogical(const Range& cell) override {
    return Pass(Call::kIsLogical).IsLogical(Unwrap(cell));
  }
  Range Intersect(const Range& a, const Range& b) override {
    return Wrap(Pass(Call::kIntersect).Intersect(Unwrap(a), Unwrap(b)));
  }
  double Now() override { return Pass(Call::kNow).Now(); }
  void DoEvents() override { Pass(Call::kDoEvents).DoEvents(); }
  bool HasScreen() override { return Pass(Call::kHasScreen).HasScreen(); }
  const Conversions& GetConversions() const override { return target_.GetConversions(); }

  // Runs before every call that this wrapper or one of its objects forwards; an exception raised
  // here ends the call before it reaches the target.
  virtual void BeforeCall(Call member) { (void)member; }

 protected:
  // The wrappers made at first sight of a sheet, a workbook or a shape; override to decorate them.
  virtual std::unique_ptr<WorksheetWrapper> NewWorksheetWrapper(Worksheet& target);
  virtual std::unique_ptr<WorkbookWrapper> NewWorkbookWrapper(Workbook& target);
  virtual std::unique_ptr<Shape> NewShapeWrapper(std::unique_ptr<Shape> target);

 private:
  Application& target_;
  std::map<const Worksheet*, std::unique_ptr<WorksheetWrapper>> sheets_;
  std::map<const Workbook*, std::unique_ptr<WorkbookWrapper>> books_;

  Application& Pass(Call member) {
    BeforeCall(member);
    return target_;
  }
};

class ShapeWrapper : public Shape {
 public:
  ShapeWrapper(ApplicationWrapper& app, std::unique_ptr<Shape> target)
      : app_(app), target_(std::move(target)) {}
  Shape& target() { return *target_; }

  std::string Name() override { return Pass(Call::kShapeName).Name(); }
  void SetName(const std::string& name) override { Pass(Call::kShapeSetName).SetName(name); }
  void Delete() override { Pass(Call::kShapeDelete).Delete(); }
  void SetFillForeSchemeColor(int c) override {
    Pass(Call::kShapeFormat).SetFillForeSchemeColor(c);
  }
  void SetFillVisible(bool visible) override { Pass(Call::kShapeFormat).SetFillVisible(visible); }
  void SetFillSolid() override { Pass(Call::kShapeFormat).SetFillSolid(); }
  void SetLineVisible(bool visible) override { Pass(Call::kShapeFormat).SetLineVisible(visible); }
  void SetLineForeSchemeColor(int c) override {
    Pass(Call::kShapeFormat).SetLineForeSchemeColor(c);
  }
  void SetLineWeight(double points) override { Pass(Call::kShapeFormat).SetLineWeight(points); }
  void SetText(const std::string& text) override { Pass(Call::kShapeFormat).SetText(text); }
  void SetFontSize(double points) override { Pass(Call::kShapeFormat).SetFontSize(points); }
  void SetFontColorIndex(int index) override { Pass(Call::kShapeFormat).SetFontColorIndex(index); }
  void SetMarginLeft(double points) override { Pass(Call::kShapeFormat).SetMarginLeft(points); }
  void SetMarginRight(double points) override { Pass(Call::kShapeFormat).SetMarginRight(points); }
  void SetMarginTop(double points) override { Pass(Call::kShapeFormat).SetMarginTop(points); }
  void SetMarginBottom(double points) override { Pass(Call::kShapeFormat).SetMarginBottom(points); }
  void SetHorizontalAlignment(int a) override {
    Pass(Call::kShapeFormat).SetHorizontalAlignment(a);
  }

 protected:
  ApplicationWrapper& app_;
  std::unique_ptr<Shape> target_;
  // Lets the application wrapper see the call, then gives the target to forward it to.
  Shape& Pass(Call member) {
    app_.BeforeCall(member);
    return *target_;
  }
};

class WorksheetWrapper : public Worksheet {
 public:
  WorksheetWrapper(ApplicationWrapper& app, Worksheet& target) : app_(app), target_(target) {}
  Worksheet& target() { return target_; }
  ApplicationWrapper& app() { return app_; }

  std::string Name() override { return Pass(Call::kSheetName).Name(); }
  Workbook& Parent() override { return app_.Wrap(Pass(Call::kSheetParent).Parent()); }
  void Select() override { Pass(Call::kSheetSelect).Select(); }
  void SelectCells(const Area& a) override { Pass(Call::kRangeSelect).SelectCells(a); }
  Range UsedRange() override { return app_.Wrap(Pass(Call::kUsedRange).UsedRange()); }
  Value CellValue(int r, int c) override { return Pass(Call::kValue).CellValue(r, c); }
  std::string CellText(int r, int c) override { return Pass(Call::kText).CellText(r, c); }
  bool RowHidden(int r) override { return Pass(Call::kRowHidden).RowHidden(r); }
  double InteriorColor(int r, int c) override {
    return Pass(Call::kInteriorColor).InteriorColor(r, c);
  }
  double InteriorPattern(int r, int c) override {
    return Pass(Call::kInteriorPattern).InteriorPattern(r, c);
  }
  void SetInteriorColor(int r, int c, const Value& v) override {
    Pass(Call::kSetInteriorColor).SetInteriorColor(r, c, v);
  }
  void SetInteriorPattern(int r, int c, const Value& v) override {
    Pass(Call::kSetInteriorPattern).SetInteriorPattern(r, c, v);
  }
  std::vector<Value> BlockValues(const Area& a) override {
    return Pass(Call::kBlockValues).BlockValues(a);
  }
  std::vector<std::string> BlockTexts(const Area& a) override {
    return Pass(Call::kBlockTexts).BlockTexts(a);
  }
  std::vector<double> BlockInteriorColors(const Area& a) override {
    return Pass(Call::kBlockColors).BlockInteriorColors(a);
  }
  std::vector<double> BlockInteriorPatterns(const Area& a) override {
    return Pass(Call::kBlockPatterns).BlockInteriorPatterns(a);
  }
  std::vector<char> RowsHidden(int top, int bottom) override {
    return Pass(Call::kRowsHidden).RowsHidden(top, bottom);
  }
  void VisitBlockValues(const Area& a,
                        const std::function<void(std::size_t, const Value&)>& visit) override {
    Pass(Call::kBlockValues).VisitBlockValues(a, visit);
  }
  void VisitBlockTexts(const Area& a,
                       const std::function<void(std::size_t, std::string_view)>& visit) override {
    Pass(Call::kBlockTexts).VisitBlockTexts(a, visit);
  }
  void VisitBlockInteriorColors(const Area& a,
                                const std::function<void(std::size_t, double)>& visit) override {
    Pass(Call::kBlockColors).VisitBlockInteriorColors(a, visit);
  }
  void VisitBlockInteriorPatterns(const Area& a,
                                  const std::function<void(std::size_t, double)>& visit) override {
    Pass(Call::kBlockPatterns).VisitBlockInteriorPatterns(a, visit);
  }
  bool HasComment(int r, int c) override { return Pass(Call::kHasComment).HasComment(r, c); }
  void AddComment(int r, int c) override { Pass(Call::kAddComment).AddComment(r, c); }
  std::string CommentText(int r, int c) override {
    return Pass(Call::kCommentText).CommentText(r, c);
  }
  void SetCommentText(int r, int c, const std::string& t) override {
    Pass(Call::kSetCommentText).SetCommentText(r, c, t);
  }
  void SetCommentVisible(int r, int c, bool v) override {
    Pass(Call::kSetCommentVisible).SetCommentVisible(r, c, v);
  }
  void ClearComments(const Area& a) override { Pass(Call::kClearComments).ClearComments(a); }
  bool HasThreadedComment(int r, int c) override {
    return Pass(Call::kCommentThreaded).HasThreadedComment(r, c);
  }
  double CellLeft(int r, int c) override { return Pass(Call::kCellLeft).CellLeft(r, c); }
  double CellTop(int r, int c) override { return Pass(Call::kCellTop).CellTop(r, c); }
  double CellWidth(int r, int c) override { return Pass(Call::kCellWidth).CellWidth(r, c); }
  int ShapesCount() override { return Pass(Call::kShapesCount).ShapesCount(); }
  std::unique_ptr<Shape> ShapesItem(int index) override {
    return app_.Wrap(Pass(Call::kShapesItem).ShapesItem(index));
  }
  std::unique_ptr<Shape> AddShape(int type, double left, double top, double width,
                                  double height) override {
    return app_.Wrap(Pass(Call::kAddShape).AddShape(type, left, top, width, height));
  }

 protected:
  ApplicationWrapper& app_;
  Worksheet& target_;
  // Lets the application wrapper see the call, then gives the target to forward it to.
  Worksheet& Pass(Call member) {
    app_.BeforeCall(member);
    return target_;
  }
};

class WorkbookWrapper : public Workbook {
 public:
  WorkbookWrapper(ApplicationWrapper& app, Workbook& target) : app_(app), target_(target) {}
  Workbook& target() { return target_; }
  ApplicationWrapper& app() { return app_; }

  std::string Name() override { return Pass(Call::kWorkbookName).Name(); }
  void Activate() override { Pass(Call::kWorkbookActivate).Activate(); }
  Worksheet& Worksheets(const std::string& name) override {
    return app_.Wrap(Pass(Call::kWorksheets).Worksheets(name));
  }
  void FollowHyperlink(const std::string& address) override {
    Pass(Call::kFollowHyperlink).FollowHyperlink(address);
  }

 protected:
  ApplicationWrapper& app_;
  Workbook& target_;
  // Lets the application wrapper see the call, then gives the target to forward it to.
  Workbook& Pass(Call member) {
    app_.BeforeCall(member);
    return target_;
  }
};

}  // namespace quorvane::host
