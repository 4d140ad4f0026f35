#include "host/wrapper.h"

#include <iterator>
#include <utility>

namespace quorvane::host {

const char* CallName(Call call) {
  // clang-format off
  static constexpr const char* kNames[] = {
      "Workbooks", "Worksheets", "ActiveWorkbook", "ActiveSheet", "Selection", "Range", "StatusBar",
      "InputBox", "MsgBox", "CountA", "IsError", "IsText", "IsLogical", "Intersect", "Now",
      "DoEvents", "Workbook.Name", "Workbook.Activate", "FollowHyperlink", "Worksheet.Name",
      "Worksheet.Parent", "Worksheet.Select", "Range.Select", "UsedRange", "Value", "Text",
      "EntireRow.Hidden", "Interior.Color", "Interior.Pattern", "Interior.Color=",
      "Interior.Pattern=", "Comment", "AddComment", "Comment.Text", "Comment.Text=",
      "Comment.Visible=", "ClearComments", "Left", "Top", "Width", "Shapes.Count", "Shapes.Item",
      "Shapes.AddShape", "CommentThreaded", "Shape.Name", "Shape.Name=", "Shape.Delete", "Shape format",
      "Value (block)", "Text (block)", "Interior.Color (block)", "Interior.Pattern (block)",
      "EntireRow.Hidden (rows)", "HasScreen"
  };
  // clang-format on
  static_assert(std::size(kNames) == static_cast<std::size_t>(Call::kCount));
  const int index = static_cast<int>(call);
  if (index < 0 || index >= static_cast<int>(Call::kCount)) return "?";
  return kNames[index];
}

// --- ApplicationWrapper ---

ApplicationWrapper::ApplicationWrapper(Application& target) : target_(target) {}

ApplicationWrapper::~ApplicationWrapper() = default;

Worksheet& ApplicationWrapper::Wrap(Worksheet& sheet) {
  if (auto* own = dynamic_cast<WorksheetWrapper*>(&sheet); own != nullptr && &own->app() == this) {
    return sheet;
  }
  std::unique_ptr<WorksheetWrapper>& slot = sheets_[&sheet];
  if (!slot) slot = NewWorksheetWrapper(sheet);
  return *slot;
}

Workbook& ApplicationWrapper::Wrap(Workbook& book) {
  if (auto* own = dynamic_cast<WorkbookWrapper*>(&book); own != nullptr && &own->app() == this) {
    return book;
  }
  std::unique_ptr<WorkbookWrapper>& slot = books_[&book];
  if (!slot) slot = NewWorkbookWrapper(book);
  return *slot;
}

Range ApplicationWrapper::Wrap(const Range& range) {
  if (!range) return range;
  return Range(&Wrap(range.Parent()), range.Areas());
}

std::unique_ptr<Shape> ApplicationWrapper::Wrap(std::unique_ptr<Shape> shape) {
  return NewShapeWrapper(std::move(shape));
}

Range ApplicationWrapper::Unwrap(const Range& range) const {
  if (!range) return range;
  auto* own = dynamic_cast<WorksheetWrapper*>(&range.Parent());
  if (own == nullptr || &own->app() != this) return range;
  return Range(&own->target(), range.Areas());
}

std::unique_ptr<WorksheetWrapper> ApplicationWrapper::NewWorksheetWrapper(Worksheet& target) {
  return std::make_unique<WorksheetWrapper>(*this, target);
}

std::unique_ptr<WorkbookWrapper> ApplicationWrapper::NewWorkbookWrapper(Workbook& target) {
  return std::make_unique<WorkbookWrapper>(*this, target);
}

std::unique_ptr<Shape> ApplicationWrapper::NewShapeWrapper(std::unique_ptr<Shape> target) {
  return std::make_unique<ShapeWrapper>(*this, std::move(target));
}

std::optional<Range> ApplicationWrapper::InputBox(const std::string& prompt,
                                                  const std::string& title,
                                                  const std::string& default_text) {
  std::optional<Range> answer = Pass(Call::kInputBox).InputBox(prompt, title, default_text);
  if (answer) answer = Wrap(*answer);
  return answer;
}

}  // namespace quorvane::host
