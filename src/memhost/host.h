// The in-memory host: a stand-in of the spreadsheet application that holds its workbooks in memory.
//
// It implements the host interface faithfully for everything the add-in touches: an unfilled cell
// reads Interior.Color 16777215 and Interior.Pattern -4142; setting a colour on an unfilled cell
// makes it solid; the used range is the smallest block holding every cell with a value, comment or
// formatting, grown to rows and columns formatted as a whole; Range.Text follows the cell's number
// format; new shapes are named "Rectangle N", counting up per sheet; columns are 48 and rows 15
// points unless set; a protected sheet refuses changes; the input box returns a range or false.
//
// Tests and front ends control what a user and the machine would: the clock, what happens at each
// yield to the message loop, the answers of input boxes; they read back the message boxes, the
// status bar and how often the message loop ran. Single-threaded, like the real host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/application.h"
#include "memhost/model.h"

namespace quorvane::memhost {

class MemHost;
class MemWorkbook;

// The description of the error a protected sheet raises for every change.
inline constexpr const char* kProtectedSheet =
    "The cell or chart you're trying to change is on a protected sheet.";

class MemWorksheet : public host::Worksheet {
 public:
  MemWorksheet(MemHost& host, MemWorkbook& book, SheetData& data);

  SheetData& data() { return data_; }
  const SheetData& data() const { return data_; }

  // Set-up for tests and loaders (not host calls, not counted).
  void Put(int row, int column, host::Value value, std::string number_format = "General");
  void PutFill(int row, int column, int color, int pattern);
  void PutComment(int row, int column, std::string text, bool visible = false);
  // A threaded comment, as a user of a host that has them adds it (with no note of the add-in's).
  void PutThreadedComment(int row, int column);
  // Formatting that the add-in neither reads nor changes, such as a border: on one cell, on a
  // whole row or on a whole column.
  void PutFormat(int row, int column);
  void FormatRow(int row) { data_.row_styles.emplace(row, -1); }
  void FormatColumn(int column) { data_.column_styles.emplace(column, -1); }
  void HideRow(int row, bool hidden = true);
  void Protect(bool on = true) { data_.is_protected = on; }
  // A range of this sheet from a reference such as "A2:A40" (raises a HostError if malformed).
  host::Range Ref(const std::string& reference);

  // host::Worksheet
  std::string Name() override;
  host::Workbook& Parent() override;
  void Select() override;
  void SelectCells(const host::Area& area) override;
  host::Range UsedRange() override;
  host::Value CellValue(int row, int column) override;
  std::string CellText(int row, int column) override;
  std::vector<host::Value> BlockValues(const host::Area& area) override;
  std::vector<std::string> BlockTexts(const host::Area& area) override;
  void VisitBlockValues(const host::Area& area,
                        const std::function<void(std::size_t, const host::Value&)>& visit) override;
  void VisitBlockTexts(const host::Area& area,
                       const std::function<void(std::size_t, std::string_view)>& visit) override;
  void VisitBlockInteriorColors(const host::Area& area,
                                const std::function<void(std::size_t, double)>& visit) override;
  void VisitBlockInteriorPatterns(const host::Area& area,
                                  const std::function<void(std::size_t, double)>& visit) override;
  std::vector<double> BlockInteriorColors(const host::Area& area) override;
  std::vector<double> BlockInteriorPatterns(const host::Area& area) override;
  std::vector<char> RowsHidden(int top, int bottom) override;
  bool RowHidden(int row) override;
  double InteriorColor(int row, int column) override;
  double InteriorPattern(int row, int column) override;
  void SetInteriorColor(int row, int column, const host::Value& color) override;
  void SetInteriorPattern(int row, int column, const host::Value& pattern) override;
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
  void CheckWritable();
  MemHost& host_;
  MemWorkbook& book_;
  SheetData& data_;
};

class MemWorkbook : public host::Workbook {
 public:
  MemWorkbook(MemHost& host, std::string name);

  WorkbookData& data() { return data_; }
  MemWorksheet& AddSheet(const std::string& name);
  MemWorksheet* FindSheet(const std::string& name);  // exact name, or nothing
  std::vector<MemWorksheet*> sheets();

  // host::Workbook
  std::string Name() override;
  void Activate() override;
  host::Worksheet& Worksheets(const std::string& name) override;
  void FollowHyperlink(const std::string& address) override;

 private:
  friend class MemHost;
  friend class MemWorksheet;
  MemHost& host_;
  WorkbookData data_;
  std::deque<MemWorksheet> sheets_;
  MemWorksheet* active_sheet_ = nullptr;
};

// What the add-in asked with an input box.
struct InputBoxRequest {
  std::string prompt;
  std::string title;
  std::string default_text;
};

class MemHost : public host::Application {
 public:
  MemHost();
  ~MemHost() override;

  // Workbooks. The first one added becomes the active workbook; its first sheet the active sheet.
  MemWorkbook& AddWorkbook(const std::string& name);
  // Adds a workbook that a loader filled (for example from a file).
  MemWorkbook& AddWorkbook(WorkbookData data);
  // The workbook Workbooks(name) finds (exact name first, then in any letter case), or nothing;
  // not a host call.
  MemWorkbook* FindWorkbook(const std::string& name);
  std::vector<MemWorkbook*> workbooks();

  // The clock: by default the machine's local time. A fixed time for tests.
  void SetClock(std::function<double()> clock) { clock_ = std::move(clock); }
  void SetTime(double serial);
  // Runs at every DoEvents, as the host's message loop would run the user's clicks.
  void SetYieldHook(std::function<void()> hook) { yield_hook_ = std::move(hook); }
  // Answers the next input boxes: each request is passed to the handler, which returns the range
  // the user picks or no value for Cancel. Without a handler every input box is cancelled.
  void SetInputBoxHandler(std::function<std::optional<host::Range>(const InputBoxRequest&)> h) {
    input_box_handler_ = std::move(h);
  }
  // Runs at every message box (after it is recorded).
  void SetMessageHook(std::function<void(const std::string&)> hook) {
    message_hook_ = std::move(hook);
  }
  void SetSelection(host::Range selection) { selection_ = selection; }
  // Whether the host pretends to draw on a screen (then a comparison animates its first seconds).
  void SetHasScreen(bool on) { has_screen_ = on; }
  // Whether the host has threaded comments (as Excel 2019 and Microsoft 365 do); an older one
  // raises at Range.CommentThreaded.
  void SetThreadedComments(bool on) { threaded_comments_ = on; }
  bool threaded_comments() const { return threaded_comments_; }
  // Reads and writes numbers, dates and timestamps in this locale (en-US by default). The
  // conversions must outlive the host.
  void SetConversions(const host::Conversions& conversions) { conversions_ = &conversions; }
  // Makes FollowHyperlink fail with this description (empty: succeed).
  void SetHyperlinkFailure(std::string description) { hyperlink_failure_ = std::move(description); }

  // What the user saw.
  const std::vector<std::string>& messages() const { return messages_; }
  const std::vector<host::MessageIcon>& message_icons() const { return message_icons_; }
  const std::vector<InputBoxRequest>& input_boxes() const { return input_boxes_; }
  // The status bar text, or no value while the host shows its own.
  const std::optional<std::string>& status_bar() const { return status_bar_; }
  // Every change of the status bar in order: a text, or no value for a hand-back.
  const std::vector<std::optional<std::string>>& status_bar_history() const {
    return status_bar_history_;
  }
  const std::vector<std::string>& followed_links() const { return followed_links_; }
  // How often the host's message loop was let run.
  std::uint64_t yields() const { return yields_; }

  // host::Application
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
  bool HasScreen() override;
  const host::Conversions& GetConversions() const override { return *conversions_; }

 private:
  friend class MemWorkbook;
  friend class MemWorksheet;
  std::deque<MemWorkbook> books_;
  MemWorkbook* active_book_ = nullptr;
  std::function<double()> clock_;
  std::function<void()> yield_hook_;
  std::function<std::optional<host::Range>(const InputBoxRequest&)> input_box_handler_;
  std::function<void(const std::string&)> message_hook_;
  host::Range selection_;
  const host::Conversions* conversions_ = &host::EnUsConversions();
  bool has_screen_ = false;
  bool threaded_comments_ = true;
  std::string hyperlink_failure_;
  std::vector<std::string> messages_;
  std::vector<host::MessageIcon> message_icons_;
  std::vector<InputBoxRequest> input_boxes_;
  std::optional<std::string> status_bar_;
  std::vector<std::optional<std::string>> status_bar_history_;
  std::uint64_t next_shape_serial_ = 1;
  std::vector<std::string> followed_links_;
  std::uint64_t yields_ = 0;
};

}  // namespace quorvane::memhost
