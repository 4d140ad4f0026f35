// The marks the add-in leaves on a compared cell, and how they read back.
//
// A marked cell carries a fill (one colour per direction of the mismatch, solid until the diagnosis
// shades it), a comment with the add-in's blocks in front of the user's own text and, after the
// blocks of the first marking, a memo of the fill the cell had before, and a small rectangle whose
// name begins "CmtNum" + the pass's tag. Everything here builds those marks or finds them again;
// drawing, writing and restoring them is left to the engine and the analysis, which go through the
// host.
//
// A comment's add-in text is a run of blocks, each beginning "<<< " + a timestamp "m/d hh:mm:ss"
// (digits with the separators of the locale it was written under) + ":" + a line feed and ending
// with a line feed + ">>>", one per line, and after them the memo. Everything else, markers
// included, is the user's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/locale.h"
#include "host/worksheet.h"

namespace quorvane::marks {

// The fills of a mismatched cell.
inline constexpr int kFewerColor = 11120637;  // light red: this list holds the value fewer times
inline constexpr int kMoreColor = 6745634;    // green: this list holds it more times
inline constexpr int kMarkedPattern = host::kPatternSolid;
inline constexpr int kDiagnosedPattern = host::kPatternGray16;  // one of a diagnosed pair

// The fill of a cell this list holds `count_here` times and the other list `count_there` times.
int MismatchColor(std::int64_t count_here, std::int64_t count_there);
// Whether a fill is one the marking or the diagnosis gave: a mismatch colour, solid or shaded.
bool IsMismatchFill(double color, double pattern);

// The timestamp that opens a block: the host's "m/d hh:mm:ss" with its locale's separators.
std::string BlockTimestamp(const host::Conversions& conversions, double now);
// A block of the add-in: "<<< " + timestamp + ":" + line feed + body + line feed + ">>>".
std::string Block(std::string_view timestamp, std::string_view body);
// The body of the marking's block: how often each list holds the value, given as its text.
std::string ResultBody(std::int64_t count_here, std::string_view value_text,
                       std::int64_t count_there);
// The bodies of the diagnosis's blocks, written into both cells of a pair.
std::string RoundingBody(std::string_view address_a, std::string_view address_b);
std::string TransposeBody(std::string_view text_a, std::string_view text_b);
std::string YearBody(std::string_view text_a, std::string_view text_b);
// The bodies of the blocks that explain more of the mismatches, written into every cell of a
// finding: a sign error and a total split or merged name the cells by address, a decimal slide
// names the two values by their texts (a transposition in the amount reads as TransposeBody).
std::string SignBody(std::string_view address_a, std::string_view address_b);
std::string SlideBody(std::string_view text_a, std::string_view text_b);
// "Possible Split: $A$9 of Range 1 equals $B$3 + $B$17 of Range 2" (a total of Range 1 split into
// parts of Range 2); a merge is a total of Range 2 merged from parts of Range 1.
std::string SplitBody(std::string_view total, const std::vector<std::string>& parts);
std::string MergeBody(std::string_view total, const std::vector<std::string>& parts);

// The memo of a cell's previous fill: two line feeds, then "<<<zvk_color=C,zvk_pattern=P>>>".
inline constexpr std::string_view kColorKey = "zvk_color";
inline constexpr std::string_view kPatternKey = "zvk_pattern";
std::string FormatMemo(double color, double pattern);

// One "key=value" piece of a memo that names the colour or the pattern; the value stays text, for
// the host to convert or refuse.
struct MemoSetting {
  enum class Key { kColor, kPattern };
  Key key;
  std::string value;
};
// What a memo reads as: its settings in the order written, up to the first piece that cannot be
// read. Pieces with other keys are passed over.
struct ParsedMemo {
  enum class Fault {
    kNone,
    kUnclosed,    // no ">>>" after the memo's "<<<": nothing of it is read
    kEmptyPiece,  // a piece with no key at all
    kNoValue,     // a colour or pattern key without "="
  };
  std::vector<MemoSetting> settings;
  Fault fault = Fault::kNone;
};
// Reads the memo that `text` begins with ("<<<zvk_color=..." up to its ">>>"); keys are matched
// without regard to ASCII case.
ParsedMemo ParseMemo(std::string_view text);

// Where the add-in's own text stands in a comment.
struct AddinText {
  static constexpr std::size_t kNone = std::string_view::npos;
  std::size_t begin = kNone;  // where the first block begins; kNone: the comment holds none
  std::size_t end = kNone;    // just after the last block or the memo; kNone: a memo left open
  std::size_t memo = kNone;   // where the memo's "<<<zvk_color=" begins; kNone: no memo
};
AddinText FindAddinText(std::string_view comment);
// The comment with the add-in's text cut out and the user's text around it kept as it was; a
// comment without the add-in's text comes back whole, and a memo left open is cut to the end.
std::string CutBlocks(std::string_view comment);
// The same, with the add-in's text as FindAddinText found it in this comment.
std::string CutBlocks(std::string_view comment, const AddinText& addin);

// The rectangle beside a marked cell: named "CmtNum" + the pass's tag + the host's own shape name,
// and showing the two counts.
inline constexpr std::string_view kRectanglePrefix = "CmtNum";
std::string RectangleName(std::string_view tag, std::string_view host_name);
// Whether a shape's name is that of a rectangle of the tag (an empty tag: of any tag).
bool IsRectangleOf(std::string_view name, std::string_view tag);
std::string RectangleText(std::int64_t count_here, std::int64_t count_there);

}  // namespace quorvane::marks
