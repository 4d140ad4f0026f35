#include "engine/marking.h"

#include <string>

#include "analysis/shapes.h"
#include "host/conversions.h"
#include "host/error.h"
#include "host/locale.h"
#include "host/range.h"
#include "host/value.h"
#include "marks/marks.h"

namespace quorvane::engine {

void MarkMismatch(Run& state, const host::Range& cell, const std::string& tag,
                  std::int64_t count_here, std::int64_t count_there) {
  host::Application& app = state.app();
  const host::Conversions& conversions = app.GetConversions();
  // The time first, then the value: the host is asked in this order.
  const std::string timestamp = marks::BlockTimestamp(conversions, app.Now());
  const std::string block = marks::Block(
      timestamp, marks::ResultBody(count_here, conversions.ToText(cell.GetValue()), count_there));
  // The memo records the fill from before anything of the marking changes it.
  const std::string memo = marks::FormatMemo(cell.InteriorColor(), cell.InteriorPattern());

  analysis::AddCommentShape(cell, tag, marks::RectangleText(count_here, count_there));

  const bool had_comment = cell.HasComment();
  std::string text = block + memo;
  bool memo_kept = false;
  if (had_comment) {
    std::string rest = cell.CommentText();
    // A comment keeps the one memo of its first marking: the memo of the add-in's text that the
    // comment begins with. A memo anywhere else is the user's text.
    const marks::AddinText addin = marks::FindAddinText(rest);
    memo_kept = addin.begin == 0 && addin.memo != marks::AddinText::kNone;
    text = block + "\n" + (memo_kept ? rest : memo + rest);
  }
  if (host::HostLength(text) > host::kMaxCommentLength) {
    // The block would take the comment past the host's limit: it is left out. Without a memo
    // already in the comment nothing could give the fill back, so the cell keeps its fill too.
    if (!memo_kept) return;
  } else if (!had_comment) {
    cell.AddComment();
    try {
      cell.SetCommentText(text);
    } catch (...) {
      // An empty comment holds no block, so no clearing would ever remove it.
      try {
        cell.ClearComments();
      } catch (const host::HostError&) {
      }
      throw;
    }
  } else {
    cell.SetCommentText(text);
  }
  cell.SetCommentVisible(state.options.bHideComments == kFalse);

  cell.SetInteriorColor(host::Value::Number(marks::MismatchColor(count_here, count_there)));
  cell.SetInteriorPattern(host::Value::Number(marks::kMarkedPattern));
}

}  // namespace quorvane::engine
