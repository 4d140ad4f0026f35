// A run's host calls grow with the size of the lists, not with their product: on the real host each
// call crosses a process boundary.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "engine/matching.h"
#include "run_fixture.h"
#include "support/counting_host.h"

namespace quorvane::testing {
namespace {

class HostCallsTest : public RunFixture {};

TEST_F(HostCallsTest, ARunAsksAtMostTenCallsPerCellAndFortyPerMismatch) {
  DefaultOptions();
  constexpr int kCells = 2000;
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> cents(100, 999999);
  for (int r = 1; r <= kCells; ++r) {
    const double amount = cents(rng) / 100.0;
    sheet.Put(r, 1, N(amount));
    // One in five entries of the ledger differs: a typing slip in the cents.
    sheet.Put(r, 2, N(r % 5 == 0 ? amount + 0.09 : amount));
  }
  sheet.HideRow(17);
  // The run sees the host through a counter.
  CountingApplication counted(mem);
  state.application = &counted;
  host::Range r1 = counted.Wrap(sheet.Ref("A1:A2000")), r2 = counted.Wrap(sheet.Ref("B1:B2000"));

  for (int run = 1; run <= 2; ++run) {  // the second run also clears the first run's marks
    const std::int32_t before = state.counters.mismatch1 + state.counters.mismatch2;
    counted.Reset();
    MatchRanges(listener, r1, r2);
    const std::int64_t mismatches = state.counters.mismatch1 + state.counters.mismatch2 + before;
    ASSERT_GE(mismatches, 2 * kCells / 5);
    const std::uint64_t bound = 10u * 2 * kCells + 40u * static_cast<std::uint64_t>(mismatches);
    EXPECT_LE(counted.total(), bound) << "run " << run;
    // No member is asked once per pair of cells.
    EXPECT_LT(counted.count(host::Call::kValue), 4u * kCells) << "run " << run;
    EXPECT_LT(counted.count(host::Call::kInteriorColor), 4u * kCells) << "run " << run;
  }
}

}  // namespace
}  // namespace quorvane::testing
