// Long lists on the in-memory host, as the command-line tool takes them with --max-items:
//   - full comparison runs (clear, match, mark, diagnose) of 100,000 and 1,000,000 items a list,
//     one entry in a hundred differing;
//   - a diagnosis in which thousands of mismatches of each list share one digit signature, so that
//     every one of them pairs with every one of the other list.
// Each case runs in a child process of its own, so that the peak memory it prints is its own (the
// lists' cells included). Time is the run alone, without filling the sheet.
//
//   cmake --preset bench && cmake --build --preset bench -j2 &&
//   ./build/bench/bench/long_lists_bench
//   ./build/bench/bench/long_lists_bench 100000   # one size only
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/matching.h"
#include "host/conversions.h"
#include "memhost/host.h"
#include "state/state.h"

namespace {

using quorvane::host::Value;

struct Lists {
  quorvane::memhost::MemHost mem;
  quorvane::state::AddinState state;
  quorvane::host::Range range1, range2;
};

std::unique_ptr<Lists> NewLists(int items, quorvane::memhost::MemWorksheet*& sheet) {
  auto lists = std::make_unique<Lists>();
  lists->mem.SetTime(quorvane::host::SerialFromCivil({2026, 12, 9, 2, 0, 0}));
  sheet = &lists->mem.AddWorkbook("Bank.xlsx").AddSheet("Statement");
  lists->range1 = sheet->Ref("A1:A" + std::to_string(items));
  lists->range2 = sheet->Ref("B1:B" + std::to_string(items));
  auto& o = lists->state.options;
  o.round_numbers = o.numbers_only = o.ignore_zero = o.hide_comments = quorvane::state::kTrue;
  lists->state.application = &lists->mem;
  // The tool's limits above 10000 items: counters as wide as they go.
  lists->state.limits.max_items = items;
  lists->state.limits.max_count = std::numeric_limits<std::int32_t>::max();
  return lists;
}

// Two lists of amounts, the second the first with one amount in a hundred changed: most by 9
// cents, one in ten of those with two digits swapped.
std::unique_ptr<Lists> LedgerLists(int items) {
  quorvane::memhost::MemWorksheet* sheet = nullptr;
  auto lists = NewLists(items, sheet);
  std::mt19937 rng(2026);
  std::uniform_int_distribution<int> cents(100, 99999999);
  for (int r = 1; r <= items; ++r) {
    const int amount = cents(rng);
    int ledger = amount;
    if (r % 100 == 0)
      ledger =
          r % 1000 == 0 ? amount / 100 * 100 + amount % 10 * 10 + amount / 10 % 10 : amount + 9;
    sheet->Put(r, 1, Value::Number(amount / 100.0), "0.00");
    sheet->Put(r, 2, Value::Number(ledger / 100.0), "0.00");
  }
  return lists;
}

// Two lists of `shared` amounts each (up to 20,160), all of them mismatches and all written with
// the same eight digits in different orders: every marked cell of Range 1 pairs with every one of
// Range 2.
std::unique_ptr<Lists> SharedSignatureLists(int shared) {
  quorvane::memhost::MemWorksheet* sheet = nullptr;
  auto lists = NewLists(shared, sheet);
  std::string digits = "12345678";
  std::vector<int> amounts;
  do {
    amounts.push_back(std::stoi(digits));
  } while (std::next_permutation(digits.begin(), digits.end()) &&
           amounts.size() < static_cast<std::size_t>(2 * shared));
  for (int r = 1; r <= shared; ++r) {
    sheet->Put(r, 1, Value::Number(amounts[static_cast<std::size_t>(2 * r - 2)] / 100.0), "0.00");
    sheet->Put(r, 2, Value::Number(amounts[static_cast<std::size_t>(2 * r - 1)] / 100.0), "0.00");
  }
  return lists;
}

long PeakKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

struct Figures {
  double seconds = 0;
  double cpu_seconds = 0;  // the machine is shared: processor time tells the run's own cost
  long peak_kb = 0;
  std::int64_t mismatches = 0;
  std::int64_t transpositions = 0;
};

// Runs the case in a child process and reads its figures from a pipe.
template <typename Make>
Figures InChild(Make make) {
  int fds[2];
  if (::pipe(fds) != 0) std::exit(1);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    std::unique_ptr<Lists> lists = make();
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpu_start = std::clock();
    quorvane::state::RunListener quiet;
    quorvane::state::Run run(lists->state.app(), lists->state.options, lists->state.limits, quiet);
    quorvane::engine::RunMatchingPass(run, lists->range1, lists->range2);
    Figures f;
    f.cpu_seconds = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    f.peak_kb = PeakKilobytes();
    const auto& c = run.counters;
    f.mismatches = std::int64_t{c.mismatch1} + c.mismatch2;
    f.transpositions = c.transpose1;
    if (::write(fds[1], &f, sizeof f) != static_cast<ssize_t>(sizeof f)) ::_exit(1);
    ::_exit(0);
  }
  ::close(fds[1]);
  Figures f;
  const bool read = ::read(fds[0], &f, sizeof f) == static_cast<ssize_t>(sizeof f);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!read) f.seconds = -1;
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes = {100000, 1000000};
  if (argc > 1) sizes = {std::atoi(argv[1])};
  std::printf("full runs, one entry in a hundred differing\n");
  std::printf("%14s %10s %10s %14s %12s\n", "items per list", "run s", "cpu s", "peak memory MB",
              "mismatches");
  for (const int items : sizes) {
    const Figures f = InChild([items] { return LedgerLists(items); });
    std::printf("%14d %10.2f %10.2f %14.0f %12lld\n", items, f.seconds, f.cpu_seconds,
                f.peak_kb / 1024.0, static_cast<long long>(f.mismatches));
  }
  std::printf("\ndiagnosis of mismatches that all share one digit signature\n");
  std::printf("%14s %10s %10s %14s %16s\n", "marked a list", "run s", "cpu s", "peak memory MB",
              "transpositions");
  for (const int shared : {1000, 2000, 4000}) {
    const Figures f = InChild([shared] { return SharedSignatureLists(shared); });
    std::printf("%14d %10.2f %10.2f %14.0f %16lld\n", shared, f.seconds, f.cpu_seconds,
                f.peak_kb / 1024.0, static_cast<long long>(f.transpositions));
  }
  return 0;
}
