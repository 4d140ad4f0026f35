#include "analysis/explain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace quorvane::analysis {

void PrintTo(const Explanation& e, std::ostream* out) {
  *out << ExplainKindName(e.kind) << " [";
  for (const std::int64_t c : e.cells1) *out << ' ' << c;
  *out << " ] [";
  for (const std::int64_t c : e.cells2) *out << ' ' << c;
  *out << " ]";
}

namespace {

using Kind = ExplainKind;

// Cells at positions 1, 2, 3... holding the given amounts in cents.
std::vector<CentsCell> Cells(const std::vector<std::int64_t>& cents) {
  std::vector<CentsCell> cells;
  for (std::size_t i = 0; i < cents.size(); ++i) {
    cells.push_back({static_cast<std::int64_t>(i) + 1, cents[i]});
  }
  return cells;
}

ExplainInput Input(const std::vector<std::int64_t>& cents1,
                   const std::vector<std::int64_t>& cents2) {
  ExplainInput input;
  input.cells1 = Cells(cents1);
  input.cells2 = Cells(cents2);
  return input;
}

// The findings of both searches, which must agree.
std::vector<Explanation> Explain(const ExplainInput& input) {
  const ExplainResult fast = ExplainMismatches(input);
  EXPECT_TRUE(fast.complete);
  EXPECT_EQ(fast.explanations, ExplainMismatchesByTrial(input).explanations);
  return fast.explanations;
}

std::vector<Explanation> Explain(const std::vector<std::int64_t>& cents1,
                                 const std::vector<std::int64_t>& cents2) {
  return Explain(Input(cents1, cents2));
}

Explanation E(Kind kind, std::vector<std::int64_t> cells1, std::vector<std::int64_t> cells2) {
  return {kind, std::move(cells1), std::move(cells2)};
}

std::string Describe(const std::vector<Explanation>& explanations) {
  std::ostringstream text;
  for (const Explanation& e : explanations) {
    PrintTo(e, &text);
    text << '\n';
  }
  return text.str();
}

TEST(WholeCents, TakesValuesExactToTheCentOnly) {
  EXPECT_EQ(WholeCents(59.01), 5901);
  EXPECT_EQ(WholeCents(-12.5), -1250);
  EXPECT_EQ(WholeCents(0.07), 7);
  EXPECT_EQ(WholeCents(1234567.89), 123456789);
  EXPECT_EQ(WholeCents(0.3), 30);
  EXPECT_EQ(WholeCents(0.1 + 0.2), std::nullopt);  // a sum's remainder is not a cent
  EXPECT_EQ(WholeCents(12.345), std::nullopt);
  EXPECT_EQ(WholeCents(90071992547409.91), kMaxExplainedCents);
  EXPECT_EQ(WholeCents(1e15), std::nullopt);  // beyond what a double holds to the cent
  EXPECT_EQ(WholeCents(-1e300), std::nullopt);
  EXPECT_EQ(WholeCents(std::numeric_limits<double>::infinity()), std::nullopt);
  EXPECT_EQ(WholeCents(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
}

TEST(ExplainMismatches, FindsEachKindWithItsPartners) {
  // Range 1: 12.50, 77.00, 59.01, 310.00, 18.20, 8.00, 5.00
  // Range 2: -77.00, 1250.00, 59.10, 100.00, 210.00, 13.00, 6.50, 3.50, 2.75
  EXPECT_EQ(Explain({1250, 7700, 5901, 31000, 1820, 800, 500},
                    {-7700, 125000, 5910, 10000, 21000, 1300, 650, 350, 275}),
            (std::vector<Explanation>{E(Kind::kSign, {2}, {1}), E(Kind::kSlide, {1}, {2}),
                                      E(Kind::kTransposition, {3}, {3}),
                                      E(Kind::kSplit, {4}, {4, 5}), E(Kind::kMerge, {6, 7}, {6})}))
      << "18.20, 6.50, 3.50 and 2.75 stay unexplained";
}

TEST(ExplainMismatches, SlidesGoBothWaysByTenAndAHundredToTheCent) {
  EXPECT_EQ(Explain({1250, 125000, 4000, 4000, 333}, {12500, 1250, 400, 40, 33}),
            (std::vector<Explanation>{E(Kind::kSlide, {1}, {1}), E(Kind::kSlide, {2}, {2}),
                                      E(Kind::kSlide, {3}, {3}), E(Kind::kSlide, {4}, {4})}))
      << "3.33 is not ten times 0.33";
  EXPECT_TRUE(Explain({1250}, {-12500}).empty()) << "a slide keeps its sign";
}

TEST(ExplainMismatches, TranspositionIsOneExchangeOfTwoDigitsOfTheTwoDecimalForm) {
  // 59.01/59.10 (the text test sees 59.01 and 59.1), 1234.56/1634.52 (digits apart),
  // -0.59/-5.09 (across the decimal point of a small amount).
  EXPECT_EQ(Explain({5901, 123456, -59}, {5910, 163452, -509}),
            (std::vector<Explanation>{E(Kind::kTransposition, {1}, {1}),
                                      E(Kind::kTransposition, {2}, {2}),
                                      E(Kind::kTransposition, {3}, {3})}));
  EXPECT_TRUE(Explain({12345}, {13254}).empty()) << "two exchanges";
  EXPECT_TRUE(Explain({12345}, {-13245}).empty()) << "signs differ";
  EXPECT_TRUE(Explain({12345}, {31245}).empty()) << "three digits moved";
  // 1000.00 against 100.00 is a slide; the exchange that brings a zero to the front makes a
  // shorter amount, never a transposition.
  EXPECT_EQ(Explain({100000}, {10000}), (std::vector<Explanation>{E(Kind::kSlide, {1}, {1})}));
  EXPECT_TRUE(Explain({105000}, {15000}).empty());
}

TEST(ExplainMismatches, SignErrorsOnlyWhenLookedFor) {
  ExplainInput input = Input({4200, 4200}, {-4200, -42000});
  EXPECT_EQ(Explain(input), (std::vector<Explanation>{E(Kind::kSign, {1}, {1})}))
      << "-420.00 is no slide of 42.00: the sign differs";
  input.sign_errors = false;
  EXPECT_TRUE(Explain(input).empty());
}

TEST(ExplainMismatches, ZeroAndAmountsBeyondTheLimitTakePartInNothing) {
  EXPECT_TRUE(Explain({0, 0}, {0, 0, 0}).empty());
  constexpr std::int64_t kHuge = kMaxExplainedCents + 1;
  EXPECT_TRUE(Explain({kHuge, -kHuge, std::numeric_limits<std::int64_t>::min(),
                       std::numeric_limits<std::int64_t>::max()},
                      {-kHuge, kHuge / 2, kHuge / 2 + 1, std::numeric_limits<std::int64_t>::min(),
                       std::numeric_limits<std::int64_t>::max()})
                  .empty());
  // At the limit the sums, slides and signs are still exact.
  const std::int64_t third = kMaxExplainedCents / 3;
  EXPECT_EQ(
      Explain({kMaxExplainedCents, third * 3}, {-kMaxExplainedCents, third, third + 1, third - 1}),
      (std::vector<Explanation>{E(Kind::kSign, {1}, {1}), E(Kind::kSplit, {2}, {2, 3, 4})}));
}

TEST(ExplainMismatches, EachCellTakesPartInOneFindingTheFirstKindAndCellWinning) {
  // 5.00 is both -5.00's sign error and 50.00's slide: the sign error comes first, and the
  // second 5.00 takes the slide. The third finds nothing left.
  EXPECT_EQ(Explain({500, 500, 500}, {5000, -500}),
            (std::vector<Explanation>{E(Kind::kSign, {1}, {2}), E(Kind::kSlide, {2}, {1})}));
  // Among equal partners the first in order; a cell of Range 2 pairs once.
  EXPECT_EQ(Explain({-900, -900}, {900, 900, 900}),
            (std::vector<Explanation>{E(Kind::kSign, {1}, {1}), E(Kind::kSign, {2}, {2})}));
  // A cell that a pair took is no part of a total: 30.00 = 10.00 + 20.00 would be a split, but
  // 10.00 is the sign error of -10.00.
  EXPECT_EQ(Explain({3000, -1000}, {1000, 2000}),
            (std::vector<Explanation>{E(Kind::kSign, {2}, {1})}));
  // Positions, not the order given, decide.
  ExplainInput input;
  input.cells1 = {{7, 300}};
  input.cells2 = {{9, -300}, {4, -300}};
  EXPECT_EQ(Explain(input), (std::vector<Explanation>{E(Kind::kSign, {7}, {4})}));
}

TEST(ExplainMismatches, PairsTheFirstStageReportedAreNotReportedAgain) {
  // 123.45 against 1234.50 has the same characters in texts of equal length: the first stage
  // reported it as a transposition, and it is no slide here; the second 1234.50 still is.
  ExplainInput input = Input({12345, 12345}, {123450, 123450});
  input.first_stage_pairs = {{1, 1}, {2, 1}};
  EXPECT_EQ(Explain(input), (std::vector<Explanation>{E(Kind::kSlide, {1}, {2})}));
  input.first_stage_pairs = {{1, 1}, {1, 2}};
  EXPECT_EQ(Explain(input), (std::vector<Explanation>{E(Kind::kSlide, {2}, {1})}));
  // A cell the first stage paired with another takes part all the same.
  input.first_stage_pairs = {{1, 7}, {9, 2}};
  EXPECT_EQ(Explain(input),
            (std::vector<Explanation>{E(Kind::kSlide, {1}, {1}), E(Kind::kSlide, {2}, {2})}));
}

TEST(ExplainMismatches, TotalsOfTwoAndThreeBothWays) {
  EXPECT_EQ(Explain({10000, -2500, 7, 11}, {6000, 4000, -1000, -1500}),
            (std::vector<Explanation>{E(Kind::kSplit, {1}, {1, 2}), E(Kind::kSplit, {2}, {3, 4})}));
  EXPECT_EQ(Explain({111, 222, 333, 5}, {666, 1}),
            (std::vector<Explanation>{E(Kind::kMerge, {1, 2, 3}, {1})}));
  // A total's parts have its sign: 10.00 = 15.00 - 5.00 is not looked for.
  EXPECT_TRUE(Explain({1000}, {1500, -500}).empty());
  // Equal amounts, each cell once: 2 x 4.00 and 3 x 1.00.
  EXPECT_EQ(
      Explain({800, 300}, {400, 400, 100, 100, 100}),
      (std::vector<Explanation>{E(Kind::kSplit, {1}, {1, 2}), E(Kind::kSplit, {2}, {3, 4, 5})}));
}

TEST(ExplainMismatches, PairsAreTakenBeforeSetsOfThree) {
  // 6.00 = 1.00 + 2.00 + 3.00 comes first in order, but 7.50 = 1.00 + 6.50 takes the 1.00.
  EXPECT_EQ(Explain({600, 750}, {100, 200, 300, 650}),
            (std::vector<Explanation>{E(Kind::kSplit, {2}, {1, 4})}));
  // Merges too: 6.00 of Range 2 is left without its 1.00.
  EXPECT_EQ(Explain({100, 200, 300, 650}, {600, 750}),
            (std::vector<Explanation>{E(Kind::kMerge, {1, 4}, {2})}));
}

TEST(ExplainMismatches, ATotalThatTwoSetsReachIsNeverGuessed) {
  // 3.00 = 1.00 + 2.00 with two cells of 2.00: which one is not known.
  EXPECT_TRUE(Explain({300}, {100, 200, 200}).empty());
  EXPECT_TRUE(Explain({1100}, {200, 900, 400, 700}).empty()) << "two pairs";
  EXPECT_TRUE(Explain({1300}, {400, 900, 150, 1150, 250}).empty()) << "two pairs and a triple";
  EXPECT_TRUE(Explain({300}, {100, 100, 100, 100}).empty()) << "three of four equal cells";
  EXPECT_EQ(Explain({300}, {100, 100, 100}),
            (std::vector<Explanation>{E(Kind::kSplit, {1}, {1, 2, 3})}));
  // The parts of an ambiguous total stay free: one of the 2.00 is then the merge of 1.50 and
  // 0.50, and with it taken, the 3.00 is reached once.
  EXPECT_EQ(Explain({300, 150, 50}, {100, 200, 200}),
            (std::vector<Explanation>{E(Kind::kMerge, {2, 3}, {2}), E(Kind::kSplit, {1}, {1, 3})}));
  // Two totals of the same amount are the first in order and then nothing: the parts are known.
  EXPECT_EQ(Explain({300, 300}, {100, 200}),
            (std::vector<Explanation>{E(Kind::kSplit, {1}, {1, 2})}));
}

TEST(ExplainMismatches, ATotalThatOnePairReachesIsThatPairWhateverSetsOfThreeReachIt) {
  // 13.00 = 4.00 + 9.00 = 9.00 + 1.50 + 2.50: the pair, both ways.
  EXPECT_EQ(Explain({1300}, {400, 900, 150, 250}),
            (std::vector<Explanation>{E(Kind::kSplit, {1}, {1, 2})}));
  EXPECT_EQ(Explain({400, 900, 150, 250}, {1300}),
            (std::vector<Explanation>{E(Kind::kMerge, {1, 2}, {1})}));
  // In the second sweep too: 13.00 is reached by two pairs until the merge 4.00 = 2.50 + 1.50
  // takes a cell of one of them; then by 4.50 + 8.50 alone, though 4.50 + 5.00 + 3.50 reach it.
  EXPECT_EQ(Explain({1300, 250, 150}, {400, 900, 450, 850, 500, 350}),
            (std::vector<Explanation>{E(Kind::kMerge, {2, 3}, {1}), E(Kind::kSplit, {1}, {3, 4})}));
}

// A pair the first stage reported that one of the pair kinds would have reported (a slide whose
// texts keep their length, an exchange of two digits) explains its cells: they take part in no
// total, whatever became of the partner. A pair of the same characters otherwise leaves them free.
TEST(ExplainMismatches, CellsOfAPairTheFirstStageReportedTakePartInNoTotal) {
  // 456.70 is the slide of 45.67: 500.00 = 456.70 + 43.30 is not looked for.
  ExplainInput input = Input({4567, 50000}, {45670, 4330});
  input.first_stage_pairs = {{1, 1}};
  EXPECT_TRUE(Explain(input).empty());
  // Nor when 45.67 took part in a sign error instead.
  input = Input({4567, 50000}, {45670, 4330, -4567});
  input.first_stage_pairs = {{1, 1}};
  EXPECT_EQ(Explain(input), (std::vector<Explanation>{E(Kind::kSign, {1}, {3})}));
  // 132.45 is 123.45 with two digits exchanged: 255.45 = 123.45 + 132.00 is no merge.
  input = Input({12345, 13200}, {13245, 25545});
  input.first_stage_pairs = {{1, 1}};
  EXPECT_TRUE(Explain(input).empty());
  input.first_stage_pairs = {};
  EXPECT_EQ(Explain(input), (std::vector<Explanation>{E(Kind::kTransposition, {1}, {1})}));
  // 312.45 has the characters of 123.45 but three digits moved: the cells stay free.
  input = Input({12345, 55590}, {31245, 24345});
  input.first_stage_pairs = {{1, 1}};
  EXPECT_EQ(Explain(input), (std::vector<Explanation>{E(Kind::kSplit, {2}, {1, 2})}));
}

// A thousand amounts of 1.00 to 999,999.99 a list, and in the other the same amounts each moved by
// 0.01, in another order: no error of any kind the search looks for, and about a sum of two or of
// three for many totals by chance alone. Nothing may be found, and the sets of three, which chance
// would meet for most totals here, are not even looked for.
TEST(ExplainMismatches, DenseAmountsWithoutErrorsGetNoFinding) {
  std::mt19937_64 random(1000);
  std::vector<std::int64_t> cents1;
  std::vector<std::int64_t> cents2;
  for (int i = 0; i < 1000; ++i) {
    const std::int64_t cents = std::uniform_int_distribution<std::int64_t>(100, 99'999'999)(random);
    cents1.push_back(cents);
    cents2.push_back(cents + 1);
  }
  std::shuffle(cents2.begin(), cents2.end(), random);
  const ExplainInput input = Input(cents1, cents2);
  const ExplainResult result = ExplainMismatches(input);
  EXPECT_TRUE(result.complete);
  EXPECT_TRUE(result.explanations.empty()) << Describe(result.explanations);
  // Each total walks over the pairs of its list in two sweeps of two searches; 30,000,000 steps
  // were not enough for the sets of three.
  EXPECT_LT(result.total_steps, 4 * 2000 * 1000);
  // Every 25th of the same amounts, and a split and a merge of three: with forty amounts a list
  // chance meets few totals, and both are found.
  ExplainInput sparse;
  for (int i = 0; i < 1000; i += 25) {
    sparse.cells1.push_back({i + 1, cents1[static_cast<std::size_t>(i)]});
    sparse.cells2.push_back({i + 1, cents2[static_cast<std::size_t>(i)]});
  }
  sparse.cells1.push_back({2001, 1'234'567});
  sparse.cells2.push_back({2002, 1'000'000});
  sparse.cells2.push_back({2003, 200'000});
  sparse.cells2.push_back({2004, 34'567});
  sparse.cells2.push_back({2005, 7'654'321});
  sparse.cells1.push_back({2006, 7'000'000});
  sparse.cells1.push_back({2007, 600'000});
  sparse.cells1.push_back({2008, 54'321});
  EXPECT_EQ(Explain(sparse),
            (std::vector<Explanation>{E(Kind::kSplit, {2001}, {2002, 2003, 2004}),
                                      E(Kind::kMerge, {2006, 2007, 2008}, {2005})}));
}

// Totals of Range 1 that no set reaches, amid 20 parts that cost every total many steps, and the
// totals 3.00 = 1.00 + 2.00 before them and 28.00 = 4.00 + 8.00 + 16.00 after them.
ExplainInput Costly() {
  std::vector<std::int64_t> parts;
  for (int k = 0; k < 20; ++k) parts.push_back(std::int64_t{100} << k);
  std::vector<std::int64_t> totals = {300};
  for (int k = 0; k < 3; ++k) totals.push_back((std::int64_t{100} << 20) + 2 * k + 1);
  totals.push_back(2800);
  return Input(totals, parts);
}

TEST(ExplainMismatches, TheBudgetsEndLeavesTheRestUnexplained) {
  ExplainInput input = Costly();
  const ExplainResult whole = ExplainMismatches(input);
  ASSERT_TRUE(whole.complete);
  EXPECT_EQ(whole.explanations, (std::vector<Explanation>{E(Kind::kSplit, {1}, {1, 2}),
                                                          E(Kind::kSplit, {5}, {3, 4, 5})}));
  EXPECT_EQ(whole.explanations, ExplainMismatchesByTrial(input).explanations);
  EXPECT_GT(whole.total_steps, 3 * 20) << "the unreachable totals must cost steps";

  // Any smaller budget ends the search at the total at hand: what was found before stays, nothing
  // after it is found.
  bool first_only = false;
  for (std::int64_t budget = 0; budget <= whole.total_steps; ++budget) {
    input.step_budget = budget;
    const ExplainResult cut = ExplainMismatches(input);
    const bool enough = budget == whole.total_steps;
    EXPECT_EQ(cut.complete, enough) << budget;
    EXPECT_EQ(cut.total_steps, enough ? budget : budget + 1);
    ASSERT_LE(cut.explanations.size(), whole.explanations.size());
    EXPECT_TRUE(
        std::equal(cut.explanations.begin(), cut.explanations.end(), whole.explanations.begin()))
        << budget;
    first_only = first_only || cut.explanations.size() == 1;
  }
  EXPECT_TRUE(first_only);
}

// Thousands of mismatches that share a handful of amounts: every total is reached many ways and
// is found ambiguous within a few steps, and the pair kinds walk each amount's cells once.
TEST(ExplainMismatches, FewSharedAmountsCostStepsInProportionToTheCells) {
  constexpr int kCells = 5000;
  const std::vector<std::int64_t> amounts = {1000, 2000, 3000, 5000, 10000, -4000, -1000};
  std::vector<std::int64_t> cents1;
  std::vector<std::int64_t> cents2;
  for (int i = 0; i < kCells; ++i) {
    cents1.push_back(amounts[static_cast<std::size_t>(i * 7 / 3) % amounts.size()]);
    cents2.push_back(amounts[static_cast<std::size_t>(i * 5 / 2 + 3) % amounts.size()]);
  }
  const ExplainResult result = ExplainMismatches(Input(cents1, cents2));
  EXPECT_TRUE(result.complete);
  const std::int64_t distinct = static_cast<std::int64_t>(amounts.size());
  EXPECT_LE(result.total_steps, 2 * kCells * (distinct + distinct * distinct));
  EXPECT_LE(result.pair_steps, 2 * kCells * 20);
  EXPECT_FALSE(result.explanations.empty()) << "signs and slides pair up";
  for (const Explanation& e : result.explanations) {
    EXPECT_TRUE(e.kind != Kind::kSplit && e.kind != Kind::kMerge) << Describe({e});
  }
}

// The first stage reports the pairs of equal digits up to a cap on each cell: here every cell of
// 123.45 with the first hundred cells of 132.45. Each cell of Range 1 then passes over those
// hundred, and over none of the cells taken before it.
TEST(ExplainMismatches, PairsTakenAndPairsReportedAreWalkedOverOnce) {
  constexpr int kCells = 5000;
  ExplainInput input =
      Input(std::vector<std::int64_t>(kCells, 12345), std::vector<std::int64_t>(kCells, 13245));
  for (std::int64_t i = 1; i <= kCells; ++i) {
    for (std::int64_t j = 1; j <= 100; ++j) input.first_stage_pairs.emplace_back(i, j);
  }
  const ExplainResult result = ExplainMismatches(input);
  ASSERT_EQ(result.explanations.size(), std::size_t{kCells - 100});
  EXPECT_EQ(result.explanations.front(), E(Kind::kTransposition, {1}, {101}));
  EXPECT_EQ(result.explanations.back(), E(Kind::kTransposition, {kCells - 100}, {kCells}));
  EXPECT_LE(result.pair_steps, kCells * (100 + 50));
}

TEST(ExplainMismatches, DistinctAmountsWithoutEndStopAtTheBudget) {
  std::vector<std::int64_t> totals;
  std::vector<std::int64_t> parts;
  for (int i = 0; i < 3000; ++i) {
    totals.push_back(10'000'000 + 2 * i + 1);
    parts.push_back(1000 + 2 * i);  // even: no odd total is reached
  }
  ExplainInput input = Input(totals, parts);
  input.step_budget = 1'000'000;
  const ExplainResult result = ExplainMismatches(input);
  EXPECT_FALSE(result.complete);
  EXPECT_EQ(result.total_steps, input.step_budget + 1);
  EXPECT_TRUE(result.explanations.empty());
}

// Short lists full of related amounts: signs, slides, exchanged digits, sums of two and three,
// repeated amounts, zeros and amounts beyond the limit, in random positions, with random pairs of
// the first stage. Both searches must make the same findings in the same order.
TEST(ExplainMismatches, SearchAndTrialAgreeOnRandomLists) {
  std::mt19937_64 random(20261209);
  const auto pick = [&random](std::size_t n) {
    return static_cast<std::size_t>(std::uniform_int_distribution<std::size_t>(0, n - 1)(random));
  };
  int findings = 0;
  for (int round = 0; round < 4100; ++round) {
    // The last hundred rounds are dense: small amounts that meet many totals by chance, where the
    // expectations of chance sets decide.
    const bool dense = round >= 4000;
    std::vector<std::int64_t> seeds;
    for (int s = 0; s < 4; ++s) {
      std::int64_t seed = std::uniform_int_distribution<std::int64_t>(1, dense ? 40 : 3000)(random);
      if (pick(3) == 0) seed *= 10;
      if (pick(4) == 0) seed = -seed;
      seeds.push_back(seed);
    }
    const auto related = [&]() -> std::int64_t {
      const std::int64_t x = seeds[pick(seeds.size())];
      const std::int64_t y = seeds[pick(seeds.size())];
      const std::int64_t z = seeds[pick(seeds.size())];
      switch (pick(12)) {
        case 0:
          return -x;
        case 1:
          return 10 * x;
        case 2:
          return 100 * x;
        case 3:
          return x % 10 == 0 ? x / 10 : x;
        case 4: {
          std::string digits = std::to_string(x < 0 ? -x : x);
          if (digits.size() < 2) return x;
          std::swap(digits[pick(digits.size())], digits[pick(digits.size())]);
          const std::int64_t swapped = std::stoll(digits);
          return x < 0 ? -swapped : swapped;
        }
        case 5:
          return x + y;
        case 6:
          return x + y + z;
        case 7:
          return pick(8) == 0 ? 0 : kMaxExplainedCents - pick(3);
        default:
          return x;
      }
    };
    const int sizes = round < 3800 ? 9 : 40;
    ExplainInput input;
    for (std::vector<CentsCell>* cells : {&input.cells1, &input.cells2}) {
      const std::size_t n = pick(static_cast<std::size_t>(sizes));
      std::vector<std::int64_t> places;
      for (std::size_t i = 0; i < n; ++i) places.push_back(static_cast<std::int64_t>(3 * i + 2));
      std::shuffle(places.begin(), places.end(), random);
      for (const std::int64_t place : places) cells->push_back({place, related()});
    }
    if (dense) {
      for (std::vector<CentsCell>* cells : {&input.cells1, &input.cells2}) {
        for (int i = 0; i < 30; ++i) {
          cells->push_back({static_cast<std::int64_t>(1000 + 3 * i),
                            std::uniform_int_distribution<std::int64_t>(1, 40)(random)});
        }
      }
    }
    for (std::size_t p = pick(7); p > 0 && !input.cells1.empty() && !input.cells2.empty(); --p) {
      input.first_stage_pairs.emplace_back(input.cells1[pick(input.cells1.size())].index,
                                           input.cells2[pick(input.cells2.size())].index);
    }
    input.sign_errors = pick(4) != 0;
    const ExplainResult fast = ExplainMismatches(input);
    ASSERT_TRUE(fast.complete);
    const ExplainResult trial = ExplainMismatchesByTrial(input);
    ASSERT_EQ(fast.explanations, trial.explanations) << "round " << round << "\nsearch:\n"
                                                     << Describe(fast.explanations) << "trial:\n"
                                                     << Describe(trial.explanations);
    findings += static_cast<int>(fast.explanations.size());
  }
  EXPECT_GT(findings, 4000) << "the lists must be rich in findings to test anything";
}

}  // namespace
}  // namespace quorvane::analysis
