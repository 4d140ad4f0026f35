#include "analysis/diagnosis.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "analysis/resolve.h"
#include "engine/marking.h"
#include "host/conversions.h"
#include "host/value.h"
#include "host/worksheet.h"

namespace quorvane::analysis {
namespace {

// A cell marked as mismatched: one of the two mismatch fills, solid or already diagnosed.
bool IsEligibleFill(double color, double pattern) {
  return (color == engine::kMoreColor || color == engine::kFewerColor) &&
         (pattern == host::kPatternSolid || pattern == host::kPatternGray16);
}

bool IsEligible(const host::Range& cell) {
  const double color = cell.InteriorColor();
  const double pattern = cell.InteriorPattern();
  return IsEligibleFill(color, pattern);
}

// The length of a text in characters as the host counts them (UTF-16 code units).
std::size_t HostLength(const std::string& text) {
  std::size_t length = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) ++length;  // every byte but a continuation byte starts a character
    if (byte >= 0xF0) ++length;           // a character beyond the first plane takes two units
  }
  return length;
}

// The two cells of a pair with their values and texts, and the time the pair's blocks carry.
class Pair {
 public:
  Pair(engine::AddinState& state, const host::Range& a, const host::Range& b,
       const std::string& text_a, const std::string& text_b)
      : state_(state), a_(a), b_(b), text_a_(text_a), text_b_(text_b) {}

  void ReportCharacters() {
    Shade();
    std::string message;
    const bool rounding = text_a_ == text_b_;
    if (rounding) {
      message = "Rounding Error " + a_.Address() + " and " + b_.Address() +
                " for Range 1 and 2, respectively.  Try Options tab to force rounding to 2 digits.";
    } else {
      message = "Possible Transpose " + text_a_ + " and " + text_b_;
      engine::IncrementCounterUpToLimit(state_, engine::Counter::kTranspose1);
      engine::IncrementCounterUpToLimit(state_, engine::Counter::kTranspose2);
    }
    PrependBoth(message);
    Tell(rounding ? engine::Finding::kRounding : engine::Finding::kTransposition);
  }

  void ReportYear() {
    Shade();
    PrependBoth("Possible Year Error " + text_a_ + " and " + text_b_);
    engine::IncrementCounterUpToLimit(state_, engine::Counter::kYear1);
    engine::IncrementCounterUpToLimit(state_, engine::Counter::kYear2);
    Tell(engine::Finding::kYear);
  }

 private:
  // Both cells get the diagnosed pattern and a comment to write into.
  void Shade() {
    a_.SetInteriorPattern(host::Value::Number(host::kPatternGray16));
    b_.SetInteriorPattern(host::Value::Number(host::kPatternGray16));
    if (!a_.HasComment()) a_.AddComment();
    if (!b_.HasComment()) b_.AddComment();
  }

  void PrependBoth(const std::string& message) {
    if (!timestamp_) timestamp_ = host::FormatTimestamp(state_.app().Now());
    const std::string block = "<<< " + *timestamp_ + ":" + "\n" + message + "\n" + ">>>";
    Prepend(a_, block);
    Prepend(b_, block);
  }

  void Tell(engine::Finding finding) {
    if (state_.watcher != nullptr) state_.watcher->Diagnosed(finding, a_, b_);
  }

  // A block that would take the comment past the host's limit is left out of it.
  static void Prepend(const host::Range& cell, const std::string& block) {
    const std::string old = cell.CommentText();
    const std::string text = old.empty() ? block : block + "\n" + old;
    if (HostLength(text) <= host::kMaxCommentLength) cell.SetCommentText(text);
  }

  engine::AddinState& state_;
  const host::Range& a_;
  const host::Range& b_;
  const std::string& text_a_;
  const std::string& text_b_;
  std::optional<std::string> timestamp_;  // taken at the pair's first finding
};

bool IsYearApart(const host::Value& x, const host::Value& y) {
  const std::optional<double> serial_x = host::ToDateSerial(x);
  const std::optional<double> serial_y = host::ToDateSerial(y);
  if (!serial_x || !serial_y) return false;
  const host::CivilDateTime date_x = host::CivilFromSerial(*serial_x);
  const host::CivilDateTime date_y = host::CivilFromSerial(*serial_y);
  return date_x.month == date_y.month && date_x.day == date_y.day &&
         std::abs(date_x.year - date_y.year) == 1;
}

// Examines one pair: the pair test, then the character test and the year test.
void ExaminePair(engine::AddinState& state, const host::Range& a, const host::Range& b,
                 const host::Value& x, const host::Value& y, const std::string& text_a,
                 const std::string& text_b) {
  if (HostLength(text_a) != HostLength(text_b) || host::Equal(x, y)) return;
  Pair pair(state, a, b, text_a, text_b);
  if (SortedChars(text_a) == SortedChars(text_b)) pair.ReportCharacters();
  if (IsYearApart(x, y)) pair.ReportYear();
}

void DiagnoseStraightforward(engine::AddinState& state, const host::Range& r1,
                             const host::Range& r2) {
  const std::int64_t count1 = r1.CellsCount();
  for (std::int64_t i = 1; i <= count1; ++i) {
    const host::Range a = r1.Item(i);
    if (!IsEligible(a)) continue;
    const host::Value x = a.GetValue();
    // An error value has no text to compare; such a cell takes part in no pair.
    if (x.is_error()) continue;
    const std::string text_a = host::ToText(x);

    const std::int64_t count2 = r2.CellsCount();
    for (std::int64_t j = 1; j <= count2; ++j) {
      const host::Range b = r2.Item(j);
      if (!IsEligible(b)) continue;
      const host::Value y = b.GetValue();
      if (y.is_error()) continue;
      ExaminePair(state, a, b, x, y, text_a, host::ToText(y));
    }
  }
}

// A marked cell of a single-area range, read once.
struct Marked {
  std::int64_t index;  // 1-based position in the range
  host::Value value;
  std::string text;
  std::string signature;
  std::optional<host::CivilDateTime> date;
};

std::vector<Marked> ReadMarked(const host::Range& range) {
  host::Worksheet& sheet = range.Parent();
  const host::Area area = range.FirstArea();
  const std::vector<double> colors = sheet.BlockInteriorColors(area);
  const std::vector<double> patterns = sheet.BlockInteriorPatterns(area);
  const std::vector<host::Value> values = sheet.BlockValues(area);
  std::vector<Marked> marked;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!IsEligibleFill(colors[i], patterns[i]) || values[i].is_error()) continue;
    Marked m{static_cast<std::int64_t>(i) + 1, values[i], host::ToText(values[i]), {}, {}};
    m.signature = SortedChars(m.text);
    if (const std::optional<double> serial = host::ToDateSerial(m.value)) {
      m.date = host::CivilFromSerial(*serial);
    }
    marked.push_back(std::move(m));
  }
  return marked;
}

// The same pairs in the same order as the straightforward loops: for each marked cell of Range 1,
// the marked cells of Range 2 that share its signature or are a date one year apart, in their
// order. Every other pair fails both tests and the straightforward loops do nothing with it.
void DiagnoseIndexed(engine::AddinState& state, const host::Range& r1, const host::Range& r2) {
  const std::vector<Marked> marked1 = ReadMarked(r1);
  if (marked1.empty()) return;
  const std::vector<Marked> marked2 = ReadMarked(r2);

  std::unordered_map<std::string, std::vector<std::size_t>> by_signature;
  std::map<std::tuple<int, int, int>, std::vector<std::size_t>> by_date;  // year, month, day
  for (std::size_t j = 0; j < marked2.size(); ++j) {
    by_signature[marked2[j].signature].push_back(j);
    if (const auto& d = marked2[j].date) by_date[{d->year, d->month, d->day}].push_back(j);
  }

  std::vector<std::size_t> candidates;
  for (const Marked& a : marked1) {
    candidates.clear();
    if (const auto it = by_signature.find(a.signature); it != by_signature.end()) {
      candidates = it->second;
    }
    if (a.date) {
      for (const int year : {a.date->year - 1, a.date->year + 1}) {
        const auto it = by_date.find({year, a.date->month, a.date->day});
        if (it != by_date.end())
          candidates.insert(candidates.end(), it->second.begin(), it->second.end());
      }
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    if (candidates.empty()) continue;
    const host::Range cell_a = r1.Item(a.index);
    for (const std::size_t j : candidates) {
      const Marked& b = marked2[j];
      ExaminePair(state, cell_a, r2.Item(b.index), a.value, b.value, a.text, b.text);
    }
  }
}

}  // namespace

void DiagnoseMismatches(engine::AddinState& state, host::Range& range1, host::Range& range2,
                        engine::Algorithm algorithm) {
  const host::Range r1 = ResolveRange(state.app(), range1);
  const host::Range r2 = ResolveRange(state.app(), range2);
  // The indexes need single blocks, in which the i-th cell and the block's order agree.
  if (algorithm == engine::Algorithm::kIndexed && r1.AreaCount() == 1 && r2.AreaCount() == 1) {
    DiagnoseIndexed(state, r1, r2);
  } else {
    DiagnoseStraightforward(state, r1, r2);
  }
}

std::string SortedChars(std::string_view text) {
  std::string signature(text);
  if (signature.empty()) return signature;
  if (host::ReadDate(signature)) std::erase(signature, '/');
  if (host::ReadNumber(signature)) {
    std::erase(signature, '.');
    std::sort(signature.begin(), signature.end(), [](char l, char r) {
      return static_cast<unsigned char>(l) < static_cast<unsigned char>(r);
    });
  }
  return signature;
}

}  // namespace quorvane::analysis
