#include "marks/marking.h"

#include <string>
#include <vector>

#include "host/conversions.h"
#include "host/error.h"
#include "host/locale.h"
#include "host/range.h"
#include "host/value.h"
#include "marks/marks.h"
#include "marks/rectangles.h"

namespace quorvane::marks {

bool HoldsThreadedComment(const host::Range& cell) {
  try {
    return cell.HasThreadedComment();
  } catch (const host::HostError&) {
    return false;
  }
}

Marked MarkMismatch(host::Application& app, const host::Range& cell, const std::string& tag,
                    std::int64_t count_here, std::int64_t count_there, bool show_comment) {
  const host::Conversions& conversions = app.GetConversions();
  // The time first, then the value: the host is asked in this order.
  const std::string timestamp = BlockTimestamp(conversions, app.Now());
  const std::string block =
      Block(timestamp, ResultBody(count_here, conversions.ToText(cell.GetValue()), count_there));
  // The memo records the fill from before anything of the marking changes it: the pattern is
  // asked for before the colour, in that order whatever the compiler's order of arguments.
  const double pattern = cell.InteriorPattern();
  const double color = cell.InteriorColor();
  const std::string memo = FormatMemo(color, pattern);

  AddCommentShape(cell, tag, RectangleText(count_here, count_there));
  if (HoldsThreadedComment(cell)) return Marked::kByBoxOnly;

  const bool had_comment = cell.HasComment();
  std::string text = block + memo;
  bool memo_kept = false;
  if (had_comment) {
    std::string rest = cell.CommentText();
    // A comment keeps the one memo of its first marking: the memo of the add-in's text that the
    // comment begins with. A memo anywhere else is the user's text.
    const AddinText addin = FindAddinText(rest);
    memo_kept = addin.begin == 0 && addin.memo != AddinText::kNone;
    text = block + "\n" + (memo_kept ? rest : memo + rest);
  }
  if (host::HostLength(text) > host::kMaxCommentLength) {
    // The block would take the comment past the host's limit: it is left out. Without a memo
    // already in the comment nothing could give the fill back, so the cell keeps its fill too.
    if (!memo_kept) return Marked::kFully;
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
  cell.SetCommentVisible(show_comment);

  cell.SetInteriorColor(host::Value::Number(MismatchColor(count_here, count_there)));
  cell.SetInteriorPattern(host::Value::Number(kMarkedPattern));
  return Marked::kFully;
}

Shaded ShadePair(const host::Range& a, const host::Range& b) {
  const Shaded shaded{!HoldsThreadedComment(a), !HoldsThreadedComment(b)};
  if (shaded.a) a.SetInteriorPattern(host::Value::Number(kDiagnosedPattern));
  if (shaded.b) b.SetInteriorPattern(host::Value::Number(kDiagnosedPattern));
  if (shaded.a && !a.HasComment()) a.AddComment();
  if (shaded.b && !b.HasComment()) b.AddComment();
  return shaded;
}

void ShadeCells(const std::vector<host::Range>& cells) {
  for (const host::Range& cell : cells)
    cell.SetInteriorPattern(host::Value::Number(kDiagnosedPattern));
  for (const host::Range& cell : cells) {
    if (!cell.HasComment()) cell.AddComment();
  }
}

void PrependBlock(const host::Range& cell, const std::string& block) {
  const std::string old = cell.CommentText();
  const std::string text = old.empty() ? block : block + "\n" + old;
  if (host::HostLength(text) <= host::kMaxCommentLength) cell.SetCommentText(text);
}

}  // namespace quorvane::marks
