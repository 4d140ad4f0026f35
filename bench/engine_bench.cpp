// A full comparison run (clear, match, mark, diagnose) of two lists with one entry in five
// differing, on the in-memory host: wall time and host calls per run, for the indexed way and the
// straightforward one, and the ratio of the two where both ran.
//
//   cmake --preset bench && cmake --build --preset bench -j2 && ./build/bench/bench/engine_bench
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <random>

#include "engine/matching.h"
#include "engine/options.h"
#include "host/conversions.h"
#include "memhost/host.h"
#include "state/state.h"
#include "support/counting_host.h"

namespace {

using quorvane::state::Algorithm;

struct Lists {
  quorvane::memhost::MemHost mem;
  quorvane::testing::CountingApplication counted{mem};  // what the run sees of the host
  quorvane::state::AddinState state;
  quorvane::host::Range range1, range2;
};

// Two lists of `items` amounts; every fifth amount of the ledger carries a typing slip, and every
// tenth of those has its digits transposed.
std::unique_ptr<Lists> MakeLists(int items) {
  auto lists = std::make_unique<Lists>();
  // A clock that moves ten seconds at every reading: the animation of a run's first five seconds
  // is over at once for the straightforward way too, which measures its scans, not its flashing.
  lists->mem.SetClock([t = quorvane::host::SerialFromCivil({2026, 12, 8, 9, 30, 0})]() mutable {
    return t += 10.0 / 86400.0;
  });
  auto& sheet = lists->mem.AddWorkbook("Bank.xlsx").AddSheet("Statement");
  std::mt19937 rng(2026);
  std::uniform_int_distribution<int> cents(100, 9999999);
  for (int r = 1; r <= items; ++r) {
    const int amount = cents(rng);
    int ledger = amount;
    if (r % 5 == 0) ledger = r % 50 == 0 ? amount / 10 * 10 + (amount % 10 + 1) % 10 : amount + 9;
    sheet.Put(r, 1, quorvane::host::Value::Number(amount / 100.0), "0.00");
    sheet.Put(r, 2, quorvane::host::Value::Number(ledger / 100.0), "0.00");
  }
  lists->range1 = lists->counted.Wrap(sheet.Ref("A1:A" + std::to_string(items)));
  lists->range2 = lists->counted.Wrap(sheet.Ref("B1:B" + std::to_string(items)));
  lists->state.options = quorvane::engine::DefaultOptions();
  lists->state.application = &lists->counted;
  return lists;
}

// Processor seconds per run, by algorithm and size, for the closing table: the development machine
// is shared, and the processor time of a run tells its own cost where the wall time does not.
std::map<std::pair<Algorithm, int>, double>& Seconds() {
  static std::map<std::pair<Algorithm, int>, double> seconds;
  return seconds;
}

void FullRun(benchmark::State& bench, Algorithm algorithm) {
  const int items = static_cast<int>(bench.range(0));
  std::uint64_t calls = 0;
  double total = 0;
  std::int64_t mismatches = 0;
  for (auto _ : bench) {
    bench.PauseTiming();
    std::unique_ptr<Lists> lists = MakeLists(items);
    lists->counted.Reset();
    bench.ResumeTiming();
    const std::clock_t start = std::clock();
    quorvane::state::RunListener quiet;
    quorvane::state::Run run(lists->state.app(), lists->state.options, lists->state.limits, quiet);
    quorvane::engine::RunMatchingPass(run, lists->range1, lists->range2, algorithm);
    total += static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    bench.PauseTiming();
    calls = lists->counted.total();
    mismatches = run.counters.mismatch1 + run.counters.mismatch2;
    lists.reset();
    bench.ResumeTiming();
  }
  Seconds()[{algorithm, items}] = total / static_cast<double>(bench.iterations());
  bench.counters["host_calls"] = static_cast<double>(calls);
  bench.counters["calls_per_cell"] = static_cast<double>(calls) / (2.0 * items);
  bench.counters["mismatches"] = static_cast<double>(mismatches);
  bench.counters["bound"] = 10.0 * 2 * items + 40.0 * static_cast<double>(mismatches);
}

void Indexed(benchmark::State& bench) { FullRun(bench, Algorithm::kIndexed); }
void Straightforward(benchmark::State& bench) { FullRun(bench, Algorithm::kStraightforward); }

BENCHMARK(Indexed)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
// The straightforward way is quadratic: a single run, and only where it ends within a minute (5000
// items take about 80 s here).
BENCHMARK(Straightforward)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf(
      "\nprocessor time per run\nitems per list   indexed ms   straightforward ms   ratio\n");
  for (const int items : {1000, 5000, 10000}) {
    const auto fast = Seconds().find({Algorithm::kIndexed, items});
    const auto slow = Seconds().find({Algorithm::kStraightforward, items});
    if (fast == Seconds().end()) continue;
    if (slow == Seconds().end()) {
      std::printf("%14d %12.1f %20s %7s\n", items, fast->second * 1e3, "-", "-");
    } else {
      std::printf("%14d %12.1f %20.1f %7.0f\n", items, fast->second * 1e3, slow->second * 1e3,
                  slow->second / fast->second);
    }
  }
  return 0;
}
