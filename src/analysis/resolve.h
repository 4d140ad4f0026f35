// Resolving a range to its working range: its workbook activated, its sheet selected, and the part
// of it inside the sheet's used range.
#pragma once

#include "host/application.h"
#include "host/range.h"

namespace quorvane::analysis {

// The intersection of the range with its sheet's used range, or nothing when they do not overlap.
// Raises a HostError for a range that is nothing, an address without "[" and "]", or a workbook or
// sheet that cannot be activated.
host::Range ResolveRange(host::Application& app, const host::Range& range);

}  // namespace quorvane::analysis
