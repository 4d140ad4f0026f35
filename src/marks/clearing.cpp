#include "marks/clearing.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "host/error.h"
#include "host/value.h"
#include "host/worksheet.h"
#include "marks/marks.h"
#include "marks/rectangles.h"

namespace quorvane::marks {
namespace {

// What the host reports when a piece of text is cut with an impossible length.
constexpr const char* kInvalidCall = "Invalid procedure call or argument";

// Sets the fill recorded in the memo that `memo` begins with: each setting in the order written, so
// that the pattern, written last, decides whether the cell ends up filled at all. A memo that
// cannot be read fails as the host fails on it, after the settings before its fault.
void RestoreFill(const host::Range& cell, std::string_view memo) {
  const ParsedMemo parsed = ParseMemo(memo);
  if (parsed.fault == ParsedMemo::Fault::kUnclosed) throw host::HostError(kInvalidCall);
  for (const MemoSetting& setting : parsed.settings) {
    // The value goes to the host as text; the host converts it or refuses it.
    const host::Value value = host::Value::Text(setting.value);
    if (setting.key == MemoSetting::Key::kColor) {
      cell.SetInteriorColor(value);
    } else {
      cell.SetInteriorPattern(value);
    }
  }
  if (parsed.fault != ParsedMemo::Fault::kNone) {
    throw host::HostError(host::kSubscriptOutOfRange);
  }
}

}  // namespace

void MarkEraser::ClearRange(const host::Range& working) {
  const bool first = first_;
  first_ = false;
  // A working range of nothing (the range lies outside the used area) fails here.
  const std::int64_t count = working.CellsCount();
  if (count > 0) RemoveCommentShapes(working, "");
  const bool record = working.AreaCount() != 1 || (!first && !first_block_);
  // A single block's values are read at once, in the order of its cells; restoring changes comments
  // and fills only, never a value. Other ranges are read cell by cell.
  std::vector<char> filled;  // whether each cell of the block holds a value
  if (count > 0 && working.AreaCount() == 1) {
    filled.assign(static_cast<std::size_t>(count), 0);
    working.Parent().VisitBlockValues(
        working.FirstArea(), [&filled](std::size_t i, const host::Value&) { filled[i] = 1; });
  }
  for (std::int64_t i = 1; i <= count; ++i) {
    const host::Range cell = working.Item(i);
    const host::Area& at = cell.FirstArea();
    if (!first && first_block_ && &first_block_->Parent() == &cell.Parent() &&
        first_block_->FirstArea().Contains(at.top, at.left)) {
      continue;
    }
    if (record && !restored_.emplace(&cell.Parent(), at.top, at.left).second) continue;
    const bool empty =
        filled.empty() ? cell.GetValue().is_empty() : filled[static_cast<std::size_t>(i - 1)] == 0;
    if (!empty) RestoreCellFormat(cell);
  }
  if (first && working.AreaCount() == 1) first_block_ = working;
}

void RestoreCellFormat(const host::Range& cell) {
  if (!cell.HasComment()) return;
  const std::string text = cell.CommentText();
  const AddinText addin = FindAddinText(text);
  // Nothing of the add-in's: the comment is the user's alone and stays as it is.
  if (addin.begin == AddinText::kNone) return;

  // A memo left open fails here, before anything is cut.
  if (addin.memo != AddinText::kNone) {
    RestoreFill(cell, std::string_view(text).substr(addin.memo));
  }

  const std::string rest = CutBlocks(text, addin);
  if (rest.empty()) {
    cell.ClearComments();
  } else {
    cell.SetCommentText(rest);
  }
}

}  // namespace quorvane::marks
