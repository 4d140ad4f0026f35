#include "analysis/clearing.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>

#include "analysis/resolve.h"
#include "analysis/shapes.h"
#include "host/error.h"
#include "host/value.h"
#include "host/worksheet.h"
#include "marks/marks.h"

namespace quorvane::analysis {
namespace {

// What the host reports when a piece of text is cut with an impossible length.
constexpr const char* kInvalidCall = "Invalid procedure call or argument";

// Sets the fill recorded in the memo that `memo` begins with: each setting in the order written, so
// that the pattern, written last, decides whether the cell ends up filled at all. A memo that
// cannot be read fails as the host fails on it, after the settings before its fault.
void RestoreFill(const host::Range& cell, std::string_view memo) {
  const marks::ParsedMemo parsed = marks::ParseMemo(memo);
  if (parsed.fault == marks::ParsedMemo::Fault::kUnclosed) throw host::HostError(kInvalidCall);
  for (const marks::MemoSetting& setting : parsed.settings) {
    // The value goes to the host as text; the host converts it or refuses it.
    const host::Value value = host::Value::Text(setting.value);
    if (setting.key == marks::MemoSetting::Key::kColor) {
      cell.SetInteriorColor(value);
    } else {
      cell.SetInteriorPattern(value);
    }
  }
  if (parsed.fault != marks::ParsedMemo::Fault::kNone) {
    throw host::HostError(host::kSubscriptOutOfRange);
  }
}

}  // namespace

bool Clearformats(engine::Run& state, const host::Range& range1, const host::Range& range2) {
  engine::ResetCounters(state);
  // A cell in both ranges is restored once: after its first restoring its comment is the user's.
  // A single block has no cell twice, and a cell of the second range that the first range's
  // single block holds was restored with it; the cells of ranges of several areas are recorded.
  std::set<std::tuple<const host::Worksheet*, int, int>> restored;
  std::optional<host::Range> first_block;  // the first range, when a single block
  try {
    for (const bool first : {true, false}) {
      const host::Range working = ResolveRange(state.app(), first ? range1 : range2);
      // A working range of nothing (the range lies outside the used area) fails here.
      const std::int64_t count = working.CellsCount();
      if (count > 0) RemoveCommentShapes(working, "");
      const bool record = working.AreaCount() != 1 || (!first && !first_block);
      for (std::int64_t i = 1; i <= count; ++i) {
        const host::Range cell = working.Item(i);
        const host::Area& at = cell.FirstArea();
        if (!first && first_block && &first_block->Parent() == &cell.Parent() &&
            first_block->FirstArea().Contains(at.top, at.left)) {
          continue;
        }
        if (record && !restored.emplace(&cell.Parent(), at.top, at.left).second) continue;
        if (!cell.GetValue().is_empty()) RestoreCellFormat(cell);
      }
      if (first && working.AreaCount() == 1) first_block = working;
    }
  } catch (const host::HostError&) {
    state.app().MsgBox(kClearFailedMessage);
    return false;
  }
  return true;
}

void RestoreCellFormat(const host::Range& cell) {
  if (!cell.HasComment()) return;
  const std::string text = cell.CommentText();
  const marks::AddinText addin = marks::FindAddinText(text);
  // Nothing of the add-in's: the comment is the user's alone and stays as it is.
  if (addin.begin == marks::AddinText::kNone) return;

  // A memo left open fails here, before anything is cut.
  if (addin.memo != marks::AddinText::kNone) {
    RestoreFill(cell, std::string_view(text).substr(addin.memo));
  }

  const std::string rest = marks::CutBlocks(text, addin);
  if (rest.empty()) {
    cell.ClearComments();
  } else {
    cell.SetCommentText(rest);
  }
}

}  // namespace quorvane::analysis
