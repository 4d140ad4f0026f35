// The matching pass: decides for every usable cell of both ranges whether its value occurs as often
// in its own range as in the other, counts, and marks every mismatch.
#pragma once

#include <cstdint>

#include "host/range.h"
#include "host/value.h"
#include "state/state.h"

namespace quorvane::engine {

// One comparison run over Range 1 and Range 2: clearing, pass 1 (tag "A"), pass 2 (tag "B"), then
// the diagnosis. A stop request ends it with "User Stopped" and false. Host errors pass to the
// caller; what was counted and marked before stays.
bool RunMatchingPass(state::Run& run, const host::Range& range1, const host::Range& range2,
                     state::Algorithm algorithm = state::Algorithm::kIndexed);

}  // namespace quorvane::engine
