#include "ribbon/callbacks.h"

#include <array>
#include <utility>

namespace quorvane::ribbon {

using engine::Counter;

std::string CountText(std::int32_t count) {
  // std::to_string gives the minus sign of a negative number; the others get a blank in its place.
  return count < 0 ? std::to_string(count) : " " + std::to_string(count);
}

std::string OnGetText(const engine::AddinState& state, RibbonControl& control) {
  if (control.Id() == "EditBox1") return state.sRange1;
  if (control.Id() == "EditBox2") return state.sRange2;
  if (control.Id() == "txtCount01") return CountText(state.counters.nCount1);
  static constexpr std::array<std::pair<const char*, Counter>, 12> kLabels = {{
      {"lblCount01", Counter::kCount1},
      {"lblCount02", Counter::kCount2},
      {"lblMatch01", Counter::kMatch1},
      {"lblMatch02", Counter::kMatch2},
      {"lblNoMatch01", Counter::kMismatch1},
      {"lblNoMatch02", Counter::kMismatch2},
      {"lblPossibleTP01", Counter::kTranspose1},
      {"lblPossibleTP02", Counter::kTranspose2},
      {"lblPossibleYO01", Counter::kYear1},
      {"lblPossibleYO02", Counter::kYear2},
      {"lblHiddenCells01", Counter::kHidden1},
      {"lblHiddenCells02", Counter::kHidden2},
  }};
  for (const auto& [id, counter] : kLabels) {
    if (control.Id() == id) return CountText(state.counters[counter]);
  }
  return {};
}

engine::Bool16 GetEnable(const engine::AddinState& state) {
  return !state.sRange1.empty() && !state.sRange2.empty() ? engine::kTrue : engine::kFalse;
}

void VNT(forms::ResultsForm& form) { form.Show(); }

}  // namespace quorvane::ribbon
