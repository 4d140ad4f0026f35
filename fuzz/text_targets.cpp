// The fuzz targets over texts: comment blocks and memos, range addresses, numbers and dates, and
// the character signature.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/diagnosis.h"
#include "fuzz/fuzz_targets.h"
#include "host/conversions.h"
#include "host/error.h"
#include "host/locale.h"
#include "host/range.h"
#include "host/reference.h"
#include "marks/clearing.h"
#include "marks/marking.h"
#include "memhost/host.h"
#include "state/state.h"

namespace quorvane::fuzz {

void Require(bool holds, const char* promise) {
  if (holds) return;
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::abort();
}

namespace {

std::string_view Text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The model of the comment that CommentRestore's two markings write, at the host time 45000.5 on a
// cell holding 100 with the fill 65535, solid: the add-in's text as the user reads it.
const std::string kModelBlockA =
    "<<< 3/15 12:00:00:\nThis list has 2 100's.\nOther list has 1.\n>>>";
const std::string kModelBlockB = "<<< 3/15 12:00:00:\nThis list has 1 100.\nOther list has 2.\n>>>";
const std::string kModelMemo = "\n\n<<<zvk_color=65535,zvk_pattern=1>>>";
const std::string kModelDiagnosis = "<<< 1/1 12:00:00:\nPossible Transpose 100 and 010\n>>>";

bool Fits(const std::string& comment) {
  return host::HostLength(comment) <= host::kMaxCommentLength;
}

// Whether a note might itself begin with text of the add-in's form, which its first marking takes
// for an earlier marking's: a block's opening and a closing somewhere after it. The model leaves
// such notes out, and more of them than the marking would take.
bool MayBeginWithAddinText(std::string_view note) {
  return note.substr(0, 4) == "<<< " && note.find("\n>>>") != std::string_view::npos;
}

// The comment after marking the note with tag "A", then with tag "B": each block goes in front,
// the memo of the first marking after its block and before the note. A block that would take the
// comment past the host's limit is left out; no value when the first one is.
std::optional<std::string> MarkedTwice(const std::string& note) {
  const std::string once = kModelBlockA + "\n" + kModelMemo + note;
  if (!Fits(once)) return std::nullopt;
  const std::string twice = kModelBlockB + "\n" + once;
  return Fits(twice) ? twice : once;
}

}  // namespace

void CommentRestore(const std::uint8_t* data, std::size_t size) {
  const std::string text(Text(data, size));
  memhost::MemHost host;
  host.SetTime(45000.5);
  memhost::MemWorksheet& sheet = host.AddWorkbook("Book1.xlsx").AddSheet("Sheet1");
  sheet.Put(1, 1, host::Value::Number(100));
  sheet.PutFill(1, 1, 65535, 1);
  sheet.PutComment(1, 1, text);
  const host::Range cell = sheet.Ref("A1");

  bool failed = false;
  try {
    marks::RestoreCellFormat(cell);
  } catch (const host::HostError&) {
    failed = true;  // a memo the clearing cannot read: it reports its message
  }
  if (!failed) {
    // At most one span is cut, from a block's "<<< " to a ">>>"; the text around it is kept
    // exactly, and a comment without "<<< " is never touched.
    const std::string after = sheet.HasComment(1, 1) ? sheet.CommentText(1, 1) : std::string();
    Require(sheet.HasComment(1, 1) || !text.empty(), "only a comment of blocks alone is deleted");
    if (text.find("<<< ") == std::string::npos) {
      Require(sheet.HasComment(1, 1) && after == text, "a comment without blocks stays whole");
    } else if (after != text) {
      Require(after.size() < text.size(), "the clearing only cuts");
      // The cut span [i, i + cut) lies where the common head and tail of both texts meet.
      const std::size_t cut = text.size() - after.size();
      std::size_t head = 0;
      while (head < after.size() && after[head] == text[head]) ++head;
      std::size_t tail = 0;
      while (tail < after.size() &&
             after[after.size() - 1 - tail] == text[text.size() - 1 - tail]) {
        ++tail;
      }
      bool found = false;
      for (std::size_t i = after.size() - tail; i <= head && !found; ++i) {
        found =
            cut >= 7 && text.compare(i, 4, "<<< ") == 0 && text.compare(i + cut - 3, 3, ">>>") == 0;
      }
      Require(head + tail >= after.size() && found,
              "the clearing cuts one span of blocks and keeps the text around it");
    }
  }

  // Any user text survives markings (a cell in both ranges is marked twice), a diagnosis and the
  // clearing, also one holding markers or the memo's key, and the fill comes back. The marked
  // comment is checked against a model of its own, written here without the marks module.
  if (MayBeginWithAddinText(text)) return;
  sheet.PutComment(1, 1, text);
  sheet.PutFill(1, 1, 65535, 1);
  marks::MarkMismatch(host, cell, "A", 2, 1, /*show_comment=*/true);
  marks::MarkMismatch(host, cell, "B", 1, 2, /*show_comment=*/true);
  const std::optional<std::string> marked = MarkedTwice(text);
  if (!marked) {
    // No room for a result block and the memo: the marking left the note and the fill as they
    // were, and the clearing meets the user's text alone, as checked above.
    Require(sheet.CommentText(1, 1) == text && cell.InteriorColor() == 65535,
            "a note the marking cannot extend stays whole");
    return;
  }
  Require(sheet.CommentText(1, 1) == *marked,
          "the markings write their blocks in front, then the memo, then the note");
  Require(cell.InteriorColor() == 11120637 && cell.InteriorPattern() == 1,
          "the last marking's fill is the light red of a value held fewer times");
  const std::string diagnosed = kModelDiagnosis + "\n" + *marked;
  if (Fits(diagnosed)) cell.SetCommentText(diagnosed);
  marks::RestoreCellFormat(cell);
  if (text.empty()) {
    Require(!sheet.HasComment(1, 1), "a comment of the add-in's text alone goes");
  } else {
    Require(sheet.HasComment(1, 1) && sheet.CommentText(1, 1) == text,
            "marking then clearing gives the user's text back");
  }
  Require(sheet.InteriorColor(1, 1) == 65535 && sheet.InteriorPattern(1, 1) == 1,
          "marking then clearing gives the fill back");
}

void RangeAddress(const std::uint8_t* data, std::size_t size) {
  const std::optional<host::Reference> reference = host::ParseReference(Text(data, size));
  if (!reference) return;
  Require(!reference->areas.empty(), "a reference has an area");
  for (const host::Area& area : reference->areas) {
    Require(area.top >= 1 && area.left >= 1 && area.top <= area.bottom && area.left <= area.right &&
                area.bottom <= host::kMaxRows && area.right <= host::kMaxColumns,
            "a reference's areas lie on the sheet");
  }
  // What the tool writes back of a range reads as the same range.
  const std::string address = host::AbsoluteAddress(reference->areas.front());
  const std::optional<host::Reference> again = host::ParseReference(address);
  Require(again && again->areas.front() == reference->areas.front(),
          "an address reads back as its range");
}

void TextConversions(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = Text(data, size);
  const host::Conversions& en_us = host::EnUsConversions();
  if (const std::optional<double> number = en_us.ReadNumber(text)) {
    Require(!std::isnan(*number), "a number read from a text is a number");
    if (std::isfinite(*number)) {
      const std::string written = en_us.ToText(host::Value::Number(*number));
      Require(!written.empty(), "a number converts to text");
      host::RoundHalfEven(*number, 2);
      host::FormatFixed(*number, 2);
      host::FormatWhole(*number);
    }
  }
  if (const std::optional<double> serial = en_us.ReadDate(text)) {
    Require(*serial >= -657434 && *serial < 2958466, "a date lies from 1/1/100 to 12/31/9999");
    const std::string written = en_us.ToText(host::Value::Date(*serial));
    // The host's own form of a date reads back as the same day.
    const std::optional<double> again = en_us.ReadDate(written);
    Require(again && std::floor(*again) == std::floor(*serial), "a date's text reads back");
    en_us.FormatTimestamp(*serial);
  }
  const host::Value value = host::Value::Text(std::string(text));
  if (en_us.IsNumeric(value)) en_us.ToNumber(value);
  en_us.ToDateSerial(value);
}

void SortedCharsTarget(const std::uint8_t* data, std::size_t size) {
  const std::string text(Text(data, size));
  const std::string signature = analysis::SortedChars(text);
  Require(signature.size() <= text.size(), "a signature is never longer than its text");
  // A signature only loses characters: every character of it occurs in the text as often or more.
  std::string sorted_text = text, sorted_signature = signature;
  std::sort(sorted_text.begin(), sorted_text.end());
  std::sort(sorted_signature.begin(), sorted_signature.end());
  Require(std::includes(sorted_text.begin(), sorted_text.end(), sorted_signature.begin(),
                        sorted_signature.end()),
          "a signature is made of the text's characters");
  Require(analysis::SortedChars(text) == signature, "the signature is the same every time");
}

}  // namespace quorvane::fuzz
