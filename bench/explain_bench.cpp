// The search that explains more mismatches, on lists with planted errors, run in-process:
//   - a bank list of N amounts and a ledger made from it, in which one entry in twenty carries a
//     planted error: a sign error, a decimal slide, two exchanged digits, a split into two or three
//     entries, a merge of two or three, or an omission (an entry in one list only); the ledger is
//     shuffled. The comparison's marking is simulated (a cell is marked when its amount occurs a
//     different number of times in the two lists), and the marked cells go to the search.
//     Printed per kind: planted, marked, explained with exactly the planted partners; the findings
//     that are wrong (on an omission, or naming a cell outside its planted group); and apart from
//     them the "stand-ins", findings that name a cell of the same amount as a planted cell in its
//     place (which of two equal amounts was planted, nothing can tell). No first stage runs here,
//     so every transposition is the search's own;
//   - 5,000 mismatches a list sharing a handful of amounts, and 5,000 of distinct amounts that
//     make every total cost many steps: steps and time, and whether the budget ended the search.
//
//   cmake --preset bench && cmake --build --preset bench -j2 --target explain_bench &&
//   ./build/bench/bench/explain_bench            # N = 3,000 and 10,000, five seeds each
//   ./build/bench/bench/explain_bench 10000 20 log  # N, seeds, amounts (uniform or log)
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "analysis/explain.h"

namespace {

using quorvane::analysis::CentsCell;
using quorvane::analysis::ExplainInput;
using quorvane::analysis::ExplainKind;
using quorvane::analysis::ExplainMismatches;
using quorvane::analysis::ExplainResult;
using quorvane::analysis::Explanation;

enum Planted { kSign, kSlide, kTransposition, kSplit, kMerge, kOmission, kKinds };
constexpr std::array<const char*, kKinds> kNames = {"sign",  "slide", "transposition",
                                                    "split", "merge", "omission"};

struct Group {
  Planted kind;
  std::vector<std::size_t> bank;    // positions in the bank list
  std::vector<std::size_t> ledger;  // entries of the ledger, positions once shuffled
};

struct Lists {
  std::vector<std::int64_t> bank;
  std::vector<std::int64_t> ledger;
  std::vector<Group> groups;
};

class Generator {
 public:
  Generator(std::uint64_t seed, bool log_amounts) : random_(seed), log_amounts_(log_amounts) {}

  // An amount in cents: 1.00 to 99,999.99, uniform or even in its logarithm; seven in ten are
  // payments (negative).
  std::int64_t Amount() {
    std::int64_t cents = 0;
    if (log_amounts_) {
      const double units = std::exp(Uniform(0.0, std::log(100000.0)));
      cents = std::max<std::int64_t>(100, std::llround(units * 100));
    } else {
      cents = Int(100, 9'999'999);
    }
    return Int(0, 9) < 7 ? -cents : cents;
  }

  std::int64_t Int(std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(random_);
  }
  double Uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random_);
  }
  std::mt19937_64& random() { return random_; }

 private:
  std::mt19937_64 random_;
  bool log_amounts_;
};

// The amount with two of its digits exchanged (one time in three digits apart), or 0 when no
// exchange makes an amount of as many digits.
std::int64_t Exchange(std::int64_t cents, Generator& g) {
  std::string digits = std::to_string(std::abs(cents));
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  std::vector<std::pair<std::size_t, std::size_t>> near, far;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    for (std::size_t j = i + 1; j < digits.size(); ++j) {
      if (digits[i] == digits[j] || (i == 0 && digits[j] == '0' && digits.size() > 3)) continue;
      (j == i + 1 ? near : far).emplace_back(i, j);
    }
  }
  auto& from = (far.empty() || (!near.empty() && g.Int(0, 2) != 0)) ? near : far;
  if (from.empty()) return 0;
  const auto [i, j] = from[static_cast<std::size_t>(g.Int(0, std::ssize(from) - 1))];
  std::swap(digits[i], digits[j]);
  const std::int64_t swapped = std::stoll(digits);
  return cents < 0 ? -swapped : swapped;
}

// k parts of the sign of `total` that add up to it, each at least a cent.
std::vector<std::int64_t> Parts(std::int64_t total, int k, Generator& g) {
  const std::int64_t whole = std::abs(total);
  std::vector<std::int64_t> cuts = {0, whole};
  while (static_cast<int>(cuts.size()) < k + 1) {
    const std::int64_t cut = g.Int(1, whole - 1);
    if (std::find(cuts.begin(), cuts.end(), cut) == cuts.end()) cuts.push_back(cut);
  }
  std::sort(cuts.begin(), cuts.end());
  std::vector<std::int64_t> parts;
  for (std::size_t i = 1; i < cuts.size(); ++i) {
    parts.push_back(total < 0 ? -(cuts[i] - cuts[i - 1]) : cuts[i] - cuts[i - 1]);
  }
  return parts;
}

Lists Generate(int n, double planted_share, std::uint64_t seed, bool log_amounts) {
  Generator g(seed, log_amounts);
  Lists lists;
  for (int i = 0; i < n; ++i) lists.bank.push_back(g.Amount());
  std::vector<std::size_t> order(lists.bank.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), g.random());

  struct Entry {
    std::int64_t cents;
    int group;
  };
  std::vector<Entry> ledger;
  std::vector<bool> planted(lists.bank.size(), false);
  const int groups = static_cast<int>(std::lround(n * planted_share));
  std::size_t next = 0;
  for (int k = 0; k < groups && next + 3 <= order.size(); ++k) {
    const auto kind = static_cast<Planted>(k % kKinds);
    const int id = static_cast<int>(lists.groups.size());
    Group group{kind, {order[next++]}, {}};
    std::int64_t& x = lists.bank[group.bank[0]];
    const auto add = [&](std::int64_t cents) {
      group.ledger.push_back(ledger.size());
      ledger.push_back({cents, id});
    };
    switch (kind) {
      case kSign:
        add(-x);
        break;
      case kSlide:
        switch (g.Int(0, 3)) {
          case 0:
            add(10 * x);
            break;
          case 1:
            add(100 * x);
            break;
          case 2:  // a round amount read a tenth of itself
            x -= x % 10;
            if (x == 0) x = 1000;
            add(x / 10);
            break;
          default:
            x -= x % 100;
            if (x == 0) x = 10000;
            add(x / 100);
            break;
        }
        break;
      case kTransposition: {
        std::int64_t exchanged = 0;
        while ((exchanged = Exchange(x, g)) == 0) x = g.Amount();
        add(exchanged);
        break;
      }
      case kSplit:
        for (const std::int64_t part : Parts(x, static_cast<int>(g.Int(2, 3)), g)) add(part);
        break;
      case kMerge: {
        std::int64_t total = x;
        for (std::int64_t more = g.Int(1, 2); more > 0; --more) {
          group.bank.push_back(order[next++]);
          std::int64_t& part = lists.bank[group.bank.back()];
          if ((part < 0) != (x < 0)) part = -part;
          total += part;
        }
        add(total);
        break;
      }
      case kOmission:
        if (k / kKinds % 2 == 1) {  // an entry of the ledger only
          group.bank.clear();
          --next;
          add(g.Amount());
        }
        break;
      case kKinds:
        break;
    }
    for (const std::size_t b : group.bank) planted[b] = true;
    lists.groups.push_back(std::move(group));
  }
  for (std::size_t i = 0; i < lists.bank.size(); ++i) {
    if (!planted[i]) ledger.push_back({lists.bank[i], -1});
  }
  std::vector<std::size_t> place(ledger.size());
  for (std::size_t i = 0; i < place.size(); ++i) place[i] = i;
  std::shuffle(place.begin(), place.end(), g.random());  // place[new position] = entry
  std::vector<std::size_t> position(ledger.size());
  for (std::size_t p = 0; p < place.size(); ++p) {
    position[place[p]] = p;
    lists.ledger.push_back(ledger[place[p]].cents);
  }
  for (Group& group : lists.groups) {
    for (std::size_t& e : group.ledger) e = position[e];
  }
  return lists;
}

// The marked cells: those whose amount occurs a different number of times in the other list.
ExplainInput Marked(const Lists& lists) {
  std::unordered_map<std::int64_t, std::array<int, 2>> counts;
  for (const std::int64_t c : lists.bank) ++counts[c][0];
  for (const std::int64_t c : lists.ledger) ++counts[c][1];
  ExplainInput input;
  for (std::size_t i = 0; i < lists.bank.size(); ++i) {
    const auto& n = counts[lists.bank[i]];
    if (n[0] != n[1]) input.cells1.push_back({static_cast<std::int64_t>(i) + 1, lists.bank[i]});
  }
  for (std::size_t i = 0; i < lists.ledger.size(); ++i) {
    const auto& n = counts[lists.ledger[i]];
    if (n[0] != n[1]) input.cells2.push_back({static_cast<std::int64_t>(i) + 1, lists.ledger[i]});
  }
  return input;
}

Planted KindOf(ExplainKind kind) {
  switch (kind) {
    case ExplainKind::kSign:
      return kSign;
    case ExplainKind::kSlide:
      return kSlide;
    case ExplainKind::kTransposition:
      return kTransposition;
    case ExplainKind::kSplit:
      return kSplit;
    case ExplainKind::kMerge:
      return kMerge;
  }
  return kKinds;
}

// The amounts of cells, in ascending order.
std::vector<std::int64_t> AmountsOf(const std::vector<std::int64_t>& list,
                                    const std::vector<std::int64_t>& cells) {
  std::vector<std::int64_t> amounts;
  for (const std::int64_t c : cells) amounts.push_back(list[static_cast<std::size_t>(c - 1)]);
  std::sort(amounts.begin(), amounts.end());
  return amounts;
}

// Whether a finding names the amounts of a planted group of its kind that holds one of its cells,
// with a cell of an equal amount standing in for another: which of them was planted, nothing can
// tell.
bool StandsIn(const Lists& lists, const Explanation& e, const std::vector<int>& ids, Planted kind) {
  for (const int id : ids) {
    if (id < 0) continue;
    const Group& group = lists.groups[static_cast<std::size_t>(id)];
    if (group.kind != kind) continue;
    std::vector<std::int64_t> cells1, cells2;
    for (const std::size_t b : group.bank) cells1.push_back(static_cast<std::int64_t>(b) + 1);
    for (const std::size_t l : group.ledger) cells2.push_back(static_cast<std::int64_t>(l) + 1);
    if (AmountsOf(lists.bank, cells1) == AmountsOf(lists.bank, e.cells1) &&
        AmountsOf(lists.ledger, cells2) == AmountsOf(lists.ledger, e.cells2)) {
      return true;
    }
  }
  return false;
}

struct Score {
  std::array<int, kKinds> planted{}, marked{}, explained{}, wrong{}, stand_ins{};
  int other = 0;  // findings within one planted group, but not the planted one
  int runs = 0;
  double seconds = 0;
  std::int64_t steps = 0;
  int incomplete = 0;
  std::size_t cells = 0;

  void Add(const Lists& lists, const ExplainInput& input, const ExplainResult& result) {
    ++runs;
    cells += input.cells1.size() + input.cells2.size();
    steps += result.pair_steps + result.total_steps;
    if (!result.complete) ++incomplete;
    std::vector<int> group1(lists.bank.size(), -1), group2(lists.ledger.size(), -1);
    for (std::size_t id = 0; id < lists.groups.size(); ++id) {
      for (const std::size_t b : lists.groups[id].bank) group1[b] = static_cast<int>(id);
      for (const std::size_t l : lists.groups[id].ledger) group2[l] = static_cast<int>(id);
    }
    std::vector<bool> marked1(lists.bank.size()), marked2(lists.ledger.size());
    for (const CentsCell& c : input.cells1) marked1[static_cast<std::size_t>(c.index - 1)] = true;
    for (const CentsCell& c : input.cells2) marked2[static_cast<std::size_t>(c.index - 1)] = true;
    for (const Group& group : lists.groups) {
      ++planted[group.kind];
      bool all = true;
      for (const std::size_t b : group.bank) all = all && marked1[b];
      for (const std::size_t l : group.ledger) all = all && marked2[l];
      if (all) ++marked[group.kind];
    }
    for (const Explanation& e : result.explanations) {
      std::vector<int> ids;
      for (const std::int64_t c : e.cells1) ids.push_back(group1[static_cast<std::size_t>(c - 1)]);
      for (const std::int64_t c : e.cells2) ids.push_back(group2[static_cast<std::size_t>(c - 1)]);
      const bool one = std::all_of(ids.begin(), ids.end(), [&](int id) { return id == ids[0]; });
      const Planted kind = KindOf(e.kind);
      if (!one || ids[0] < 0 || lists.groups[static_cast<std::size_t>(ids[0])].kind == kOmission) {
        if (StandsIn(lists, e, ids, kind)) {
          ++stand_ins[kind];
        } else {
          ++wrong[kind];
        }
        continue;
      }
      const Group& group = lists.groups[static_cast<std::size_t>(ids[0])];
      std::vector<std::int64_t> cells1, cells2;
      for (const std::size_t b : group.bank) cells1.push_back(static_cast<std::int64_t>(b) + 1);
      for (const std::size_t l : group.ledger) cells2.push_back(static_cast<std::int64_t>(l) + 1);
      std::sort(cells1.begin(), cells1.end());
      std::sort(cells2.begin(), cells2.end());
      if (group.kind == kind && cells1 == e.cells1 && cells2 == e.cells2) {
        ++explained[kind];
      } else {
        ++other;
      }
    }
  }

  void Print(const char* title) const {
    std::printf("%s: %d runs, %.0f marked cells a run, %.2f ms and %.0f steps a run%s\n", title,
                runs, static_cast<double>(cells) / runs, 1000 * seconds / runs,
                static_cast<double>(steps) / runs,
                incomplete != 0 ? " (the budget ended some searches)" : "");
    std::printf("  %-14s %8s %8s %10s %8s %7s %9s\n", "kind", "planted", "marked", "explained",
                "share", "wrong", "stand-in");
    for (int k = 0; k < kKinds; ++k) {
      const double share = planted[k] == 0 ? 0 : 100.0 * explained[k] / planted[k];
      std::printf("  %-14s %8d %8d %10d %7.1f%% %7d %9d\n", kNames[static_cast<std::size_t>(k)],
                  planted[k], marked[k], explained[k], k == kOmission ? 0.0 : share, wrong[k],
                  stand_ins[k]);
    }
    std::printf("  findings within a planted group but not the planted one: %d\n", other);
  }
};

void PlantedCase(int n, int seeds, bool log_amounts) {
  Score score;
  for (int seed = 1; seed <= seeds; ++seed) {
    const Lists lists = Generate(n, 0.05, static_cast<std::uint64_t>(seed) * 7919 + n, log_amounts);
    const ExplainInput input = Marked(lists);
    const auto start = std::chrono::steady_clock::now();
    const ExplainResult result = ExplainMismatches(input);
    score.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    score.Add(lists, input, result);
  }
  const std::string title = "N = " + std::to_string(n) + ", 5% planted, " +
                            (log_amounts ? "amounts even in their logarithm" : "uniform amounts");
  score.Print(title.c_str());
}

void Timed(const char* title, const ExplainInput& input) {
  const auto start = std::chrono::steady_clock::now();
  const ExplainResult result = ExplainMismatches(input);
  const double ms =
      1000 * std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %zu + %zu cells, %zu findings, %lld pair steps, %lld total steps, %.1f ms%s\n",
              title, input.cells1.size(), input.cells2.size(), result.explanations.size(),
              static_cast<long long>(result.pair_steps), static_cast<long long>(result.total_steps),
              ms, result.complete ? "" : ", the budget ended the search for totals");
}

void HostileCases() {
  Generator g(5, false);
  ExplainInput few;
  const std::array<std::int64_t, 5> bank = {10000, 20000, 30000, -5000, 100000};
  const std::array<std::int64_t, 5> ledger = {-10000, 200000, 15000, 5000, 25000};
  for (std::int64_t i = 1; i <= 5000; ++i) {
    few.cells1.push_back({i, bank[static_cast<std::size_t>(g.Int(0, 4))]});
    few.cells2.push_back({i, ledger[static_cast<std::size_t>(g.Int(0, 4))]});
  }
  Timed("5,000 mismatches a list sharing 5 amounts", few);

  ExplainInput distinct;
  for (std::int64_t i = 1; i <= 5000; ++i) {
    distinct.cells1.push_back({i, 50'000'000 + 2 * i + 1});  // odd: reached by no even parts
    distinct.cells2.push_back({i, 2 * g.Int(50, 5'000'000)});
  }
  Timed("5,000 mismatches a list of distinct amounts, no total reached", distinct);
}

}  // namespace

int main(int argc, char** argv) {
  const int seeds = argc > 2 ? std::atoi(argv[2]) : 5;
  const bool log_amounts = argc > 3 && std::string(argv[3]) == "log";
  if (argc > 1) {
    PlantedCase(std::atoi(argv[1]), seeds, log_amounts);
    return 0;
  }
  for (const bool log : {false, true}) {
    for (const int n : {3000, 10000}) PlantedCase(n, seeds, log);
  }
  HostileCases();
  return 0;
}
