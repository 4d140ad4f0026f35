#include "analysis/explain.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvane::analysis {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::int64_t Abs(std::int64_t cents) { return cents < 0 ? -cents : cents; }
int Sign(std::int64_t cents) { return cents < 0 ? 1 : 0; }  // 0 positive, 1 negative

// The cells that take part, in the order of their positions, and what is shared by both searches:
// which cells are taken and which pairs the first stage reported.
class Board {
 public:
  explicit Board(const ExplainInput& input) : reported_(input.first_stage_pairs) {
    Take(input.cells1, cells_[0]);
    Take(input.cells2, cells_[1]);
    std::sort(reported_.begin(), reported_.end());
    used_[0].assign(cells_[0].size(), false);
    used_[1].assign(cells_[1].size(), false);
  }

  const std::vector<CentsCell>& cells(int range) const { return cells_[range]; }
  std::int64_t cents(int range, std::size_t at) const { return cells_[range][at].cents; }
  bool used(int range, std::size_t at) const { return used_[range][at]; }
  void Use(int range, std::size_t at) { used_[range][at] = true; }

  // The place of the cell at this position of the range, or kNone when none takes part.
  std::size_t Place(int range, std::int64_t index) const {
    const std::vector<CentsCell>& cells = cells_[range];
    const auto it =
        std::lower_bound(cells.begin(), cells.end(), index,
                         [](const CentsCell& cell, std::int64_t i) { return cell.index < i; });
    if (it == cells.end() || it->index != index) return kNone;
    return static_cast<std::size_t>(it - cells.begin());
  }

  const std::vector<std::pair<std::int64_t, std::int64_t>>& reported() const { return reported_; }

  bool Reported(std::size_t at1, std::size_t at2) const {
    return std::binary_search(reported_.begin(), reported_.end(),
                              std::make_pair(cells_[0][at1].index, cells_[1][at2].index));
  }

  // Records a finding on cells given by their places, and takes them.
  void Explain(ExplainKind kind, std::vector<std::size_t> at1, std::vector<std::size_t> at2,
               std::vector<Explanation>& explanations) {
    Explanation e{kind, {}, {}};
    for (const std::size_t at : at1) {
      Use(0, at);
      e.cells1.push_back(cells_[0][at].index);
    }
    for (const std::size_t at : at2) {
      Use(1, at);
      e.cells2.push_back(cells_[1][at].index);
    }
    std::sort(e.cells1.begin(), e.cells1.end());
    std::sort(e.cells2.begin(), e.cells2.end());
    explanations.push_back(std::move(e));
  }

 private:
  static void Take(const std::vector<CentsCell>& given, std::vector<CentsCell>& cells) {
    for (const CentsCell& cell : given) {
      // Compared both ways: the negative of the least 64-bit integer does not exist.
      if (cell.cents != 0 && cell.cents <= kMaxExplainedCents &&
          cell.cents >= -kMaxExplainedCents) {
        cells.push_back(cell);
      }
    }
    std::stable_sort(cells.begin(), cells.end(),
                     [](const CentsCell& l, const CentsCell& r) { return l.index < r.index; });
  }

  std::array<std::vector<CentsCell>, 2> cells_;
  std::array<std::vector<bool>, 2> used_;
  std::vector<std::pair<std::int64_t, std::int64_t>> reported_;
};

// The digits of an amount's absolute value in cents, at least three of them.
std::string TwoDecimalDigits(std::int64_t cents) {
  std::string digits = std::to_string(Abs(cents));
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  return digits;
}

bool IsSign(std::int64_t x, std::int64_t y) { return y == -x; }

bool IsSlide(std::int64_t x, std::int64_t y) {
  return y == 10 * x || y == 100 * x || x == 10 * y || x == 100 * y;
}

bool IsTransposition(std::int64_t x, std::int64_t y) {
  if (Sign(x) != Sign(y) || x == y) return false;
  const std::string a = TwoDecimalDigits(x);
  const std::string b = TwoDecimalDigits(y);
  if (a.size() != b.size()) return false;
  std::vector<std::size_t> differ;
  for (std::size_t i = 0; i < a.size() && differ.size() <= 2; ++i) {
    if (a[i] != b[i]) differ.push_back(i);
  }
  return differ.size() == 2 && a[differ[0]] == b[differ[1]] && a[differ[1]] == b[differ[0]];
}

// The amounts that stand in a kind's relation to x.
std::vector<std::int64_t> SignPartners(std::int64_t x) { return {-x}; }

std::vector<std::int64_t> SlidePartners(std::int64_t x) {
  std::vector<std::int64_t> partners = {10 * x, 100 * x};
  if (x % 10 == 0) partners.push_back(x / 10);
  if (x % 100 == 0) partners.push_back(x / 100);
  return partners;
}

std::vector<std::int64_t> TranspositionPartners(std::int64_t x) {
  const std::string digits = TwoDecimalDigits(x);
  std::vector<std::int64_t> partners;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    for (std::size_t j = i + 1; j < digits.size(); ++j) {
      if (digits[i] == digits[j]) continue;
      std::string swapped = digits;
      std::swap(swapped[i], swapped[j]);
      // A leading zero makes a shorter amount, whose digits are not of this length.
      if (swapped.size() > 3 && swapped[0] == '0') continue;
      std::int64_t amount = 0;
      for (const char c : swapped) amount = amount * 10 + (c - '0');
      partners.push_back(x < 0 ? -amount : amount);
    }
  }
  return partners;
}

struct PairKind {
  ExplainKind kind;
  bool (*fits)(std::int64_t, std::int64_t);
  std::vector<std::int64_t> (*partners)(std::int64_t);
};

constexpr PairKind kSignKind{ExplainKind::kSign, IsSign, SignPartners};
constexpr PairKind kSlideKind{ExplainKind::kSlide, IsSlide, SlidePartners};
constexpr PairKind kTranspositionKind{ExplainKind::kTransposition, IsTransposition,
                                      TranspositionPartners};

std::vector<PairKind> PairKinds(const ExplainInput& input) {
  std::vector<PairKind> kinds;
  if (input.sign_errors) kinds.push_back(kSignKind);
  kinds.push_back(kSlideKind);
  kinds.push_back(kTranspositionKind);
  return kinds;
}

// The free cells of Range 2 by amount, in order. A cell taken is passed over at no cost from then
// on (`next` leads from a place in a list to the first open place at or after it), so that each
// search walks only over the cells the first stage paired with its cell of Range 1.
class AmountQueues {
 public:
  explicit AmountQueues(const Board& board) : place_(board.cells(1).size(), kNone) {
    for (std::size_t at = 0; at < board.cells(1).size(); ++at) {
      if (board.used(1, at)) continue;
      Queue& queue = queues_[board.cents(1, at)];
      place_[at] = queue.cells.size();
      queue.cells.push_back(at);
      queue.next.push_back(queue.cells.size() - 1);
    }
    for (auto& [amount, queue] : queues_) queue.next.push_back(queue.cells.size());
  }

  // The first free cell of Range 2 with this amount that the first stage did not pair with
  // cell `at1`; kNone when there is none.
  std::size_t First(const Board& board, std::int64_t amount, std::size_t at1, std::int64_t& steps) {
    ++steps;
    const auto it = queues_.find(amount);
    if (it == queues_.end()) return kNone;
    Queue& queue = it->second;
    for (std::size_t k = queue.Open(0); k < queue.cells.size(); k = queue.Open(k + 1)) {
      ++steps;
      if (!board.Reported(at1, queue.cells[k])) return queue.cells[k];
    }
    return kNone;
  }

  // Cell `at2` of Range 2, of this amount, was taken.
  void Take(std::int64_t amount, std::size_t at2) {
    Queue& queue = queues_.at(amount);
    queue.next[place_[at2]] = place_[at2] + 1;
  }

 private:
  struct Queue {
    std::vector<std::size_t> cells;
    std::vector<std::size_t> next;  // one more than cells: the end is always open

    std::size_t Open(std::size_t place) {
      std::size_t root = place;
      while (next[root] != root) root = next[root];
      while (next[place] != root) place = std::exchange(next[place], root);
      return root;
    }
  };
  std::unordered_map<std::int64_t, Queue> queues_;
  std::vector<std::size_t> place_;  // of each cell of Range 2 in its list
};

void FindPairs(Board& board, const PairKind& kind, std::vector<Explanation>& explanations,
               std::int64_t& steps) {
  AmountQueues queues(board);
  for (std::size_t at1 = 0; at1 < board.cells(0).size(); ++at1) {
    if (board.used(0, at1)) continue;
    std::size_t best = kNone;
    for (const std::int64_t amount : kind.partners(board.cents(0, at1))) {
      best = std::min(best, queues.First(board, amount, at1, steps));
    }
    if (best == kNone) continue;
    queues.Take(board.cents(1, best), best);
    board.Explain(kind.kind, {at1}, {best}, explanations);
  }
}

// Whether the amounts stand in the relation of one of the pair kinds.
bool FitsAny(const std::vector<PairKind>& kinds, std::int64_t x, std::int64_t y) {
  return std::any_of(kinds.begin(), kinds.end(),
                     [&](const PairKind& kind) { return kind.fits(x, y); });
}

// Takes out of the totals the cells of each pair the first stage reported that one of the pair
// kinds would have reported: the first stage explained them.
void SetAsideReportedPairs(Board& board, const std::vector<PairKind>& kinds) {
  for (const auto& [index1, index2] : board.reported()) {
    const std::size_t at1 = board.Place(0, index1);
    const std::size_t at2 = board.Place(1, index2);
    if (at1 == kNone || at2 == kNone) continue;
    if (!FitsAny(kinds, board.cents(0, at1), board.cents(1, at2))) continue;
    board.Use(0, at1);
    board.Use(1, at2);
  }
}

// How many ways there are to choose k of n, but 2 for any number above 1: the search needs to know
// only whether a total is reached once.
std::int64_t Choose(std::int64_t n, int k) {
  if (n < k) return 0;
  if (n == k) return 1;
  return 2;
}

// How many sets of k cells of a pool (the free cells of one range and one sign) may be expected to
// reach a total by chance, judged from the pool's own amounts: the number of sets of k, times the
// chance that k amounts drawn from the pool's spread sum to the total to the cent. The spread is
// a histogram of the amounts, spread evenly within a bin. The bins are no narrower than a 512th
// of the largest amount, nor than the largest over the number of amounts, nor than twice their
// interquartile range over the cube root of their number: a histogram of a few amounts, or of
// equal ones, must not make a spike of their own sum; and the cents of the sum, from the amounts'
// cents (with one amount of each cents added, for the same reason): round amounts meet round totals
// far more often than others.
class ChanceModel {
 public:
  explicit ChanceModel(std::vector<std::int64_t> amounts) : n_(amounts.size()) {
    if (n_ < 2) return;
    std::sort(amounts.begin(), amounts.end());
    const std::int64_t top = amounts.back();
    const std::int64_t spread = amounts[3 * n_ / 4] - amounts[n_ / 4];
    const double fair = std::ceil(2 * static_cast<double>(spread) / std::cbrt(n_));
    width_ = std::max<std::int64_t>({top / kBins + 1, top / static_cast<std::int64_t>(n_) + 1,
                                     static_cast<std::int64_t>(fair)});
    std::vector<double> h1(static_cast<std::size_t>(top / width_ + 1), 0.0);
    std::array<double, 100> r1;
    r1.fill(1.0 / static_cast<double>(n_ + 100));
    for (const std::int64_t a : amounts) {
      h1[static_cast<std::size_t>(a / width_)] += 1.0 / static_cast<double>(n_);
      r1[static_cast<std::size_t>(a % 100)] += 1.0 / static_cast<double>(n_ + 100);
    }
    h2_ = Convolve(h1, h1);
    h3_ = Convolve(h2_, h1);
    r2_ = Cyclic(r1, r1);
    r3_ = Cyclic(r2_, r1);
  }

  // Of sets of k = 2 or 3 amounts.
  double Expected(std::int64_t total, int k) const {
    if (n_ < static_cast<std::size_t>(k)) return 0.0;
    const std::int64_t m = total / width_;
    // The sum of k amounts spread evenly within their bins spreads over k bins of the sum's.
    double mass = 0.0;
    double sets = 0.0;
    const double n = static_cast<double>(n_);
    if (k == 2) {
      mass = (At(h2_, m) + At(h2_, m - 1)) / 2;
      sets = n * (n - 1) / 2;
    } else {
      mass = At(h3_, m) / 6 + At(h3_, m - 1) * 2 / 3 + At(h3_, m - 2) / 6;
      sets = n * (n - 1) * (n - 2) / 6;
    }
    const std::array<double, 100>& cents = k == 2 ? r2_ : r3_;
    return sets * mass / static_cast<double>(width_) * 100 *
           cents[static_cast<std::size_t>(total % 100)];
  }

 private:
  static constexpr std::int64_t kBins = 512;

  static double At(const std::vector<double>& h, std::int64_t i) {
    return i < 0 || i >= static_cast<std::int64_t>(h.size()) ? 0.0 : h[static_cast<std::size_t>(i)];
  }
  static std::vector<double> Convolve(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> out(a.size() + b.size() - 1, 0.0);
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i] == 0.0) continue;
      for (std::size_t j = 0; j < b.size(); ++j) out[i + j] += a[i] * b[j];
    }
    return out;
  }
  static std::array<double, 100> Cyclic(const std::array<double, 100>& a,
                                        const std::array<double, 100>& b) {
    std::array<double, 100> out{};
    for (std::size_t i = 0; i < 100; ++i) {
      for (std::size_t j = 0; j < 100; ++j) out[(i + j) % 100] += a[i] * b[j];
    }
    return out;
  }

  std::size_t n_;
  std::int64_t width_ = 1;
  std::vector<double> h2_;
  std::vector<double> h3_;
  std::array<double, 100> r2_{};
  std::array<double, 100> r3_{};
};

// The share of the findings of a size that may be expected to have come by chance.
constexpr double kChanceShare = 0.02;

// The largest expectation t such that the totals whose expectation is at most t expect, together,
// at most kChanceShare of the findings whose expectation is at most t: the findings up to t are
// then known from chance. Negative when there is none. `totals` holds the expectation of every
// total looked at, `findings` that of each finding's total.
double ChanceLimit(std::vector<double> totals, std::vector<double> findings) {
  std::sort(totals.begin(), totals.end());
  std::sort(findings.begin(), findings.end());
  double limit = -1.0;
  double expected = 0.0;
  std::size_t t = 0;
  for (std::size_t f = 0; f < findings.size(); ++f) {
    while (t < totals.size() && totals[t] <= findings[f]) expected += totals[t++];
    if (expected <= kChanceShare * static_cast<double>(f + 1)) limit = findings[f];
  }
  return limit;
}

// The expectations of every free cell as a total of the other range's free cells of its sign,
// for sets of two and of three, taken when the search for totals begins.
class Chances {
 public:
  explicit Chances(const Board& board) {
    std::array<std::array<std::vector<std::int64_t>, 2>, 2> amounts;
    for (int range = 0; range < 2; ++range) {
      for (std::size_t at = 0; at < board.cells(range).size(); ++at) {
        if (board.used(range, at)) continue;
        const std::int64_t cents = board.cents(range, at);
        amounts[range][Sign(cents)].push_back(Abs(cents));
      }
    }
    for (int range = 0; range < 2; ++range) {
      for (int k = 0; k < 2; ++k) expected_[range][k].assign(board.cells(range).size(), 0.0);
      for (std::size_t at = 0; at < board.cells(range).size(); ++at) {
        if (!board.used(range, at)) by_triples_.emplace_back(range, at);
      }
      std::array<ChanceModel, 2> models = {ChanceModel(amounts[1 - range][0]),
                                           ChanceModel(amounts[1 - range][1])};
      for (std::size_t at = 0; at < board.cells(range).size(); ++at) {
        if (board.used(range, at)) continue;
        const std::int64_t cents = board.cents(range, at);
        for (int k = 0; k < 2; ++k) {
          const double e = models[Sign(cents)].Expected(Abs(cents), k + 2);
          expected_[range][k][at] = e;
          totals_[k].push_back(e);
        }
      }
    }
    std::stable_sort(by_triples_.begin(), by_triples_.end(), [this](const auto& l, const auto& r) {
      return Expected(l.first, l.second, 3) < Expected(r.first, r.second, 3);
    });
    // best_[p]: the most that kChanceShare times j less the expectation of the j least totals
    // comes to, for j above p.
    sorted_triples_ = totals_[1];
    std::sort(sorted_triples_.begin(), sorted_triples_.end());
    best_.assign(sorted_triples_.size() + 1, -std::numeric_limits<double>::infinity());
    std::vector<double> sums(sorted_triples_.size() + 1, 0.0);
    for (std::size_t j = 0; j < sorted_triples_.size(); ++j) {
      sums[j + 1] = sums[j] + sorted_triples_[j];
    }
    for (std::size_t j = sorted_triples_.size(); j > 0; --j) {
      best_[j - 1] = std::max(best_[j], kChanceShare * static_cast<double>(j) - sums[j]);
    }
  }

  // Of cell `at` of `range` as a total of k = 2 or 3 cells.
  double Expected(int range, std::size_t at, int k) const { return expected_[range][k - 2][at]; }

  // The free cells of both ranges by their expectation for sets of three, the least first.
  const std::vector<std::pair<int, std::size_t>>& ByTriples() const { return by_triples_; }

  // Whether a limit for sets of three may yet be found when the totals of expectations below `e`
  // are done with and `found` findings of three were made among them: were every later total a
  // finding, would some limit allow them?
  bool TriplesMayPass(double e, std::size_t found) const {
    const std::size_t done = static_cast<std::size_t>(
        std::lower_bound(sorted_triples_.begin(), sorted_triples_.end(), e) -
        sorted_triples_.begin());
    return best_[done] + kChanceShare * (static_cast<double>(found) - static_cast<double>(done)) >=
           0.0;
  }

  // The limit when every total looked at were reached once: no limit found later exceeds it.
  double Bound(int k) const { return ChanceLimit(totals_[k - 2], totals_[k - 2]); }

  // The limit for the findings made, each named by the expectation of its total.
  double Limit(int k, const std::vector<double>& findings) const {
    return ChanceLimit(totals_[k - 2], findings);
  }

 private:
  std::array<std::array<std::vector<double>, 2>, 2> expected_;  // by range, then k - 2
  std::array<std::vector<double>, 2> totals_;                   // by k - 2
  std::vector<std::pair<int, std::size_t>> by_triples_;
  std::vector<double> sorted_triples_;
  std::vector<double> best_;
};

// The expectations up to which the totals are believed, for sets of two and of three.
struct Limits {
  double pairs = -1.0;
  double triples = -1.0;
  double of(int k) const { return k == 2 ? pairs : triples; }
};

// The free cells of one range and one sign, by absolute amount in ascending order.
class Pool {
 public:
  void Add(std::int64_t amount, std::size_t at) { staged_.emplace_back(amount, at); }

  void Seal() {
    std::sort(staged_.begin(), staged_.end());
    for (const auto& [amount, at] : staged_) {
      if (amounts_.empty() || amounts_.back() != amount) {
        index_.emplace(amount, amounts_.size());
        amounts_.push_back(amount);
        counts_.push_back(0);
        cells_.emplace_back();
      }
      ++counts_.back();
      cells_.back().push_back(at);
    }
    staged_.clear();
  }

  std::size_t size() const { return amounts_.size(); }
  std::int64_t amount(std::size_t i) const { return amounts_[i]; }
  std::int64_t count(std::size_t i) const { return counts_[i]; }
  // One past the last amount no larger than `limit`.
  std::size_t End(std::int64_t limit) const {
    return static_cast<std::size_t>(std::upper_bound(amounts_.begin(), amounts_.end(), limit) -
                                    amounts_.begin());
  }

  // A cell of this pool was taken.
  void Remove(std::int64_t amount) { --counts_[index_.at(amount)]; }

  // The free cells of amount i, of which the caller takes all.
  std::vector<std::size_t> FreeCells(std::size_t i, const Board& board, int range) {
    std::vector<std::size_t>& cells = cells_[i];
    std::erase_if(cells, [&](std::size_t at) { return board.used(range, at); });
    return cells;
  }

 private:
  std::vector<std::pair<std::int64_t, std::size_t>> staged_;
  std::vector<std::int64_t> amounts_;
  std::vector<std::int64_t> counts_;
  std::vector<std::vector<std::size_t>> cells_;  // in order; taken ones dropped when next read
  std::unordered_map<std::int64_t, std::size_t> index_;
};

// The search for totals through the pools of the free cells.
class Totals {
 public:
  Totals(Board& board, std::int64_t budget, const Chances& chances, Limits limits)
      : board_(board), budget_(budget), chances_(chances), limits_(limits) {
    for (int range = 0; range < 2; ++range) {
      for (std::size_t at = 0; at < board.cells(range).size(); ++at) {
        if (board.used(range, at)) continue;
        const std::int64_t cents = board.cents(range, at);
        pools_[range][Sign(cents)].Add(Abs(cents), at);
      }
      for (Pool& pool : pools_[range]) pool.Seal();
    }
  }

  // Answers false when the budget ran out. With `counting`, the second sweep takes the totals by
  // their expectation for sets of three, the least first, and looks for no more sets of three once
  // no limit could allow them: the findings made are then only counted.
  bool Run(std::vector<Explanation>& explanations, bool counting = false) {
    for (int range = 0; range < 2; ++range) {
      if (!Sweep(range, true, explanations)) return false;
    }
    if (!counting) {
      for (int range = 0; range < 2; ++range) {
        if (!Sweep(range, false, explanations)) return false;
      }
      return true;
    }
    for (const auto& [range, at] : chances_.ByTriples()) {
      if (board_.used(range, at)) continue;
      if (limits_.triples >= 0 &&
          !chances_.TriplesMayPass(chances_.Expected(range, at, 3), found_[1].size())) {
        limits_.triples = -1.0;
      }
      if (!Take(range, at, false, explanations)) return false;
    }
    return true;
  }

  std::int64_t steps() const { return steps_; }

  // The expectation of each finding's total, by the size of its set less 2.
  const std::array<std::vector<double>, 2>& found() const { return found_; }

 private:
  bool Step() { return ++steps_ <= budget_; }

  // The free cells of `range` as totals of the other range's, in order; with `pairs_only` the
  // totals that one pair reaches.
  bool Sweep(int range, bool pairs_only, std::vector<Explanation>& explanations) {
    for (std::size_t at = 0; at < board_.cells(range).size(); ++at) {
      if (board_.used(range, at)) continue;
      if (!Take(range, at, pairs_only, explanations)) return false;
    }
    return true;
  }

  // Free cell `at` of `range` as a total of the other range's: explained when its set is found.
  bool Take(int range, std::size_t at, bool pairs_only, std::vector<Explanation>& explanations) {
    const int other = 1 - range;
    const std::int64_t cents = board_.cents(range, at);
    Pool& parts = pools_[other][Sign(cents)];
    std::optional<std::vector<std::size_t>> amounts;
    if (!Reach(parts, Abs(cents), pairs_only, chances_.Expected(range, at, 2),
               chances_.Expected(range, at, 3), amounts)) {
      return false;
    }
    if (!amounts) return true;
    const int k = static_cast<int>(amounts->size());
    found_[static_cast<std::size_t>(k - 2)].push_back(chances_.Expected(range, at, k));
    std::vector<std::size_t> cells;
    for (std::size_t i = 0; i < amounts->size(); ++i) {
      // An amount taken twice is one entry: its free cells are all taken.
      if (i > 0 && (*amounts)[i] == (*amounts)[i - 1]) continue;
      for (const std::size_t part : parts.FreeCells((*amounts)[i], board_, other)) {
        cells.push_back(part);
      }
    }
    for (const std::size_t part : cells) parts.Remove(Abs(board_.cents(other, part)));
    pools_[range][Sign(cents)].Remove(Abs(cents));
    if (range == 0) {
      board_.Explain(ExplainKind::kSplit, {at}, cells, explanations);
    } else {
      board_.Explain(ExplainKind::kMerge, cells, {at}, explanations);
    }
    return true;
  }

  // Whether the budget held; `found` is the amounts (positions in the pool, ascending) of the one
  // pair of free cells that reaches `total`, or when no pair does (and not `pairs_only`), of the
  // one set of three; left empty when none does or several do, or when the total's expectation
  // (`pairs` and `triples`, of chance sets of that size) is beyond the limit. The sets of three
  // are not looked for then.
  bool Reach(const Pool& parts, std::int64_t total, bool pairs_only, double pairs, double triples,
             std::optional<std::vector<std::size_t>>& found) {
    const bool pair_believed = pairs <= limits_.pairs;
    const bool triples_believed = !pairs_only && triples <= limits_.triples;
    // Nothing could be found: not even whether a pair reaches the total matters.
    if (!pair_believed && !triples_believed) return true;
    Ways ways;
    if (!Walk(parts, kNone, total, 0, parts.End(total), ways)) return false;
    if (ways.count == 1 && pair_believed) found = std::move(ways.amounts);
    if (ways.count != 0 || !triples_believed) return true;
    for (std::size_t i = 0; i < parts.size() && 3 * parts.amount(i) <= total && ways.count < 2;
         ++i) {
      if (!Step()) return false;
      if (parts.count(i) == 0) continue;
      const std::int64_t rest = total - parts.amount(i);
      if (!Walk(parts, i, rest, i, parts.End(rest - parts.amount(i)), ways)) return false;
    }
    if (ways.count == 1) found = std::move(ways.amounts);
    return true;
  }

  // How many sets reach a total (up to 2), and the amounts of the last one.
  struct Ways {
    std::int64_t count = 0;
    std::vector<std::size_t> amounts;
  };

  // Adds the sets made of amount i (kNone: no third amount) and two amounts j <= k of [from, end)
  // whose sum is `rest`, found by walking the smaller up and the larger down. Whether the budget
  // held.
  bool Walk(const Pool& parts, std::size_t i, std::int64_t rest, std::size_t from, std::size_t end,
            Ways& ways) {
    if (end == 0) return true;
    std::size_t j = from;
    std::size_t k = end - 1;
    while (j <= k && ways.count < 2) {
      if (!Step()) return false;
      const std::int64_t sum = parts.amount(j) + parts.amount(k);
      if (sum < rest) {
        ++j;
        continue;
      }
      if (sum > rest) {
        if (k == 0) break;
        --k;
        continue;
      }
      const std::int64_t n = Sets(parts, i, j, k);
      if (n != 0) {
        ways.count += n;
        ways.amounts = i == kNone ? std::vector<std::size_t>{j, k} : std::vector{i, j, k};
      }
      if (k == 0) break;
      ++j;
      --k;
    }
    return true;
  }

  // The number of sets of free cells of amounts i <= j <= k (i kNone for a pair), up to 2.
  static std::int64_t Sets(const Pool& parts, std::size_t i, std::size_t j, std::size_t k) {
    // Counts above 3 make no difference to the answer, and their products could overflow.
    const std::int64_t cj = std::min<std::int64_t>(parts.count(j), 4);
    const std::int64_t ck = std::min<std::int64_t>(parts.count(k), 4);
    if (i == kNone) return j == k ? Choose(cj, 2) : std::min<std::int64_t>(cj * ck, 2);
    const std::int64_t ci = std::min<std::int64_t>(parts.count(i), 4);
    std::int64_t n = 0;
    if (i == j && j == k) {
      n = Choose(ci, 3);
    } else if (i == j) {
      n = Choose(ci, 2) * ck;
    } else if (j == k) {
      n = ci * Choose(cj, 2);
    } else {
      n = ci * cj * ck;
    }
    return std::min<std::int64_t>(n, 2);
  }

  Board& board_;
  std::int64_t budget_;
  const Chances& chances_;
  Limits limits_;
  std::array<std::vector<double>, 2> found_;
  std::int64_t steps_ = 0;
  std::array<std::array<Pool, 2>, 2> pools_;  // by range, then sign
};

// Every set of two free cells of `range`, of the sign of `total`, that reaches it, and with
// `with_triples` every set of three, found by trying each.
std::vector<std::vector<std::size_t>> TrySets(const Board& board, int range, std::int64_t total,
                                              bool with_triples) {
  std::vector<std::size_t> free;
  for (std::size_t at = 0; at < board.cells(range).size(); ++at) {
    if (!board.used(range, at) && Sign(board.cents(range, at)) == Sign(total)) free.push_back(at);
  }
  std::vector<std::vector<std::size_t>> sets;
  const auto c = [&](std::size_t k) { return board.cents(range, free[k]); };
  for (std::size_t a = 0; a < free.size(); ++a) {
    for (std::size_t b = a + 1; b < free.size(); ++b) {
      if (c(a) + c(b) == total) sets.push_back({free[a], free[b]});
      for (std::size_t d = b + 1; with_triples && d < free.size(); ++d) {
        if (c(a) + c(b) + c(d) == total) sets.push_back({free[a], free[b], free[d]});
      }
    }
  }
  return sets;
}

// Free cell `at` of `range` as a total, by trying every set, under the limits; the expectation of
// the finding's total goes to `found`.
void TryTotal(Board& board, int range, std::size_t at, bool pairs_only, const Chances& chances,
              Limits limits, std::vector<Explanation>& explanations,
              std::array<std::vector<double>, 2>& found) {
  std::vector<std::vector<std::size_t>> pairs;
  std::vector<std::vector<std::size_t>> triples;
  // The sets of three are tried only where one could be believed.
  const bool with_triples = !pairs_only && chances.Expected(range, at, 3) <= limits.triples;
  for (std::vector<std::size_t>& set :
       TrySets(board, 1 - range, board.cents(range, at), with_triples)) {
    (set.size() == 2 ? pairs : triples).push_back(std::move(set));
  }
  const std::vector<std::vector<std::size_t>>& sets =
      !pairs.empty() || pairs_only ? pairs : triples;
  if (sets.size() != 1) return;
  const int k = static_cast<int>(sets.front().size());
  const double expected = chances.Expected(range, at, k);
  if (!(expected <= limits.of(k))) return;
  found[static_cast<std::size_t>(k - 2)].push_back(expected);
  if (range == 0) {
    board.Explain(ExplainKind::kSplit, {at}, sets.front(), explanations);
  } else {
    board.Explain(ExplainKind::kMerge, sets.front(), {at}, explanations);
  }
}

// The totals of the free cells by trying every set, in the sweeps and order of the indexed search
// (`counting` as there), with the same limits on the expectations.
void TryTotals(Board& board, const Chances& chances, Limits limits, bool counting,
               std::vector<Explanation>& explanations, std::array<std::vector<double>, 2>& found) {
  for (const bool pairs_only : {true, false}) {
    if (!pairs_only && counting) break;
    for (int range = 0; range < 2; ++range) {
      for (std::size_t at = 0; at < board.cells(range).size(); ++at) {
        if (board.used(range, at)) continue;
        TryTotal(board, range, at, pairs_only, chances, limits, explanations, found);
      }
    }
  }
  if (!counting) return;
  for (const auto& [range, at] : chances.ByTriples()) {
    if (board.used(range, at)) continue;
    if (limits.triples >= 0 &&
        !chances.TriplesMayPass(chances.Expected(range, at, 3), found[1].size())) {
      limits.triples = -1.0;
    }
    TryTotal(board, range, at, false, chances, limits, explanations, found);
  }
}

}  // namespace

std::string_view ExplainKindName(ExplainKind kind) {
  switch (kind) {
    case ExplainKind::kSign:
      return "sign";
    case ExplainKind::kSlide:
      return "slide";
    case ExplainKind::kTransposition:
      return "transposition";
    case ExplainKind::kSplit:
      return "split";
    case ExplainKind::kMerge:
      return "merge";
  }
  return "";
}

std::optional<std::int64_t> WholeCents(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double scaled = value * 100;
  if (std::fabs(scaled) > static_cast<double>(kMaxExplainedCents) + 1) return std::nullopt;
  const std::int64_t cents = std::llround(scaled);
  if (cents > kMaxExplainedCents || cents < -kMaxExplainedCents) return std::nullopt;
  // Exact: the cents and their quotient by 100 are both rounded once, to the nearest double.
  if (static_cast<double>(cents) / 100 != value) return std::nullopt;
  return cents;
}

ExplainResult ExplainMismatches(const ExplainInput& input) {
  Board board(input);
  ExplainResult result;
  const std::vector<PairKind> kinds = PairKinds(input);
  for (const PairKind& kind : kinds) {
    FindPairs(board, kind, result.explanations, result.pair_steps);
  }
  SetAsideReportedPairs(board, kinds);
  // A first search, on a copy, with the limits no later one exceeds, tells the findings that
  // would be made; the limits they allow are then those of the search that makes them.
  const Chances chances(board);
  Board trial = board;
  std::vector<Explanation> first;
  Totals bound(trial, input.step_budget, chances, {chances.Bound(2), chances.Bound(3)});
  result.complete = bound.Run(first, true);
  result.total_steps = bound.steps();
  if (!result.complete) return result;
  const Limits limits = {chances.Limit(2, bound.found()[0]), chances.Limit(3, bound.found()[1])};
  Totals totals(board, input.step_budget - bound.steps(), chances, limits);
  result.complete = totals.Run(result.explanations);
  result.total_steps += totals.steps();
  return result;
}

ExplainResult ExplainMismatchesByTrial(const ExplainInput& input) {
  Board board(input);
  ExplainResult result;
  const std::vector<PairKind> kinds = PairKinds(input);
  for (const PairKind& kind : kinds) {
    for (std::size_t at1 = 0; at1 < board.cells(0).size(); ++at1) {
      if (board.used(0, at1)) continue;
      for (std::size_t at2 = 0; at2 < board.cells(1).size(); ++at2) {
        if (board.used(1, at2) || board.Reported(at1, at2)) continue;
        if (!kind.fits(board.cents(0, at1), board.cents(1, at2))) continue;
        board.Explain(kind.kind, {at1}, {at2}, result.explanations);
        break;
      }
    }
  }
  // Every pair of cells, taken or not, that the first stage reported and a pair kind fits.
  for (std::size_t at1 = 0; at1 < board.cells(0).size(); ++at1) {
    for (std::size_t at2 = 0; at2 < board.cells(1).size(); ++at2) {
      if (board.Reported(at1, at2) && FitsAny(kinds, board.cents(0, at1), board.cents(1, at2))) {
        board.Use(0, at1);
        board.Use(1, at2);
      }
    }
  }
  // The same two searches as the indexed one's, each trying every set.
  const Chances chances(board);
  Board trial = board;
  std::vector<Explanation> first;
  std::array<std::vector<double>, 2> found;
  TryTotals(trial, chances, {chances.Bound(2), chances.Bound(3)}, true, first, found);
  TryTotals(board, chances, {chances.Limit(2, found[0]), chances.Limit(3, found[1])}, false,
            result.explanations, found);
  return result;
}

}  // namespace quorvane::analysis
