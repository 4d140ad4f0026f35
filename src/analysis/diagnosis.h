// Diagnosing the mismatches of Range 1 against those of Range 2: rounding errors, possible
// transpositions and possible year errors.
#pragma once

#include <string>
#include <string_view>

#include "host/locale.h"
#include "host/range.h"
#include "state/state.h"

namespace quorvane::analysis {

// A cell takes part in at most this many reported pairs. Past that its comment would only repeat
// the finding with yet another partner, and thousands of mismatches written with the same digits
// would each pair with each: a pair in which either cell has reached the cap is passed over.
inline constexpr int kMaxPairsPerCell = 1000;

// Visits every marked cell of Range 1 against every marked cell of Range 2, in that order, and
// reports each pair found, up to kMaxPairsPerCell pairs a cell. Then, with "Explain More", the
// marked numbers of both ranges are searched for sign errors, decimal slides, transpositions in the
// amount and totals split or merged (analysis/explain.h), their amounts read as the comparison
// compared them: with the signs and rounding of `compared`, the options the comparison took at its
// start (the run's own when none are given). Host errors pass to the caller.
void DiagnoseMismatches(state::Run& run, const host::Range& range1, const host::Range& range2,
                        state::Algorithm algorithm = state::Algorithm::kIndexed,
                        const state::Options* compared = nullptr);

// The character signature of a text: a date loses its date separators ("/" in en-US), a number its
// decimal separator and has its characters sorted; other texts stay as they are.
std::string SortedChars(std::string_view text,
                        const host::Conversions& conversions = host::EnUsConversions());

}  // namespace quorvane::analysis
