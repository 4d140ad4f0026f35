#include "analysis/diagnosis.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "analysis/explain.h"
#include "analysis/resolve.h"
#include "host/conversions.h"
#include "host/error.h"
#include "host/locale.h"
#include "host/value.h"
#include "host/worksheet.h"
#include "marks/marking.h"
#include "marks/marks.h"

namespace quorvane::analysis {
namespace {

// A cell marked as mismatched: one of the two mismatch fills, solid or already diagnosed.
bool IsEligible(const host::Range& cell) {
  const double color = cell.InteriorColor();
  const double pattern = cell.InteriorPattern();
  return marks::IsMismatchFill(color, pattern);
}

// The comments of the cells the indexed diagnosis writes to, kept as drafts and written once at
// its end: nothing reads them meanwhile, and a comment that takes hundreds of blocks would
// otherwise be read and written again for each, its whole length every time. A block goes in front
// of the blocks before it unless it would take the comment past the host's limit, as it would
// have when written at once.
class CommentDrafts {
 public:
  void Prepend(const host::Range& cell, const std::string& block) {
    auto [it, added] = drafts_.try_emplace(Key(cell));
    Draft& draft = it->second;
    if (added) {
      draft.cell = cell;
      draft.original = cell.CommentText();
      draft.empty = draft.original.empty();
      draft.length = host::HostLength(draft.original);
    }
    const std::size_t length =
        draft.empty ? host::HostLength(block) : host::HostLength(block) + 1 + draft.length;
    if (length > host::kMaxCommentLength) return;
    draft.blocks.push_back(block);
    draft.length = length;
    draft.empty = false;
  }

  // Writes every draft that gained a block, newest block first.
  void WriteAll() {
    for (auto& [key, draft] : drafts_) {
      if (draft.blocks.empty()) continue;
      std::string text;
      text.reserve(draft.original.size() + draft.blocks.size() * (draft.blocks.front().size() + 1));
      for (auto block = draft.blocks.rbegin(); block != draft.blocks.rend(); ++block) {
        if (block != draft.blocks.rbegin()) text += '\n';
        text += *block;
      }
      if (!draft.original.empty()) text += '\n' + draft.original;
      draft.blocks.clear();
      draft.cell.SetCommentText(text);
      draft.original = std::move(text);
    }
  }

 private:
  using CellKey = std::tuple<const host::Worksheet*, int, int>;
  static CellKey Key(const host::Range& cell) {
    return {&cell.Parent(), cell.row(), cell.column()};
  }
  struct Draft {
    host::Range cell;
    std::string original;  // the comment as last read or written
    std::vector<std::string> blocks;
    std::size_t length = 0;  // in the host's units, blocks included
    bool empty = true;
  };
  std::map<CellKey, Draft> drafts_;
};

// The two cells of a pair with their values and texts, and the time the pair's blocks carry.
class Pair {
 public:
  Pair(state::Run& run, const host::Range& a, const host::Range& b, const std::string& text_a,
       const std::string& text_b, CommentDrafts* drafts)
      : run_(run), a_(a), b_(b), text_a_(text_a), text_b_(text_b), drafts_(drafts) {}

  void ReportCharacters() {
    Shade();
    std::string message;
    const bool rounding = text_a_ == text_b_;
    if (rounding) {
      const std::string address_a = a_.Address();
      message = marks::RoundingBody(address_a, b_.Address());
    } else {
      message = marks::TransposeBody(text_a_, text_b_);
      state::IncrementCounterUpToLimit(run_, state::Counter::kTranspose1);
      state::IncrementCounterUpToLimit(run_, state::Counter::kTranspose2);
    }
    PrependBoth(message);
    Tell(rounding ? state::Finding::kRounding : state::Finding::kTransposition);
  }

  void ReportYear() {
    Shade();
    PrependBoth(marks::YearBody(text_a_, text_b_));
    state::IncrementCounterUpToLimit(run_, state::Counter::kYear1);
    state::IncrementCounterUpToLimit(run_, state::Counter::kYear2);
    Tell(state::Finding::kYear);
  }

 private:
  // Both cells get the diagnosed pattern and a comment to write into, but for a cell that holds a
  // threaded comment, which takes neither.
  void Shade() { shaded_ = marks::ShadePair(a_, b_); }

  void PrependBoth(const std::string& message) {
    if (!timestamp_) {
      const host::Conversions& conversions = run_.app().GetConversions();
      timestamp_ = marks::BlockTimestamp(conversions, run_.app().Now());
    }
    const std::string block = marks::Block(*timestamp_, message);
    if (shaded_.a) Prepend(a_, block);
    if (shaded_.b) Prepend(b_, block);
  }

  void Tell(state::Finding finding) { run_.listener.Diagnosed(finding, a_, b_); }

  // A block that would take the comment past the host's limit is left out of it.
  void Prepend(const host::Range& cell, const std::string& block) {
    if (drafts_ != nullptr) return drafts_->Prepend(cell, block);
    marks::PrependBlock(cell, block);
  }

  state::Run& run_;
  const host::Range& a_;
  const host::Range& b_;
  const std::string& text_a_;
  const std::string& text_b_;
  CommentDrafts* drafts_;
  std::optional<std::string> timestamp_;  // taken at the pair's first finding
  marks::Shaded shaded_;
};

bool IsYearApart(const host::Value& x, const host::Value& y, const host::Conversions& conversions) {
  const std::optional<double> serial_x = conversions.ToDateSerial(x);
  const std::optional<double> serial_y = conversions.ToDateSerial(y);
  if (!serial_x || !serial_y) return false;
  const host::CivilDateTime date_x = host::CivilFromSerial(*serial_x);
  const host::CivilDateTime date_y = host::CivilFromSerial(*serial_y);
  return date_x.month == date_y.month && date_x.day == date_y.day &&
         std::abs(date_x.year - date_y.year) == 1;
}

// Examines one pair: the pair test, then the character test and the year test. Answers whether
// anything was reported. The texts' signatures are taken as given when known.
bool ExaminePair(state::Run& run, const host::Range& a, const host::Range& b, const host::Value& x,
                 const host::Value& y, const std::string& text_a, const std::string& text_b,
                 const std::string* signature_a = nullptr, const std::string* signature_b = nullptr,
                 CommentDrafts* drafts = nullptr) {
  if (host::HostLength(text_a) != host::HostLength(text_b) || host::Equal(x, y)) return false;
  Pair pair(run, a, b, text_a, text_b, drafts);
  const host::Conversions& conversions = run.app().GetConversions();
  const bool characters =
      signature_a != nullptr && signature_b != nullptr
          ? *signature_a == *signature_b
          : SortedChars(text_a, conversions) == SortedChars(text_b, conversions);
  if (characters) pair.ReportCharacters();
  const bool year = IsYearApart(x, y, conversions);
  if (year) pair.ReportYear();
  return characters || year;
}

// A marked cell as the search that explains more reads it: its position, value and text.
struct Numbered {
  std::int64_t index;
  host::Value value;
  std::string text;
};

// Up to this many marked numbers in both ranges together, the straightforward diagnosis tries
// every pair and every set of two and three cells; past it the work (the cube of the count) would
// not end, and it searches as the indexed diagnosis does.
constexpr std::size_t kMostTriedByTrial = 300;

// The amount of a marked number in whole cents as the comparison compares it: its sign reversed
// made positive under "Ignore Sign" (and no sign errors are looked for), then reversed in Range 1
// under "Reverse Sign", and rounded to two places under "Round Numbers". Only numbers take part.
std::optional<std::int64_t> ComparedCents(const host::Value& value, bool first,
                                          const state::Options& options) {
  if (!value.is_number()) return std::nullopt;
  double number = value.number();
  if (options.ignore_sign != state::kFalse) number = std::fabs(number);
  if (options.reverse_sign != state::kFalse && first) number = -number;
  if (options.round_numbers != state::kFalse) number = host::RoundHalfEven(number, 2);
  return WholeCents(number);
}

state::ExplainedKind KindOf(ExplainKind kind) {
  switch (kind) {
    case ExplainKind::kSign:
      return state::ExplainedKind::kSign;
    case ExplainKind::kSlide:
      return state::ExplainedKind::kSlide;
    case ExplainKind::kTransposition:
      return state::ExplainedKind::kTransposition;
    case ExplainKind::kSplit:
      return state::ExplainedKind::kSplit;
    case ExplainKind::kMerge:
      return state::ExplainedKind::kMerge;
  }
  return state::ExplainedKind::kSign;
}

// Searches the marked numbers of both ranges for sign errors, decimal slides, transpositions in
// the amount and totals split or merged, passing over the pairs the first stage reported, and
// writes each finding: every cell of it shaded, then the finding's block on each.
void ExplainMore(state::Run& run, const state::Options& options, const host::Range& r1,
                 const host::Range& r2, const std::vector<Numbered>& numbers1,
                 const std::vector<Numbered>& numbers2,
                 const std::vector<std::pair<std::int64_t, std::int64_t>>& reported,
                 state::Algorithm algorithm, CommentDrafts* drafts) {
  ExplainInput input;
  std::map<std::int64_t, const Numbered*> by_index1;
  std::map<std::int64_t, const Numbered*> by_index2;
  for (const Numbered& n : numbers1) {
    if (const std::optional<std::int64_t> cents = ComparedCents(n.value, true, options)) {
      input.cells1.push_back({n.index, *cents});
      by_index1[n.index] = &n;
    }
  }
  for (const Numbered& n : numbers2) {
    if (const std::optional<std::int64_t> cents = ComparedCents(n.value, false, options)) {
      input.cells2.push_back({n.index, *cents});
      by_index2[n.index] = &n;
    }
  }
  if (input.cells1.empty() || input.cells2.empty()) return;
  input.first_stage_pairs = reported;
  input.sign_errors = options.ignore_sign == state::kFalse;
  const bool by_trial = algorithm == state::Algorithm::kStraightforward &&
                        input.cells1.size() + input.cells2.size() <= kMostTriedByTrial;
  const ExplainResult result =
      by_trial ? ExplainMismatchesByTrial(input) : ExplainMismatches(input);

  for (const Explanation& e : result.explanations) {
    std::vector<host::Range> cells1;
    std::vector<host::Range> cells2;
    for (const std::int64_t index : e.cells1) cells1.push_back(r1.Item(index));
    for (const std::int64_t index : e.cells2) cells2.push_back(r2.Item(index));
    std::vector<host::Range> all = cells1;
    all.insert(all.end(), cells2.begin(), cells2.end());
    marks::ShadeCells(all);

    std::string message;
    const auto addresses = [](const std::vector<host::Range>& cells) {
      std::vector<std::string> texts;
      for (const host::Range& cell : cells) texts.push_back(cell.Address());
      return texts;
    };
    switch (e.kind) {
      case ExplainKind::kSign:
        message = marks::SignBody(cells1.front().Address(), cells2.front().Address());
        break;
      case ExplainKind::kSlide:
        message = marks::SlideBody(by_index1.at(e.cells1.front())->text,
                                   by_index2.at(e.cells2.front())->text);
        break;
      case ExplainKind::kTransposition:
        message = marks::TransposeBody(by_index1.at(e.cells1.front())->text,
                                       by_index2.at(e.cells2.front())->text);
        break;
      case ExplainKind::kSplit:
        message = marks::SplitBody(cells1.front().Address(), addresses(cells2));
        break;
      case ExplainKind::kMerge:
        message = marks::MergeBody(cells2.front().Address(), addresses(cells1));
        break;
    }
    const std::string block =
        marks::Block(marks::BlockTimestamp(run.app().GetConversions(), run.app().Now()), message);
    for (const host::Range& cell : all) {
      if (drafts != nullptr) {
        drafts->Prepend(cell, block);
      } else {
        marks::PrependBlock(cell, block);
      }
    }
    run.listener.Explained(KindOf(e.kind), cells1, cells2, message);
  }
}

// A pair the first stage reported, by the positions of its cells in their ranges.
using FirstStagePairs = std::vector<std::pair<std::int64_t, std::int64_t>>;

void DiagnoseStraightforward(state::Run& run, const host::Range& r1, const host::Range& r2,
                             FirstStagePairs& reported) {
  const std::int64_t count1 = r1.CellsCount();
  // Reported pairs of each cell of Range 2, by position.
  std::vector<int> pairs2(static_cast<std::size_t>(r2.CellsCount()), 0);
  for (std::int64_t i = 1; i <= count1; ++i) {
    const host::Range a = r1.Item(i);
    if (!IsEligible(a)) continue;
    const host::Value x = a.GetValue();
    // An error value has no text to compare; such a cell takes part in no pair.
    if (x.is_error()) continue;
    const std::string text_a = run.app().GetConversions().ToText(x);

    int pairs1 = 0;
    const std::int64_t count2 = r2.CellsCount();
    for (std::int64_t j = 1; j <= count2 && pairs1 < kMaxPairsPerCell; ++j) {
      int& taken = pairs2[static_cast<std::size_t>(j - 1)];
      if (taken >= kMaxPairsPerCell) continue;
      const host::Range b = r2.Item(j);
      if (!IsEligible(b)) continue;
      const host::Value y = b.GetValue();
      if (y.is_error()) continue;
      if (ExaminePair(run, a, b, x, y, text_a, run.app().GetConversions().ToText(y))) {
        reported.emplace_back(i, j);
        ++pairs1;
        ++taken;
      }
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

std::vector<Marked> ReadMarked(const host::Range& range, const host::Conversions& conversions) {
  host::Worksheet& sheet = range.Parent();
  const host::Area area = range.FirstArea();
  // The coloured cells, then those of them that also have a mismatch's pattern: the marked ones.
  std::vector<std::pair<std::size_t, double>> colored;
  sheet.VisitBlockInteriorColors(
      area, [&colored](std::size_t i, double color) { colored.emplace_back(i, color); });
  std::vector<std::size_t> places;
  std::size_t at = 0;
  sheet.VisitBlockInteriorPatterns(area, [&](std::size_t i, double pattern) {
    while (at < colored.size() && colored[at].first < i) ++at;
    if (at < colored.size() && colored[at].first == i &&
        marks::IsMismatchFill(colored[at].second, pattern)) {
      places.push_back(i);
    }
  });
  std::vector<Marked> marked;
  const auto add = [&](std::size_t i, const host::Value& value) {
    if (value.is_error()) return;
    Marked m{static_cast<std::int64_t>(i) + 1, value, conversions.ToText(value), {}, {}};
    m.signature = SortedChars(m.text, conversions);
    if (const std::optional<double> serial = conversions.ToDateSerial(m.value)) {
      m.date = host::CivilFromSerial(*serial);
    }
    marked.push_back(std::move(m));
  };
  // The marked cells are taken in order; those the visit passes over are empty.
  const host::Value empty;
  std::size_t next = 0;  // into places
  sheet.VisitBlockValues(area, [&](std::size_t i, const host::Value& value) {
    for (; next < places.size() && places[next] < i; ++next) add(places[next], empty);
    if (next < places.size() && places[next] == i) add(places[next++], value);
  });
  for (; next < places.size(); ++next) add(places[next], empty);
  return marked;
}

// The cells of Range 2 that share a signature or a date, in their order, of which those that
// reached the cap are passed over in constant time: `next_` leads from a position to the first one
// at or after it still open (positions that reached the cap are joined to the next one).
class Bucket {
 public:
  std::size_t Add(std::size_t cell) {
    cells_.push_back(cell);
    next_.push_back(cells_.size());
    return cells_.size() - 1;
  }
  std::size_t size() const { return cells_.size(); }
  std::size_t cell(std::size_t position) const { return cells_[position]; }
  // The first open position at or after `position`; size() when there is none.
  std::size_t Open(std::size_t position) {
    std::size_t root = position;
    while (next_[root] != root) root = next_[root];
    while (next_[position] != root) position = std::exchange(next_[position], root);
    return root;
  }
  void Close(std::size_t position) { next_[position] = position + 1; }

 private:
  std::vector<std::size_t> cells_;
  std::vector<std::size_t> next_ = {0};  // one more than cells_: the end is always open
};

// The same pairs in the same order as the straightforward loops: for each marked cell of Range 1,
// the marked cells of Range 2 that share its signature or are a date one year apart, in their
// order. Every other pair fails both tests and the straightforward loops do nothing with it.
void DiagnoseIndexed(state::Run& run, const host::Range& r1, const host::Range& r2,
                     const state::Options& explain) {
  const std::vector<Marked> marked1 = ReadMarked(r1, run.app().GetConversions());
  // Every finding names a cell of Range 1.
  if (marked1.empty()) return;
  const std::vector<Marked> marked2 = ReadMarked(r2, run.app().GetConversions());
  FirstStagePairs reported;

  std::unordered_map<std::string, Bucket> by_signature;
  std::map<std::tuple<int, int, int>, Bucket> by_date;  // year, month, day
  // Where each cell of Range 2 stands in its buckets, to close it in both at the cap.
  struct Place {
    Bucket* bucket;
    std::size_t position;
  };
  std::vector<std::vector<Place>> places(marked2.size());
  std::vector<int> pairs2(marked2.size(), 0);
  for (std::size_t j = 0; j < marked2.size(); ++j) {
    Bucket& signature = by_signature[marked2[j].signature];
    places[j].push_back({&signature, signature.Add(j)});
    if (const auto& d = marked2[j].date) {
      Bucket& date = by_date[{d->year, d->month, d->day}];
      places[j].push_back({&date, date.Add(j)});
    }
  }

  // The buckets of a cell of Range 1 and how far each has been walked.
  struct Cursor {
    Bucket* bucket;
    std::size_t position;
  };
  std::vector<Cursor> cursors;
  CommentDrafts drafts;
  // What was found before a failure is written as it would have been at once.
  struct WriteAtTheEnd {
    CommentDrafts& drafts;
    bool done = false;
    ~WriteAtTheEnd() {
      if (done) return;
      try {
        drafts.WriteAll();
      } catch (const host::HostError&) {
      }
    }
  } write_at_the_end{drafts};
  for (const Marked& a : marked1) {
    cursors.clear();
    if (const auto it = by_signature.find(a.signature); it != by_signature.end()) {
      cursors.push_back({&it->second, 0});
    }
    if (a.date) {
      for (const int year : {a.date->year - 1, a.date->year + 1}) {
        const auto it = by_date.find({year, a.date->month, a.date->day});
        if (it != by_date.end()) cursors.push_back({&it->second, 0});
      }
    }
    if (cursors.empty()) continue;
    std::optional<host::Range> cell_a;
    int pairs1 = 0;
    // The open candidates of all buckets merged in their order, each once.
    while (pairs1 < kMaxPairsPerCell) {
      std::size_t j = marked2.size();
      for (Cursor& c : cursors) {
        c.position = c.bucket->Open(c.position);
        if (c.position < c.bucket->size()) j = std::min(j, c.bucket->cell(c.position));
      }
      if (j == marked2.size()) break;
      for (Cursor& c : cursors) {
        if (c.position < c.bucket->size() && c.bucket->cell(c.position) == j) ++c.position;
      }
      const Marked& b = marked2[j];
      if (!cell_a) cell_a = r1.Item(a.index);
      if (!ExaminePair(run, *cell_a, r2.Item(b.index), a.value, b.value, a.text, b.text,
                       &a.signature, &b.signature, &drafts)) {
        continue;
      }
      reported.emplace_back(a.index, b.index);
      ++pairs1;
      if (++pairs2[j] == kMaxPairsPerCell) {
        for (const Place& place : places[j]) place.bucket->Close(place.position);
      }
    }
  }
  if (explain.explain_more != state::kFalse) {
    std::vector<Numbered> numbers1;
    std::vector<Numbered> numbers2;
    for (const Marked& m : marked1) numbers1.push_back({m.index, m.value, m.text});
    for (const Marked& m : marked2) numbers2.push_back({m.index, m.value, m.text});
    ExplainMore(run, explain, r1, r2, numbers1, numbers2, reported, state::Algorithm::kIndexed,
                &drafts);
  }
  write_at_the_end.done = true;
  drafts.WriteAll();
}

}  // namespace

void DiagnoseMismatches(state::Run& run, const host::Range& range1, const host::Range& range2,
                        state::Algorithm algorithm, const state::Options* compared) {
  // The amounts take the signs and rounding of the comparison, whether to search at all is asked
  // now.
  state::Options explain = compared != nullptr ? *compared : run.options;
  explain.explain_more = run.options.explain_more;
  const host::Range r1 = ResolveRange(run.app(), range1);
  const host::Range r2 = ResolveRange(run.app(), range2);
  // The indexes need single blocks, in which the i-th cell and the block's order agree.
  if (algorithm == state::Algorithm::kIndexed && r1.AreaCount() == 1 && r2.AreaCount() == 1) {
    DiagnoseIndexed(run, r1, r2, explain);
    return;
  }
  FirstStagePairs reported;
  DiagnoseStraightforward(run, r1, r2, reported);
  if (explain.explain_more == state::kFalse) return;
  // The marked cells as they stand after the first stage (its shading keeps them marked).
  const auto numbers = [&run](const host::Range& range) {
    std::vector<Numbered> numbers;
    const std::int64_t count = range.CellsCount();
    for (std::int64_t i = 1; i <= count; ++i) {
      const host::Range cell = range.Item(i);
      if (!IsEligible(cell)) continue;
      const host::Value value = cell.GetValue();
      if (!value.is_number()) continue;
      numbers.push_back({i, value, run.app().GetConversions().ToText(value)});
    }
    return numbers;
  };
  const std::vector<Numbered> numbers1 = numbers(r1);
  if (numbers1.empty()) return;
  ExplainMore(run, explain, r1, r2, numbers1, numbers(r2), reported, algorithm, nullptr);
}

std::string SortedChars(std::string_view text, const host::Conversions& conversions) {
  std::string signature(text);
  if (signature.empty()) return signature;
  const auto erase_all = [&signature](const std::string& separator) {
    for (std::size_t at = signature.find(separator); at != std::string::npos;
         at = signature.find(separator, at)) {
      signature.erase(at, separator.size());
    }
  };
  // Only the date separator is taken out of a date: a text without one needs no reading as a
  // date.
  const std::string date_separator = conversions.DateSeparator();
  if (!date_separator.empty() && signature.find(date_separator) != std::string::npos &&
      conversions.ReadDate(signature)) {
    erase_all(date_separator);
  }
  if (conversions.ReadNumber(signature)) {
    const std::string decimal = conversions.DecimalSeparator();
    if (!decimal.empty()) erase_all(decimal);
    std::sort(signature.begin(), signature.end(), [](char l, char r) {
      return static_cast<unsigned char>(l) < static_cast<unsigned char>(r);
    });
  }
  return signature;
}

}  // namespace quorvane::analysis
