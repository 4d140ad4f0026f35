// The matching pass: decides for every usable cell of both ranges whether its value occurs as often
// in its own range as in the other, counts, and marks every mismatch.
#pragma once

#include <cstdint>

#include "engine/state.h"
#include "host/range.h"
#include "host/value.h"

namespace quorvane::engine {

// How the counts of a cell's value are found. Both give the same results on every input.
enum class Algorithm {
  // Each range is read once; values are counted through an index of normalised keys, so a run
  // asks the host a bounded number of things per cell. On a host with a screen the first five
  // seconds of a run still scan and flash the candidates one by one.
  kIndexed,
  // Every checked cell scans both ranges, cell by cell, through the host: quadratic in the size of
  // the lists. Kept as the reference that the indexed one is tested against.
  kStraightforward,
};

// One comparison run over Range 1 and Range 2: clearing, pass 1 (tag "A"), pass 2 (tag "B"), then
// the diagnosis. A stop request ends it with "User Stopped". Host errors pass to the caller; what
// was counted and marked before stays.
void RangeComp(AddinState& state, host::Range& oRange1, host::Range& oRange2,
               Algorithm algorithm = Algorithm::kIndexed);

}  // namespace quorvane::engine
