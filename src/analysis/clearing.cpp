#include "analysis/clearing.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "analysis/resolve.h"
#include "analysis/shapes.h"
#include "engine/marking.h"
#include "host/ascii.h"
#include "host/error.h"
#include "host/value.h"
#include "host/worksheet.h"

namespace quorvane::analysis {
namespace {

constexpr std::string_view kColorKey = "zvk_color";
constexpr std::string_view kPatternKey = "zvk_pattern";
constexpr std::string_view kCloseMarker = ">>>";

// What the host reports when a piece of text is cut with an impossible length.
constexpr const char* kInvalidCall = "Invalid procedure call or argument";

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      parts.emplace_back(text.substr(start));
      return parts;
    }
    parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
}

// Sets the fill recorded in the memo that begins at `start`: each "key=value" piece in the order
// written, so that the pattern, written last, decides whether the cell ends up filled at all.
void RestoreFill(const host::Range& cell, const std::string& text, std::size_t start) {
  const std::size_t end = text.find(kCloseMarker, start);
  if (end == std::string::npos) throw host::HostError(kInvalidCall);
  const std::string_view memo = std::string_view(text).substr(start, end - start);
  for (const std::string& piece : Split(memo, ',')) {
    // An empty piece has no key at all, as a split of nothing gives no parts.
    if (piece.empty()) throw host::HostError(host::kSubscriptOutOfRange);
    const std::vector<std::string> parts = Split(piece, '=');
    const std::string key = host::AsciiLower(parts[0]);
    if (key != kColorKey && key != kPatternKey) continue;
    if (parts.size() < 2) throw host::HostError(host::kSubscriptOutOfRange);
    // The value goes to the host as text; the host converts it or refuses it.
    const host::Value value = host::Value::Text(parts[1]);
    if (key == kColorKey) {
      cell.SetInteriorColor(value);
    } else {
      cell.SetInteriorPattern(value);
    }
  }
}

}  // namespace

void ResetCounts(engine::AddinState& state) {
  for (int i = 0; i < engine::kCounterCount; ++i) {
    if (state.results_form != nullptr) {
      state.results_form->SetCaption(engine::FormLabel(static_cast<engine::Counter>(i)), "0");
    }
  }
  for (int i = 0; i < engine::kCounterCount; ++i) {
    state.counters[static_cast<engine::Counter>(i)] = 0;
  }
}

void Clearformats(engine::AddinState& state, host::Range& range1, host::Range& range2) {
  ResetCounts(state);
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
  }
}

void RestoreCellFormat(const host::Range& cell) {
  if (!cell.HasComment()) return;
  const std::string text = cell.CommentText();
  const engine::AddinText addin = engine::FindAddinText(text);
  // Nothing of the add-in's: the comment is the user's alone and stays as it is.
  if (addin.begin == engine::AddinText::kNone) return;

  // The memo is read from its key on, up to its ">>>" (a memo left open fails here).
  if (addin.memo != engine::AddinText::kNone) RestoreFill(cell, text, addin.memo + 3);

  const std::string rest = text.substr(0, addin.begin) + text.substr(addin.end);
  if (rest.empty()) {
    cell.ClearComments();
  } else {
    cell.SetCommentText(rest);
  }
}

}  // namespace quorvane::analysis
