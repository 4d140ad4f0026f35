#include "engine/clearing.h"

#include "analysis/resolve.h"
#include "host/error.h"
#include "marks/clearing.h"

namespace quorvane::engine {

bool ClearBothRanges(state::Run& run, const host::Range& range1, const host::Range& range2) {
  state::ResetCounters(run);
  marks::MarkEraser eraser;
  try {
    for (const host::Range* range : {&range1, &range2}) {
      eraser.ClearRange(analysis::ResolveRange(run.app(), *range));
    }
  } catch (const host::HostError&) {
    run.app().MsgBox(kClearFailedMessage);
    return false;
  }
  return true;
}

}  // namespace quorvane::engine
