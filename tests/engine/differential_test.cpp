// The indexed comparison run against the straightforward one: the same workbook, options and clock
// must come out of both exactly alike, in every counter, notice, fill, comment and rectangle, and
// in what each tells its watcher.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/matching.h"
#include "host/conversions.h"
#include "memhost/host.h"
#include "state/state.h"
#include "support/state_listener.h"

namespace quorvane::testing {
namespace {

using host::Value;

struct CellSpec {
  Value value;
  std::string format = "General";
};

// Values that stress every rule: duplicates, numeric and date texts, a date against the number of
// its serial, rounding halves, signs, ten digits, zeros, blanks, errors, texts with "|", displayed
// texts shared by different values, transpositions, rounding remainders and dates a year apart, and
// amounts that differ by sign, by a decimal slide, by two digits exchanged, or add up to others.
std::vector<CellSpec> Pool() {
  const double serial = host::SerialFromCivil({2023, 1, 5, 0, 0, 0});
  return {
      {Value::Number(1)},
      {Value::Number(-1)},
      {Value::Number(2)},
      {Value::Number(100)},
      {Value::Number(-100)},
      {Value::Number(0)},
      {Value::Number(0.004)},
      {Value::Number(10.125)},
      {Value::Number(10.12)},
      {Value::Number(10.13)},
      {Value::Number(0.1 + 0.2)},
      {Value::Number(0.3)},
      {Value::Number(1234567890)},
      {Value::Number(-123456789)},
      {Value::Number(123456789)},
      {Value::Number(1.001), "0.00"},
      {Value::Number(0.999), "0.00"},
      {Value::Number(2.5), "0"},
      {Value::Number(serial)},
      {Value::Date(serial)},
      {Value::Date(serial + 366)},
      {Value::Text("123")},
      {Value::Text("-100")},
      {Value::Text("1/5/2023")},
      {Value::Text("abc")},
      {Value::Text("ABC")},
      {Value::Text("a|b")},
      {Value::Text("a||b")},
      {Value::Text("a")},
      {Value::Text("b")},
      {Value::Text("|")},
      {Value::Text("1,000")},
      {Value::Text("0")},
      {Value::Text("")},
      {Value::Number(123.45)},
      {Value::Number(132.45)},
      {Value::Number(1234.5)},
      {Value::Number(12.5)},
      {Value::Number(1250)},
      {Value::Number(-12.5)},
      {Value::Number(59.01)},
      {Value::Number(59.1)},
      {Value::Number(3)},
      {Value::Number(7.5)},
      {Value::Date(host::SerialFromCivil({2024, 1, 5, 0, 0, 0}))},
      {Value::Date(host::SerialFromCivil({2022, 1, 5, 0, 0, 0}))},
      {Value::Date(host::SerialFromCivil({2032, 1, 5, 0, 0, 0}))},
      {Value::Text("1/5/2024")},
      {Value::Text("21")},
      {Value::Text("12")},
      {Value::Logical(true)},
      {Value::Logical(false)},
      {Value::Error(host::CellError::kNA)},
      {Value()},
      {Value()},
  };
}

// What a run tells its listener, one line per finding.
struct Told : state::RunListener {
  std::vector<std::string> events;
  int marked1 = 0, transpositions = 0, years = 0;

  void Marked(int range, const host::Range& cell, const std::string& value, const std::string& text,
              std::int64_t here, std::int64_t there) override {
    marked1 += range == 1;
    events.push_back("marked " + std::to_string(range) + " " + cell.Address(true) + " " + value +
                     " '" + text + "' " + std::to_string(here) + "/" + std::to_string(there));
  }
  void Noticed(const host::Range& cell, state::NoticeKind kind,
               const std::string& /*line*/) override {
    events.push_back("notice " + cell.Address(true) + " " + std::to_string(static_cast<int>(kind)));
  }
  void Diagnosed(state::Finding finding, const host::Range& a, const host::Range& b) override {
    transpositions += finding == state::Finding::kTransposition;
    years += finding == state::Finding::kYear;
    events.push_back("found " + std::to_string(static_cast<int>(finding)) + " " + a.Address(true) +
                     " " + b.Address(true));
  }
  void Explained(state::ExplainedKind kind, const std::vector<host::Range>& cells1,
                 const std::vector<host::Range>& cells2, const std::string& message) override {
    ++explained;
    std::string event = "explained " + std::to_string(static_cast<int>(kind));
    for (const host::Range& cell : cells1) event += " " + cell.Address(true);
    event += " |";
    for (const host::Range& cell : cells2) event += " " + cell.Address(true);
    events.push_back(event + " " + message);
  }
  int explained = 0;
};

struct World {
  Told told;
  memhost::MemHost mem;
  state::AddinState state;
  StateListener listener{state};
  memhost::MemWorksheet* sheet1 = nullptr;
  memhost::MemWorksheet* sheet2 = nullptr;
  host::Range range1, range2;
};

void Build(World& w, std::mt19937& rng, bool same_sheet, int n1, int n2, unsigned options) {
  static const std::vector<CellSpec> pool = Pool();
  std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
  std::bernoulli_distribution hide(0.1);
  w.mem.SetTime(host::SerialFromCivil({2024, 2, 29, 23, 59, 58}));
  memhost::MemWorkbook& book = w.mem.AddWorkbook("Bank.xlsx");
  w.sheet1 = &book.AddSheet("Statement");
  if (same_sheet) {
    w.sheet2 = w.sheet1;
  } else {
    w.sheet2 = &w.mem.AddWorkbook("Ledger 2024.xlsx").AddSheet("Book's");
  }
  const int column2 = same_sheet ? 2 : 1;
  for (int r = 1; r <= n1; ++r) {
    const CellSpec& spec = pool[pick(rng)];
    w.sheet1->Put(r, 1, spec.value, spec.format);
    if (hide(rng)) w.sheet1->HideRow(r);
  }
  for (int r = 1; r <= n2; ++r) {
    const CellSpec& spec = pool[pick(rng)];
    w.sheet2->Put(r, column2, spec.value, spec.format);
    if (hide(rng)) w.sheet2->HideRow(r);
  }
  // A user's fill and note here and there, and a cell beyond the lists so that blank cells at the
  // end of a list stay inside the used area.
  w.sheet1->PutFill(2, 1, 65535, host::kPatternSolid);
  w.sheet1->PutComment(3, 1, "Paid in May");
  w.sheet1->Put(n1 + 3, 3, Value::Text("end"));
  w.sheet2->Put(n2 + 3, 3, Value::Text("end"));
  w.range1 = host::Range(w.sheet1, host::Area{1, 1, n1 + 1, 1});
  w.range2 = host::Range(w.sheet2, host::Area{1, column2, n2 + 1, column2});

  state::Options& o = w.state.options;
  o.round_numbers = options & 1 ? state::kTrue : state::kFalse;
  o.numbers_only = options & 2 ? state::kTrue : state::kFalse;
  o.ignore_sign = options & 4 ? state::kTrue : state::kFalse;
  o.reverse_sign = options & 8 ? state::kTrue : state::kFalse;
  o.ignore_10_digit = options & 16 ? state::kTrue : state::kFalse;
  o.ignore_zero = options & 32 ? state::kTrue : state::kFalse;
  o.hide_comments = options & 64 ? state::kTrue : state::kFalse;
  o.explain_more = options & 128 ? state::kFalse : state::kTrue;
  w.state.application = &w.mem;
  w.listener.also = &w.told;
}

void ExpectSameSheet(const memhost::SheetData& a, const memhost::SheetData& b,
                     const std::string& where) {
  ASSERT_EQ(a.cells.size(), b.cells.size()) << where;
  for (auto ia = a.cells.begin(), ib = b.cells.begin(); ia != a.cells.end(); ++ia, ++ib) {
    ASSERT_EQ(ia->first, ib->first) << where;
    const std::string at = where + " row " + std::to_string(ia->first.first) + " column " +
                           std::to_string(ia->first.second);
    EXPECT_EQ(ia->second.fill, ib->second.fill) << at;
    EXPECT_EQ(ia->second.comment, ib->second.comment) << at;
  }
  ASSERT_EQ(a.shapes.size(), b.shapes.size()) << where;
  for (std::size_t i = 0; i < a.shapes.size(); ++i) {
    EXPECT_EQ(a.shapes[i].name, b.shapes[i].name) << where;
    EXPECT_EQ(a.shapes[i].text, b.shapes[i].text) << where;
    EXPECT_EQ(a.shapes[i].top, b.shapes[i].top) << where;
  }
}

// Both runs of one workbook came out alike, and what each told its watcher agrees with its
// counters.
void ExpectSameRuns(const World& fast, const World& slow, bool same_sheet,
                    const std::string& where) {
  for (int c = 0; c < state::kCounterCount; ++c) {
    const auto counter = static_cast<state::Counter>(c);
    EXPECT_EQ(fast.state.counters[counter], slow.state.counters[counter])
        << where << " " << forms::ResultsForm::CountLabel(counter);
  }
  EXPECT_EQ(fast.state.notices, slow.state.notices) << where;
  EXPECT_EQ(fast.told.events, slow.told.events) << where;
  EXPECT_EQ(fast.told.marked1, fast.state.counters.mismatch1) << where;
  EXPECT_EQ(fast.told.transpositions, fast.state.counters.transpose1) << where;
  EXPECT_EQ(fast.told.years, fast.state.counters.year1) << where;
  EXPECT_EQ(fast.mem.messages(), slow.mem.messages()) << where;
  ExpectSameSheet(fast.sheet1->data(), slow.sheet1->data(), where);
  if (!same_sheet) ExpectSameSheet(fast.sheet2->data(), slow.sheet2->data(), where);
}

TEST(DifferentialTest, IndexedPassEqualsStraightforwardPass) {
  std::mt19937 rng(20261208);
  int explained = 0;
  for (int trial = 0; trial < 512; ++trial) {
    // Every combination of the comparison's options, with Explain More and without it.
    const unsigned options = static_cast<unsigned>(trial) % 256;
    const bool same_sheet = trial % 3 != 0;
    std::uniform_int_distribution<int> size(1, 24);
    const int n1 = size(rng), n2 = size(rng);
    const std::mt19937 seed = rng;

    World fast, slow;
    std::mt19937 rng_fast = seed, rng_slow = seed;
    Build(fast, rng_fast, same_sheet, n1, n2, options);
    Build(slow, rng_slow, same_sheet, n1, n2, options);
    rng = rng_fast;
    // Now and then one list against itself: both passes count in the same cells, under either sign.
    if (same_sheet && trial % 8 == 5) {
      fast.range2 = fast.range1;
      slow.range2 = slow.range1;
    }

    MatchRanges(fast.listener, fast.range1, fast.range2, state::Algorithm::kIndexed);
    MatchRanges(slow.listener, slow.range1, slow.range2, state::Algorithm::kStraightforward);

    ExpectSameRuns(fast, slow, same_sheet,
                   "trial " + std::to_string(trial) + " options " + std::to_string(options));
    if ((options & 128) != 0) {
      EXPECT_EQ(fast.told.explained, 0) << trial;
    }
    explained += fast.told.explained;
    if (::testing::Test::HasFailure()) return;
  }
  // The lists are short: the straightforward run tried every pair and set against the indexes.
  EXPECT_GT(explained, 100);
}

// Lists of hundreds of cells, so that the indexed pass yields to the host (every 100th cell) in
// both passes and runs its indexes over many repeated values. At the yield that follows Range 1's
// 200th cell the user turns two options: Hide Comments, which each later marking reads, and
// Reverse Sign, which a run takes once at its start. The indexed pass yields right after that
// cell; the straightforward one yields inside the counting of the first later cell that it counts,
// before that cell is marked, so both runs mark every later cell under the new comment option.
TEST(DifferentialTest, LongListsAndOptionsTurnedAtAYield) {
  std::mt19937 rng(20261209);
  for (int trial = 0; trial < 10; ++trial) {
    std::uniform_int_distribution<unsigned> pick_options(0, 127);
    const unsigned options = pick_options(rng);
    const bool same_sheet = trial % 2 == 0;
    std::uniform_int_distribution<int> size(210, 420);
    const int n1 = size(rng), n2 = size(rng);
    const std::mt19937 seed = rng;

    World fast, slow;
    std::mt19937 rng_fast = seed, rng_slow = seed;
    Build(fast, rng_fast, same_sheet, n1, n2, options);
    Build(slow, rng_slow, same_sheet, n1, n2, options);
    rng = rng_fast;

    // The host may copy its hook before it calls it: the hook's state lives outside it.
    const auto turn_after = [](World& w, int cells, std::shared_ptr<bool> turned) {
      w.mem.SetYieldHook([&w, cells, turned] {
        const state::Counters& c = w.state.counters;
        if (*turned || c.count1 + c.hidden1 < cells) return;
        *turned = true;
        state::Options& o = w.state.options;
        o.hide_comments = o.hide_comments == state::kFalse ? state::kTrue : state::kFalse;
        o.reverse_sign = o.reverse_sign == state::kFalse ? state::kTrue : state::kFalse;
      });
    };
    turn_after(fast, 200, std::make_shared<bool>(false));
    turn_after(slow, 201, std::make_shared<bool>(false));

    MatchRanges(fast.listener, fast.range1, fast.range2, state::Algorithm::kIndexed);
    MatchRanges(slow.listener, slow.range1, slow.range2, state::Algorithm::kStraightforward);

    // Each range holds its list and one blank cell after it.
    EXPECT_GE(fast.mem.yields(), static_cast<std::uint64_t>((n1 + 1) / 100 + (n2 + 1) / 100))
        << trial;
    EXPECT_NE(fast.state.options.hide_comments, (options & 64) != 0 ? state::kTrue : state::kFalse)
        << "the option was not turned in trial " << trial;
    ExpectSameRuns(fast, slow, same_sheet,
                   "long trial " + std::to_string(trial) + " options " + std::to_string(options));
    if (::testing::Test::HasFailure()) return;
  }
}

}  // namespace
}  // namespace quorvane::testing
