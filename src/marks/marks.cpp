#include "marks/marks.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "host/ascii.h"
#include "host/conversions.h"
#include "host/locale.h"
#include "host/value.h"

namespace quorvane::marks {

int MismatchColor(std::int64_t count_here, std::int64_t count_there) {
  return count_here < count_there ? kFewerColor : kMoreColor;
}

bool IsMismatchFill(double color, double pattern) {
  return (color == kMoreColor || color == kFewerColor) &&
         (pattern == kMarkedPattern || pattern == kDiagnosedPattern);
}

std::string BlockTimestamp(const host::Conversions& conversions, double now) {
  return conversions.FormatTimestamp(now);
}

namespace {

constexpr std::string_view kBlockOpen = "<<< ";
constexpr std::string_view kBlockClose = "\n>>>";
constexpr std::string_view kMemoOpen = "<<<zvk_color=";
constexpr std::string_view kMemoClose = ">>>";

}  // namespace

std::string Block(std::string_view timestamp, std::string_view body) {
  std::string block(kBlockOpen);
  block.append(timestamp).append(":\n").append(body).append(kBlockClose);
  return block;
}

std::string ResultBody(std::int64_t count_here, std::string_view value_text,
                       std::int64_t count_there) {
  return "This list has " + std::to_string(count_here) + " " + std::string(value_text) +
         (count_here == 1 ? "." : "'s.") + "\nOther list has " + std::to_string(count_there) + ".";
}

std::string RoundingBody(std::string_view address_a, std::string_view address_b) {
  return "Rounding Error " + std::string(address_a) + " and " + std::string(address_b) +
         " for Range 1 and 2, respectively.  Try Options tab to force rounding to 2 digits.";
}

std::string TransposeBody(std::string_view text_a, std::string_view text_b) {
  return "Possible Transpose " + std::string(text_a) + " and " + std::string(text_b);
}

std::string YearBody(std::string_view text_a, std::string_view text_b) {
  return "Possible Year Error " + std::string(text_a) + " and " + std::string(text_b);
}

std::string SignBody(std::string_view address_a, std::string_view address_b) {
  return "Possible Sign Error " + std::string(address_a) + " and " + std::string(address_b) +
         " for Range 1 and 2, respectively.";
}

std::string SlideBody(std::string_view text_a, std::string_view text_b) {
  return "Possible Decimal Slide " + std::string(text_a) + " and " + std::string(text_b);
}

namespace {

std::string TotalBody(std::string_view kind, std::string_view total, int total_range,
                      const std::vector<std::string>& parts) {
  std::string body = "Possible " + std::string(kind) + ": " + std::string(total) + " of Range " +
                     std::to_string(total_range) + " equals ";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) body += " + ";
    body += parts[i];
  }
  return body + " of Range " + std::to_string(3 - total_range);
}

}  // namespace

std::string SplitBody(std::string_view total, const std::vector<std::string>& parts) {
  return TotalBody("Split", total, 1, parts);
}

std::string MergeBody(std::string_view total, const std::vector<std::string>& parts) {
  return TotalBody("Merge", total, 2, parts);
}

std::string FormatMemo(double color, double pattern) {
  return "\n\n<<<" + std::string(kColorKey) + "=" + host::EnUsConversions().NumberText(color) +
         "," + std::string(kPatternKey) + "=" + host::EnUsConversions().NumberText(pattern) + ">>>";
}

ParsedMemo ParseMemo(std::string_view text) {
  ParsedMemo parsed;
  const std::size_t end = text.find(kMemoClose, 3);
  if (text.substr(0, 3) != "<<<" || end == std::string_view::npos) {
    parsed.fault = ParsedMemo::Fault::kUnclosed;
    return parsed;
  }
  const std::string_view memo = text.substr(3, end - 3);
  // The pieces between commas, an empty memo being one empty piece.
  for (std::size_t start = 0;;) {
    const std::size_t comma = std::min(memo.find(',', start), memo.size());
    const std::string_view piece = memo.substr(start, comma - start);
    if (piece.empty()) {
      parsed.fault = ParsedMemo::Fault::kEmptyPiece;
      return parsed;
    }
    const std::size_t equals = piece.find('=');
    const std::string key = host::AsciiLower(std::string(piece.substr(0, equals)));
    if (key == kColorKey || key == kPatternKey) {
      if (equals == std::string_view::npos) {
        parsed.fault = ParsedMemo::Fault::kNoValue;
        return parsed;
      }
      // The value ends at a further "=", as the memo's own values hold none.
      const std::string_view rest = piece.substr(equals + 1);
      parsed.settings.push_back(
          {key == kColorKey ? MemoSetting::Key::kColor : MemoSetting::Key::kPattern,
           std::string(rest.substr(0, rest.find('=')))});
    }
    if (comma == memo.size()) return parsed;
    start = comma + 1;
  }
}

namespace {

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
      const std::size_t close = comment.find(kMemoClose, found.memo + kMemoOpen.size());
      found.end = close == std::string_view::npos ? AddinText::kNone : close + kMemoClose.size();
    }
    return found;
  }
}

std::string CutBlocks(std::string_view comment) {
  return CutBlocks(comment, FindAddinText(comment));
}

std::string CutBlocks(std::string_view comment, const AddinText& addin) {
  if (addin.begin == AddinText::kNone) return std::string(comment);
  std::string rest(comment.substr(0, addin.begin));
  if (addin.end != AddinText::kNone) rest.append(comment.substr(addin.end));
  return rest;
}

std::string RectangleName(std::string_view tag, std::string_view host_name) {
  std::string name(kRectanglePrefix);
  name.append(tag).append(host_name);
  return name;
}

bool IsRectangleOf(std::string_view name, std::string_view tag) {
  const std::string prefix = RectangleName(tag, "");
  return name.substr(0, prefix.size()) == prefix;
}

std::string RectangleText(std::int64_t count_here, std::int64_t count_there) {
  return std::to_string(count_here) + "," + std::to_string(count_there);
}

}  // namespace quorvane::marks
