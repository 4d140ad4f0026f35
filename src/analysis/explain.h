// Explaining more of the mismatches: after the rounding, transposition and year tests, the marked
// number cells of Range 1 and Range 2 are searched for sign errors, decimal slides, transpositions
// in the amount that the text test cannot see, and totals split into two or three entries of the
// other list or merged from them.
//
// The search is pure: it takes the amounts in whole cents with the cells' positions and answers
// the findings, in an order that depends on nothing but its input. Reading the cells, writing the
// marks and counting are the caller's. Every sum is taken in whole cents, never in doubles.
//
// What a finding claims, and the order in which they are made:
//   1. sign: x in one list and -x in the other (only when sign errors are looked for);
//   2. slide: x against 10x, 100x, x/10 or x/100, exact to the cent, of the same sign;
//   3. transposition: the two amounts' two-decimal digit strings (the digits of the absolute
//      amount in cents, at least three of them: 59.01 is "5901", 0.05 is "005") have the same
//      length and differ by the exchange of one pair of digits, adjacent or not, of the same sign.
//      Any rearrangement of the digits would be found between two lists of thousands of amounts by
//      chance alone; the exchange of two digits is the slip a person makes when typing.
//   4. split: one cell of Range 1 equals the sum of two or three cells of Range 2; then merge: one
//      cell of Range 2 equals the sum of two or three cells of Range 1. The parts have the sign of
//      the total (a batch of payments, or of receipts): a total of mixed signs is not looked for,
//      as the totals of mixed signs are where the chance ones crowd.
// Each cell takes part in at most one finding. The pair kinds take, for each free cell of Range 1
// in order, the first free cell of Range 2 (in order) that fits; a pair that the first stage of
// the diagnosis already reported is passed over. When a pair kind fits such a pair (a slide whose
// texts keep their length, two digits exchanged), the first stage has explained its two cells:
// whatever became of either, they take part in no total. A pair of the same characters that no
// kind fits (three digits moved, or any anagram) leaves its cells free.
// A total reached by exactly one pair of free cells is explained by that pair, whatever sets of
// three reach it: a sum of three meets a given total by chance far more often than a sum of two.
// A total that no pair reaches is explained by its one set of three. A total that two pairs reach,
// or (with no pair) two sets of three, even sets of equal amounts, is ambiguous and gets no
// finding, and its cells stay free.
// The totals are taken in two sweeps, each over the free cells of Range 1 as totals of Range 2's
// and then the free cells of Range 2 as totals of Range 1's, in order: the first takes the totals
// that a pair reaches, the second the rest, so that a chance sum of three does not take a cell
// from a pair.
// A sum told from chance: among many amounts, some set meets almost any total by chance (a
// thousand amounts a list of up to a million make half a million sums of two and 166 million of
// three). For each free cell as a total, the search reckons from the free amounts of the other
// list how many sets of two and of three would reach it by chance (their number times the chance
// that amounts spread as these are sum to it to the cent). The findings of a size are made only
// up to the largest expectation at which the totals up to it expect together at most a fiftieth
// of the findings up to it (kChanceShare): where the findings are many against what chance
// gives, they stand; where chance would give as many, none is made, and for a total past the
// limit the sets of three are not looked for. The findings that would be made are first found on
// a copy, with the limit that every total found once would give (no limit is higher), its second
// sweep taking the totals by their expectation for sets of three, the least first, and looking
// for no more sets of three once no limit could allow them; the search then runs again, as
// described above, with the limits those findings allow.
//
// Bounded on any input: the pair kinds look amounts up in hashes and pass over each pair the first
// stage reported at most once a kind, and over no cell taken before; each reported pair is then
// looked at once; the expectations take a histogram of at most 512 bins a list and sign. The
// searches for totals walk the sorted amounts, count their steps (one per amount they move to)
// against one budget and stop when the steps pass it: in the first search no total is then
// explained, in the second the total at hand and every later one stay unexplained.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane::analysis {

// The largest amount in cents that takes part: every amount that a double holds exactly to the
// cent lies within it, and a hundred times it or a sum of three of them stays inside 64 bits. A
// larger amount takes part in nothing.
inline constexpr std::int64_t kMaxExplainedCents = (std::int64_t{1} << 53) - 1;
static_assert(kMaxExplainedCents <= std::numeric_limits<std::int64_t>::max() / 100,
              "a slide of 100 must not overflow");
static_assert(kMaxExplainedCents <= std::numeric_limits<std::int64_t>::max() / 3,
              "a sum of three must not overflow");

// Steps of the search for totals in one run: about a tenth of a second on a current machine.
inline constexpr std::int64_t kDefaultExplainSteps = 30'000'000;

// A marked number cell: its position in its range (unique within the range) and its amount as the
// comparison compares it (after its rounding and any reversal of signs), in whole cents. Zero and
// amounts beyond kMaxExplainedCents take part in nothing.
struct CentsCell {
  std::int64_t index = 0;
  std::int64_t cents = 0;
};

enum class ExplainKind { kSign, kSlide, kTransposition, kSplit, kMerge };

// The name of a kind as the mismatch report writes it: "sign", "slide", "transposition", "split",
// "merge".
std::string_view ExplainKindName(ExplainKind kind);

// One finding: the cells of Range 1 and of Range 2 it names, each in ascending order. A pair kind
// names one of each; a split names one cell of Range 1 and its two or three parts in Range 2, a
// merge the other way round.
struct Explanation {
  ExplainKind kind = ExplainKind::kSign;
  std::vector<std::int64_t> cells1;
  std::vector<std::int64_t> cells2;
  friend bool operator==(const Explanation&, const Explanation&) = default;
};

struct ExplainInput {
  std::vector<CentsCell> cells1;  // the marked number cells of Range 1
  std::vector<CentsCell> cells2;  // and of Range 2
  // The pairs (position in Range 1, position in Range 2) the first stage reported.
  std::vector<std::pair<std::int64_t, std::int64_t>> first_stage_pairs;
  bool sign_errors = true;  // false when the comparison ignores signs
  std::int64_t step_budget = kDefaultExplainSteps;
};

struct ExplainResult {
  std::vector<Explanation> explanations;  // in the order they were made
  std::int64_t pair_steps = 0;            // amounts and cells looked at by the pair kinds
  std::int64_t total_steps = 0;           // steps of both searches for totals, against the budget
  bool complete = true;                   // false when the budget ended the search for totals
};

// The amount of a value in whole cents, when the value is the double nearest to a whole number of
// cents within kMaxExplainedCents (the typed 59.01 is; 0.1 + 0.2 is not). A value that is not
// takes part in nothing: the search claims equality to the cent, which such a value cannot have.
std::optional<std::int64_t> WholeCents(double value);

// The findings, found through hashes and sorted lists of the amounts, the totals within the budget.
ExplainResult ExplainMismatches(const ExplainInput& input);

// The same findings found by trying every pair and every set of two and three cells, for short
// lists only (the work grows with the cube of their length); the budget is not used.
ExplainResult ExplainMismatchesByTrial(const ExplainInput& input);

}  // namespace quorvane::analysis
