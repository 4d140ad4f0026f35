// Marking a mismatched cell: the result block and the format memo in its comment, the rectangle
// with the two counts, and the mismatch fill.
#pragma once

#include <cstdint>
#include <string>

#include "host/range.h"
#include "state/state.h"

namespace quorvane::engine {

void MarkMismatch(Run& state, const host::Range& cell, const std::string& tag,
                  std::int64_t count_here, std::int64_t count_there);

}  // namespace quorvane::engine
