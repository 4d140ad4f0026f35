#include "engine/marking.h"

#include <string>

#include "analysis/shapes.h"
#include "host/conversions.h"
#include "host/error.h"
#include "host/value.h"

namespace quorvane::engine {

namespace {

std::string ResultBlock(host::Application& app, const host::Range& cell, std::int64_t count_here,
                        std::int64_t count_there) {
  const std::string suffix = count_here == 1 ? "." : "'s.";
  return "<<< " + host::FormatTimestamp(app.Now()) + ":\n" + "This list has " +
         std::to_string(count_here) + " " + host::ToText(cell.GetValue()) + suffix + "\n" +
         "Other list has " + std::to_string(count_there) + ".\n" + ">>>";
}

}  // namespace

std::string FormatMemo(double color, double pattern) {
  return "\n\n<<<zvk_color=" + host::ToText(host::Value::Number(color)) +
         ",zvk_pattern=" + host::ToText(host::Value::Number(pattern)) + ">>>";
}

void MarkMismatch(AddinState& state, const host::Range& cell, const std::string& tag,
                  std::int64_t count_here, std::int64_t count_there) {
  host::Application& app = state.app();
  const std::string block = ResultBlock(app, cell, count_here, count_there);
  // The memo records the fill from before anything of the marking changes it.
  const std::string memo = FormatMemo(cell.InteriorColor(), cell.InteriorPattern());

  analysis::AddCommentShape(cell, tag,
                            std::to_string(count_here) + "," + std::to_string(count_there));

  if (!cell.HasComment()) {
    cell.AddComment();
    try {
      cell.SetCommentText(block + memo);
    } catch (...) {
      // An empty comment holds no block, so no clearing would ever remove it.
      try {
        cell.ClearComments();
      } catch (const host::HostError&) {
      }
      throw;
    }
  } else {
    std::string rest = cell.CommentText();
    // A comment keeps the one memo of its first marking.
    if (rest.find(kMemoKey) == std::string::npos) rest = memo + rest;
    cell.SetCommentText(block + "\n" + rest);
  }
  cell.SetCommentVisible(state.options.bHideComments == kFalse);

  cell.SetInteriorColor(host::Value::Number(count_here < count_there ? kFewerColor : kMoreColor));
  cell.SetInteriorPattern(host::Value::Number(host::kPatternSolid));
}

}  // namespace quorvane::engine
