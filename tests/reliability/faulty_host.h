// A host that fails on purpose: a decorator of the in-memory host that forwards every member of
// Application, Workbook, Worksheet and Shape and raises a HostError at the n-th call of one chosen
// member, or at the n-th host call overall.
//
// Every object the add-in reaches through it (workbooks, sheets, shapes, and the sheets named by
// the ranges it hands out) is a wrapper, so no call slips past the count: ranges coming from the
// inner host are re-pointed at the wrapper sheets, and ranges going in are pointed back. The
// failure fires once; afterwards the host behaves normally again, as a host whose call failed
// would.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/application.h"
#include "host/error.h"
#include "host/worksheet.h"
#include "memhost/host.h"

namespace quorvane::testing {

using memhost::Call;

// The description of the injected failure.
inline constexpr const char* kInjectedFailure = "Injected host failure";

// Which call fails: the n-th (from 1) of `member`, or the n-th overall when no member is given.
struct FaultPlan {
  std::optional<Call> member;
  std::uint64_t n = 0;  // 0: never
};

class FaultyApplication;

class FaultyShape : public host::Shape {
 public:
  FaultyShape(FaultyApplication& app, std::unique_ptr<host::Shape> inner)
      : app_(app), inner_(std::move(inner)) {}
  std::string Name() override;
  void SetName(const std::string& name) override;
  void Delete() override;
  void SetFillForeSchemeColor(int c) override;
  void SetFillVisible(bool v) override;
  void SetFillSolid() override;
  void SetLineVisible(bool v) override;
  void SetLineForeSchemeColor(int c) override;
  void SetLineWeight(double w) override;
  void SetText(const std::string& t) override;
  void SetFontSize(double p) override;
  void SetFontColorIndex(int i) override;
  void SetMarginLeft(double p) override;
  void SetMarginRight(double p) override;
  void SetMarginTop(double p) override;
  void SetMarginBottom(double p) override;
  void SetHorizontalAlignment(int a) override;

 private:
  FaultyApplication& app_;
  std::unique_ptr<host::Shape> inner_;
};

class FaultyWorksheet : public host::Worksheet {
 public:
  FaultyWorksheet(FaultyApplication& app, host::Worksheet& inner) : app_(app), inner_(inner) {}
  host::Worksheet& inner() { return inner_; }

  std::string Name() override;
  host::Workbook& Parent() override;
  void Select() override;
  void SelectCells(const host::Area& area) override;
  host::Range UsedRange() override;
  host::Value CellValue(int r, int c) override;
  std::string CellText(int r, int c) override;
  bool RowHidden(int r) override;
  double InteriorColor(int r, int c) override;
  double InteriorPattern(int r, int c) override;
  void SetInteriorColor(int r, int c, const host::Value& v) override;
  void SetInteriorPattern(int r, int c, const host::Value& v) override;
  std::vector<host::Value> BlockValues(const host::Area& a) override;
  std::vector<std::string> BlockTexts(const host::Area& a) override;
  std::vector<double> BlockInteriorColors(const host::Area& a) override;
  std::vector<double> BlockInteriorPatterns(const host::Area& a) override;
  std::vector<char> RowsHidden(int top, int bottom) override;
  bool HasComment(int r, int c) override;
  void AddComment(int r, int c) override;
  std::string CommentText(int r, int c) override;
  void SetCommentText(int r, int c, const std::string& t) override;
  void SetCommentVisible(int r, int c, bool v) override;
  void ClearComments(const host::Area& a) override;
  double CellLeft(int r, int c) override;
  double CellTop(int r, int c) override;
  double CellWidth(int r, int c) override;
  int ShapesCount() override;
  std::unique_ptr<host::Shape> ShapesItem(int index) override;
  std::unique_ptr<host::Shape> AddShape(int type, double left, double top, double width,
                                        double height) override;

 private:
  FaultyApplication& app_;
  host::Worksheet& inner_;
};

class FaultyWorkbook : public host::Workbook {
 public:
  FaultyWorkbook(FaultyApplication& app, host::Workbook& inner) : app_(app), inner_(inner) {}
  std::string Name() override;
  void Activate() override;
  host::Worksheet& Worksheets(const std::string& name) override;
  void FollowHyperlink(const std::string& address) override;

 private:
  FaultyApplication& app_;
  host::Workbook& inner_;
};

class FaultyApplication : public host::Application {
 public:
  explicit FaultyApplication(memhost::MemHost& inner) : inner_(inner) {}

  // Arms the next failure and zeroes the call counts.
  void Arm(FaultPlan plan) {
    plan_ = plan;
    fired_ = false;
    total_ = 0;
    per_member_.clear();
  }
  void Disarm() { plan_ = FaultPlan{}; }
  bool fired() const { return fired_; }
  std::uint64_t total() const { return total_; }
  std::uint64_t count(Call member) const {
    const auto it = per_member_.find(member);
    return it == per_member_.end() ? 0 : it->second;
  }
  // The members called since the last Arm, each once, in no particular order.
  std::vector<Call> members_called() const {
    std::vector<Call> out;
    for (const auto& [member, n] : per_member_) out.push_back(member);
    return out;
  }

  // A range of the inner host as the add-in sees it through this host, and back.
  host::Range Wrap(const host::Range& range) {
    if (!range) return range;
    return host::Range(&Sheet(range.Parent()), range.Areas());
  }
  host::Range Unwrap(const host::Range& range) {
    if (!range) return range;
    auto* sheet = dynamic_cast<FaultyWorksheet*>(&range.Parent());
    if (sheet == nullptr) return range;
    return host::Range(&sheet->inner(), range.Areas());
  }
  FaultyWorksheet& Sheet(host::Worksheet& inner) {
    auto& slot = sheets_[&inner];
    if (!slot) slot = std::make_unique<FaultyWorksheet>(*this, inner);
    return *slot;
  }
  FaultyWorkbook& Book(host::Workbook& inner) {
    auto& slot = books_[&inner];
    if (!slot) slot = std::make_unique<FaultyWorkbook>(*this, inner);
    return *slot;
  }

  // Counts one call and raises the injected failure when it is the planned one.
  void Tick(Call member) {
    ++total_;
    const std::uint64_t n = ++per_member_[member];
    if (fired_ || plan_.n == 0) return;
    const bool hit = plan_.member ? (*plan_.member == member && n == plan_.n) : total_ == plan_.n;
    if (hit) {
      fired_ = true;
      failed_member_ = member;
      throw host::HostError(kInjectedFailure);
    }
  }
  Call failed_member() const { return failed_member_; }

  // host::Application
  host::Workbook& Workbooks(const std::string& name) override {
    Tick(Call::kWorkbooks);
    return Book(inner_.Workbooks(name));
  }
  host::Worksheet& Worksheets(const std::string& name) override {
    Tick(Call::kWorksheets);
    return Sheet(inner_.Worksheets(name));
  }
  host::Workbook& ActiveWorkbook() override {
    Tick(Call::kActiveWorkbook);
    return Book(inner_.ActiveWorkbook());
  }
  host::Worksheet& ActiveSheet() override {
    Tick(Call::kActiveSheet);
    return Sheet(inner_.ActiveSheet());
  }
  host::Range Selection() override {
    Tick(Call::kSelection);
    return Wrap(inner_.Selection());
  }
  host::Range RangeFromReference(const std::string& reference) override {
    Tick(Call::kRangeFromReference);
    return Wrap(inner_.RangeFromReference(reference));
  }
  void SetStatusBar(const std::string& text) override {
    Tick(Call::kStatusBar);
    inner_.SetStatusBar(text);
  }
  void ResetStatusBar() override {
    Tick(Call::kStatusBar);
    inner_.ResetStatusBar();
  }
  std::optional<host::Range> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override {
    Tick(Call::kInputBox);
    std::optional<host::Range> answer = inner_.InputBox(prompt, title, default_text);
    if (answer) answer = Wrap(*answer);
    return answer;
  }
  void MsgBox(const std::string& text, host::MessageIcon icon) override {
    Tick(Call::kMsgBox);
    inner_.MsgBox(text, icon);
  }
  std::int64_t CountA(const host::Range& range) override {
    Tick(Call::kCountA);
    return inner_.CountA(Unwrap(range));
  }
  bool IsError(const host::Range& cell) override {
    Tick(Call::kIsError);
    return inner_.IsError(Unwrap(cell));
  }
  bool IsText(const host::Range& cell) override {
    Tick(Call::kIsText);
    return inner_.IsText(Unwrap(cell));
  }
  bool IsLogical(const host::Range& cell) override {
    Tick(Call::kIsLogical);
    return inner_.IsLogical(Unwrap(cell));
  }
  host::Range Intersect(const host::Range& a, const host::Range& b) override {
    Tick(Call::kIntersect);
    return Wrap(inner_.Intersect(Unwrap(a), Unwrap(b)));
  }
  double Now() override {
    Tick(Call::kNow);
    return inner_.Now();
  }
  void DoEvents() override {
    Tick(Call::kDoEvents);
    inner_.DoEvents();
  }
  bool HasScreen() override {
    Tick(Call::kHasScreen);
    return inner_.HasScreen();
  }

 private:
  memhost::MemHost& inner_;
  FaultPlan plan_;
  bool fired_ = false;
  Call failed_member_ = Call::kCount;
  std::uint64_t total_ = 0;
  std::map<Call, std::uint64_t> per_member_;
  std::map<host::Worksheet*, std::unique_ptr<FaultyWorksheet>> sheets_;
  std::map<host::Workbook*, std::unique_ptr<FaultyWorkbook>> books_;
};

// --- Shape ---
inline std::string FaultyShape::Name() {
  app_.Tick(Call::kShapeName);
  return inner_->Name();
}
inline void FaultyShape::SetName(const std::string& name) {
  app_.Tick(Call::kShapeSetName);
  inner_->SetName(name);
}
inline void FaultyShape::Delete() {
  app_.Tick(Call::kShapeDelete);
  inner_->Delete();
}
inline void FaultyShape::SetFillForeSchemeColor(int c) {
  app_.Tick(Call::kShapeFormat);
  inner_->SetFillForeSchemeColor(c);
}
inline void FaultyShape::SetFillVisible(bool v) {
  app_.Tick(Call::kShapeFormat);
  inner_->SetFillVisible(v);
}
inline void FaultyShape::SetFillSolid() {
  app_.Tick(Call::kShapeFormat);
  inner_->SetFillSolid();
}
inline void FaultyShape::SetLineVisible(bool v) {
  app_.Tick(Call::kShapeFormat);
  inner_->SetLineVisible(v);
}
inline void FaultyShape::SetLineForeSchemeColor(int c) {
  app_.Tick(Call::kShapeFormat);
  inner_->SetLineForeSchemeColor(c);
}
inline void FaultyShape::SetLineWeight(double w) {
  app_.Tick(Call::kShapeFormat);
  inner_->SetLineWeight(w);
}
inline void FaultyShape::SetText(const std::string& t) {
  app_.Tick(Call::kShapeFormat);
  inner_->SetText(t);
}
inline void FaultyShape::SetFontSize(double p) {
  app_.Tick(Call::kShapeFormat);
  inner_->SetFontSize(p);
}
inline void FaultyShape::SetFontColorIndex(int i) {
  app_.Tick(Call::kShapeFormat);
  inner_->SetFontColorIndex(i);
}
inline void FaultyShape::SetMarginLeft(double p) {
  app_.Tick(Call::kShapeFormat);
  inner_->SetMarginLeft(p);
}
inline void FaultyShape::SetMarginRight(double p) {
  app_.Tick(Call::kShapeFormat);
  inner_->SetMarginRight(p);
}
inline void FaultyShape::SetMarginTop(double p) {
  app_.Tick(Call::kShapeFormat);
  inner_->SetMarginTop(p);
}
inline void FaultyShape::SetMarginBottom(double p) {
  app_.Tick(Call::kShapeFormat);
  inner_->SetMarginBottom(p);
}
inline void FaultyShape::SetHorizontalAlignment(int a) {
  app_.Tick(Call::kShapeFormat);
  inner_->SetHorizontalAlignment(a);
}

// --- Worksheet ---
inline std::string FaultyWorksheet::Name() {
  app_.Tick(Call::kSheetName);
  return inner_.Name();
}
inline host::Workbook& FaultyWorksheet::Parent() {
  app_.Tick(Call::kSheetParent);
  return app_.Book(inner_.Parent());
}
inline void FaultyWorksheet::Select() {
  app_.Tick(Call::kSheetSelect);
  inner_.Select();
}
inline void FaultyWorksheet::SelectCells(const host::Area& area) {
  app_.Tick(Call::kRangeSelect);
  inner_.SelectCells(area);
}
inline host::Range FaultyWorksheet::UsedRange() {
  app_.Tick(Call::kUsedRange);
  return app_.Wrap(inner_.UsedRange());
}
inline host::Value FaultyWorksheet::CellValue(int r, int c) {
  app_.Tick(Call::kValue);
  return inner_.CellValue(r, c);
}
inline std::string FaultyWorksheet::CellText(int r, int c) {
  app_.Tick(Call::kText);
  return inner_.CellText(r, c);
}
inline bool FaultyWorksheet::RowHidden(int r) {
  app_.Tick(Call::kRowHidden);
  return inner_.RowHidden(r);
}
inline double FaultyWorksheet::InteriorColor(int r, int c) {
  app_.Tick(Call::kInteriorColor);
  return inner_.InteriorColor(r, c);
}
inline double FaultyWorksheet::InteriorPattern(int r, int c) {
  app_.Tick(Call::kInteriorPattern);
  return inner_.InteriorPattern(r, c);
}
inline void FaultyWorksheet::SetInteriorColor(int r, int c, const host::Value& v) {
  app_.Tick(Call::kSetInteriorColor);
  inner_.SetInteriorColor(r, c, v);
}
inline void FaultyWorksheet::SetInteriorPattern(int r, int c, const host::Value& v) {
  app_.Tick(Call::kSetInteriorPattern);
  inner_.SetInteriorPattern(r, c, v);
}
inline std::vector<host::Value> FaultyWorksheet::BlockValues(const host::Area& a) {
  app_.Tick(Call::kBlockValues);
  return inner_.BlockValues(a);
}
inline std::vector<std::string> FaultyWorksheet::BlockTexts(const host::Area& a) {
  app_.Tick(Call::kBlockTexts);
  return inner_.BlockTexts(a);
}
inline std::vector<double> FaultyWorksheet::BlockInteriorColors(const host::Area& a) {
  app_.Tick(Call::kBlockColors);
  return inner_.BlockInteriorColors(a);
}
inline std::vector<double> FaultyWorksheet::BlockInteriorPatterns(const host::Area& a) {
  app_.Tick(Call::kBlockPatterns);
  return inner_.BlockInteriorPatterns(a);
}
inline std::vector<char> FaultyWorksheet::RowsHidden(int top, int bottom) {
  app_.Tick(Call::kRowsHidden);
  return inner_.RowsHidden(top, bottom);
}
inline bool FaultyWorksheet::HasComment(int r, int c) {
  app_.Tick(Call::kHasComment);
  return inner_.HasComment(r, c);
}
inline void FaultyWorksheet::AddComment(int r, int c) {
  app_.Tick(Call::kAddComment);
  inner_.AddComment(r, c);
}
inline std::string FaultyWorksheet::CommentText(int r, int c) {
  app_.Tick(Call::kCommentText);
  return inner_.CommentText(r, c);
}
inline void FaultyWorksheet::SetCommentText(int r, int c, const std::string& t) {
  app_.Tick(Call::kSetCommentText);
  inner_.SetCommentText(r, c, t);
}
inline void FaultyWorksheet::SetCommentVisible(int r, int c, bool v) {
  app_.Tick(Call::kSetCommentVisible);
  inner_.SetCommentVisible(r, c, v);
}
inline void FaultyWorksheet::ClearComments(const host::Area& a) {
  app_.Tick(Call::kClearComments);
  inner_.ClearComments(a);
}
inline double FaultyWorksheet::CellLeft(int r, int c) {
  app_.Tick(Call::kCellLeft);
  return inner_.CellLeft(r, c);
}
inline double FaultyWorksheet::CellTop(int r, int c) {
  app_.Tick(Call::kCellTop);
  return inner_.CellTop(r, c);
}
inline double FaultyWorksheet::CellWidth(int r, int c) {
  app_.Tick(Call::kCellWidth);
  return inner_.CellWidth(r, c);
}
inline int FaultyWorksheet::ShapesCount() {
  app_.Tick(Call::kShapesCount);
  return inner_.ShapesCount();
}
inline std::unique_ptr<host::Shape> FaultyWorksheet::ShapesItem(int index) {
  app_.Tick(Call::kShapesItem);
  return std::make_unique<FaultyShape>(app_, inner_.ShapesItem(index));
}
inline std::unique_ptr<host::Shape> FaultyWorksheet::AddShape(int type, double left, double top,
                                                              double width, double height) {
  app_.Tick(Call::kAddShape);
  return std::make_unique<FaultyShape>(app_, inner_.AddShape(type, left, top, width, height));
}

// --- Workbook ---
inline std::string FaultyWorkbook::Name() {
  app_.Tick(Call::kWorkbookName);
  return inner_.Name();
}
inline void FaultyWorkbook::Activate() {
  app_.Tick(Call::kWorkbookActivate);
  inner_.Activate();
}
inline host::Worksheet& FaultyWorkbook::Worksheets(const std::string& name) {
  app_.Tick(Call::kWorksheets);
  return app_.Sheet(inner_.Worksheets(name));
}
inline void FaultyWorkbook::FollowHyperlink(const std::string& address) {
  app_.Tick(Call::kFollowHyperlink);
  inner_.FollowHyperlink(address);
}

}  // namespace quorvane::testing
