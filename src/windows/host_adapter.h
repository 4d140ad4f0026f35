// The host interface (host/application.h, host/worksheet.h) on the spreadsheet application's
// IDispatch: every member reached by name at run time, its number looked up once and cached, and a
// failing call raised as host::HostError with the host's own description.
//
// Workbooks and worksheets are wrapped once per host object and the wrappers are kept for the
// adapter's lifetime, so that a host::Range (which points at its worksheet) stays valid while the
// add-in holds it. A wrapper is found again by the identity of the object the host hands out now,
// never by name: the host keeps one object per open workbook and per sheet (its macro language's
// `Is` relies on that), a renamed sheet keeps its object, and a workbook opened again or a new
// sheet of an old name is a new object. A wrapper whose object has gone away (its workbook closed,
// its sheet deleted, the host disconnected) raises a HostError that says so at every call. Cells,
// comments and shapes are reached afresh at each call, as the host's macro language does.
#pragma once

#include <deque>
#include <memory>
#include <string>

#include "host/application.h"
#include "host/worksheet.h"
#include "windows/dispatch_call.h"
#include "windows/ole_conversions.h"

namespace quorvane::windows {

class ComApplication;
class ComWorkbook;

// Value conversions between the host's VARIANTs and host::Value.
host::Value ToValue(const Variant& value);
Variant FromValue(const host::Value& value);

class ComWorksheet : public host::Worksheet {
 public:
  ComWorksheet(ComApplication& app, ComWorkbook& book, ComPtr<IDispatch> sheet);

  // Whether this wrapper stands for that object (an identity from windows::Identity).
  bool Is(IUnknown* identity) const { return identity != nullptr && identity == identity_; }
  IDispatch* object() const { return sheet_.Get(); }
  // Lets go of the host's object: every later call raises a HostError.
  void ReleaseHostObject();
  // The host's Range object for a range of this sheet.
  ComPtr<IDispatch> RangeObject(const host::Range& range);

  std::string Name() override;
  host::Workbook& Parent() override;
  void Select() override;
  void SelectCells(const host::Area& area) override;
  host::Range UsedRange() override;
  host::Value CellValue(int row, int column) override;
  std::string CellText(int row, int column) override;
  bool RowHidden(int row) override;
  double InteriorColor(int row, int column) override;
  double InteriorPattern(int row, int column) override;
  void SetInteriorColor(int row, int column, const host::Value& color) override;
  void SetInteriorPattern(int row, int column, const host::Value& pattern) override;
  // A block's values in one call (Range.Value answers an array); fills and hidden rows in one call
  // when the whole block agrees (the host answers Null when it does not, then cell by cell).
  std::vector<host::Value> BlockValues(const host::Area& area) override;
  std::vector<double> BlockInteriorColors(const host::Area& area) override;
  std::vector<double> BlockInteriorPatterns(const host::Area& area) override;
  std::vector<char> RowsHidden(int top, int bottom) override;
  bool HasComment(int row, int column) override;
  void AddComment(int row, int column) override;
  std::string CommentText(int row, int column) override;
  void SetCommentText(int row, int column, const std::string& text) override;
  void SetCommentVisible(int row, int column, bool visible) override;
  void ClearComments(const host::Area& area) override;
  bool HasThreadedComment(int row, int column) override;
  double CellLeft(int row, int column) override;
  double CellTop(int row, int column) override;
  double CellWidth(int row, int column) override;
  int ShapesCount() override;
  std::unique_ptr<host::Shape> ShapesItem(int index) override;
  std::unique_ptr<host::Shape> AddShape(int type, double left, double top, double width,
                                        double height) override;

 private:
  // A member of the sheet's own object; raises the sheet's own error when the object has gone.
  Variant Member(std::string_view member, std::span<const Variant> args = {});
  ComPtr<IDispatch> Cell(int row, int column);
  ComPtr<IDispatch> Block(const host::Area& area);
  std::vector<double> BlockFill(const host::Area& area, std::string_view member);
  ComPtr<IDispatch> Shapes();

  ComApplication& app_;
  ComWorkbook& book_;
  ComPtr<IDispatch> sheet_;
  IUnknown* identity_;
  std::string last_name_;  // for the message that the sheet has gone
};

class ComWorkbook : public host::Workbook {
 public:
  ComWorkbook(ComApplication& app, ComPtr<IDispatch> book);

  bool Is(IUnknown* identity) const { return identity != nullptr && identity == identity_; }
  // The wrapper of a sheet of this workbook already met, or nullptr.
  ComWorksheet* KnownSheet(IUnknown* identity);
  // The wrapper of a sheet of this workbook, made on first meeting.
  ComWorksheet& SheetFor(ComPtr<IDispatch> sheet);
  void ReleaseHostObject();

  // A member of the workbook's own object; raises the workbook's own error when it has gone.
  Variant Member(std::string_view member, std::span<const Variant> args = {},
                 std::span<const NamedArg> named = {});
  // Whether the workbook's object still answers.
  bool StillOpen();
  const std::string& last_name() const { return last_name_; }
  // "The workbook "Book1.xlsx" has been closed".
  host::HostError Closed() const;

  std::string Name() override;
  void Activate() override;
  host::Worksheet& Worksheets(const std::string& name) override;
  void FollowHyperlink(const std::string& address) override;

 private:
  ComApplication& app_;
  ComPtr<IDispatch> book_;
  IUnknown* identity_;
  std::string last_name_;
  std::deque<ComWorksheet> sheets_;
};

class ComApplication : public host::Application {
 public:
  // `app` is the host's Application object.
  explicit ComApplication(ComPtr<IDispatch> app);
  ComApplication(const ComApplication&) = delete;
  ComApplication& operator=(const ComApplication&) = delete;

  IDispatch* object() const { return app_.Get(); }
  // Lets go of every host object held (the application, its workbooks and sheets): the wrappers
  // stay, and every later call through them raises a HostError.
  void ReleaseHostObjects();
  // Application.Hwnd: the host's main window.
  HWND MainWindow();
  // Application.StatusBar: the text shown, or nothing when the host shows its own.
  std::optional<std::string> StatusBarText();

  // Late-bound access for the wrappers; `kind` names the object's class for the number cache.
  Variant Get(IDispatch* object, std::string_view kind, std::string_view member,
              std::span<const Variant> args = {});
  void Put(IDispatch* object, std::string_view kind, std::string_view member, Variant value);
  Variant Call(IDispatch* object, std::string_view kind, std::string_view member,
               std::span<const Variant> args = {}, std::span<const NamedArg> named = {});
  ComPtr<IDispatch> GetObject(IDispatch* object, std::string_view kind, std::string_view member,
                              std::span<const Variant> args = {});

  ComWorkbook& WorkbookFor(ComPtr<IDispatch> book);
  ComWorksheet& SheetFor(ComPtr<IDispatch> sheet);
  // A host::Range for one of the host's Range objects.
  host::Range RangeFrom(ComPtr<IDispatch> range);
  // The host's Range object for a host::Range made by this adapter.
  ComPtr<IDispatch> RangeObject(const host::Range& range);
  // Application.Union of the host's Range objects (at least one), any number of them.
  ComPtr<IDispatch> Union(std::span<const Variant> ranges);

  host::Workbook& Workbooks(const std::string& name) override;
  host::Worksheet& Worksheets(const std::string& name) override;
  host::Workbook& ActiveWorkbook() override;
  host::Worksheet& ActiveSheet() override;
  host::Range Selection() override;
  host::Range RangeFromReference(const std::string& reference) override;
  void SetStatusBar(const std::string& text) override;
  void ResetStatusBar() override;
  std::optional<host::Range> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override;
  void MsgBox(const std::string& text, host::MessageIcon icon) override;
  std::int64_t CountA(const host::Range& range) override;
  bool IsError(const host::Range& cell) override;
  bool IsText(const host::Range& cell) override;
  bool IsLogical(const host::Range& cell) override;
  host::Range Intersect(const host::Range& a, const host::Range& b) override;
  double Now() override;
  void DoEvents() override;
  // The host's Application.Visible: a host started for automation shows no sheets.
  bool HasScreen() override;
  const host::Conversions& GetConversions() const override { return conversions_; }

 private:
  bool CellFunction(std::string_view name, const host::Range& cell);
  // Turns a failure of a call on the application itself that says it has gone into a clear error.
  [[noreturn]] void RaiseFailure(IDispatch* object, const CallError& error);

  ComPtr<IDispatch> app_;
  OleConversions conversions_;
  DispidCache cache_;
  std::deque<ComWorkbook> books_;
};

}  // namespace quorvane::windows
