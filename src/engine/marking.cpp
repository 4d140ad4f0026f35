#include "engine/marking.h"

#include <string>
#include <string_view>

#include "analysis/shapes.h"
#include "host/conversions.h"
#include "host/error.h"
#include "host/locale.h"
#include "host/range.h"
#include "host/value.h"

namespace quorvane::engine {

namespace {

std::string ResultBlock(host::Application& app, const host::Range& cell, std::int64_t count_here,
                        std::int64_t count_there) {
  const std::string suffix = count_here == 1 ? "." : "'s.";
  const host::Conversions& conversions = app.GetConversions();
  return "<<< " + conversions.FormatTimestamp(app.Now()) + ":\n" + "This list has " +
         std::to_string(count_here) + " " + conversions.ToText(cell.GetValue()) + suffix + "\n" +
         "Other list has " + std::to_string(count_there) + ".\n" + ">>>";
}

constexpr std::string_view kBlockOpen = "<<< ";
constexpr std::string_view kBlockClose = "\n>>>";
constexpr std::string_view kMemoOpen = "<<<zvk_color=";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The position after a run of `min` to `max` digits at `at`; kNone when there is no such run.
std::size_t SkipDigits(std::string_view text, std::size_t at, std::size_t min, std::size_t max) {
  std::size_t n = 0;
  while (at + n < text.size() && n < max && IsDigit(text[at + n])) ++n;
  return n >= min && !(at + n < text.size() && IsDigit(text[at + n])) ? at + n : AddinText::kNone;
}

// The position after a separator at `at`: one to four bytes (a locale's separator may be a
// character of several bytes, or a full stop and a blank) that are neither digits nor line feeds.
std::size_t SkipSeparator(std::string_view text, std::size_t at) {
  std::size_t n = 0;
  while (at + n < text.size() && n < 4 && !IsDigit(text[at + n]) && text[at + n] != '\n') ++n;
  return n > 0 ? at + n : AddinText::kNone;
}

// The position after a block's first line "<<< m/d hh:mm:ss:" and its line feed at `at`; kNone
// when no such line begins there.
std::size_t SkipBlockHeader(std::string_view text, std::size_t at) {
  if (text.substr(at, kBlockOpen.size()) != kBlockOpen) return AddinText::kNone;
  std::size_t p = at + kBlockOpen.size();
  const auto step = [&](std::size_t next) { return p = next, p != AddinText::kNone; };
  if (!step(SkipDigits(text, p, 1, 2)) || !step(SkipSeparator(text, p)) ||
      !step(SkipDigits(text, p, 1, 2))) {
    return AddinText::kNone;
  }
  if (text.substr(p, 1) != " ") return AddinText::kNone;
  ++p;
  if (!step(SkipDigits(text, p, 2, 2)) || !step(SkipSeparator(text, p)) ||
      !step(SkipDigits(text, p, 2, 2)) || !step(SkipSeparator(text, p)) ||
      !step(SkipDigits(text, p, 2, 2))) {
    return AddinText::kNone;
  }
  return text.substr(p, 2) == ":\n" ? p + 2 : AddinText::kNone;
}

// Where the memo begins when it follows a block that ended at `at` (after two line feeds, or three
// when the block went in front of a comment that began with the memo); kNone when it does not.
std::size_t MemoAfterBlock(std::string_view text, std::size_t at) {
  for (const std::size_t feeds : {std::size_t{2}, std::size_t{3}}) {
    if (text.substr(at, feeds) == std::string(feeds, '\n') &&
        text.substr(at + feeds, kMemoOpen.size()) == kMemoOpen) {
      return at + feeds;
    }
  }
  return AddinText::kNone;
}

bool NextBlockAt(std::string_view text, std::size_t at) {
  return text.substr(at, 1) == "\n" && SkipBlockHeader(text, at + 1) != AddinText::kNone;
}

// The end of the block whose body begins at `body`: its line feed and ">>>" that the next block or
// the memo follows. A value's text may itself hold a line feed and ">>>", so the first such closing
// is taken only when no later one is followed by what the add-in writes after a block.
std::size_t BlockEnd(std::string_view text, std::size_t body) {
  const std::size_t first = text.find(kBlockClose, body);
  for (std::size_t close = first; close != std::string_view::npos;
       close = text.find(kBlockClose, close + 1)) {
    const std::size_t after = close + kBlockClose.size();
    if (NextBlockAt(text, after) || MemoAfterBlock(text, after) != AddinText::kNone) {
      return after;
    }
  }
  return first == std::string_view::npos ? first : first + kBlockClose.size();
}

}  // namespace

AddinText FindAddinText(std::string_view comment) {
  AddinText found;
  // The first block: a block's first line whose closing follows somewhere after it.
  const std::size_t last_close = comment.rfind(kBlockClose);
  std::size_t body = AddinText::kNone;
  for (std::size_t at = comment.find(kBlockOpen); at != std::string_view::npos;
       at = comment.find(kBlockOpen, at + 1)) {
    body = SkipBlockHeader(comment, at);
    if (body != AddinText::kNone && last_close != std::string_view::npos && last_close >= body) {
      found.begin = at;
      break;
    }
  }
  if (found.begin == AddinText::kNone) return found;
  found.end = BlockEnd(comment, body);  // the first block closes: its closing was found above
  for (;;) {
    if (NextBlockAt(comment, found.end)) {
      // A further block that never closes is the user's text, not the add-in's.
      const std::size_t end = BlockEnd(comment, SkipBlockHeader(comment, found.end + 1));
      if (end != std::string_view::npos) {
        found.end = end;
        continue;
      }
    }
    found.memo = MemoAfterBlock(comment, found.end);
    if (found.memo != AddinText::kNone) {
      const std::size_t close = comment.find(">>>", found.memo + kMemoOpen.size());
      found.end = close == std::string_view::npos ? AddinText::kNone : close + 3;
    }
    return found;
  }
}

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

  cell.SetInteriorColor(host::Value::Number(count_here < count_there ? kFewerColor : kMoreColor));
  cell.SetInteriorPattern(host::Value::Number(host::kPatternSolid));
}

}  // namespace quorvane::engine
