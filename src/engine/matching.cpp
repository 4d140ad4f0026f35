#include "engine/matching.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "analysis/clearing.h"
#include "analysis/diagnosis.h"
#include "analysis/resolve.h"
#include "analysis/shapes.h"
#include "engine/marking.h"
#include "host/conversions.h"
#include "host/error.h"
#include "host/value.h"

namespace quorvane::engine {

namespace {

// The animation flashes candidate cells during the first five seconds of a run.
constexpr double kSlowTimeDays = 5.0 / 86400.0;
// After the animation the pass yields to the host after every 100th counted candidate.
constexpr int kYieldEvery = 100;
constexpr int kAnimationColor = 0;     // black while a candidate is looked at
constexpr int kAnimationMatch = 1000;  // RGB(232, 3, 0) when it equals the target

// Raised inside the counting scans when the user asks the run to stop; caught by RangeComp only.
struct StopRequested {};

bool IsTenDigits(const host::Value& numeric) {
  return host::FormatWhole(host::ToNumber(numeric)).size() == 10;
}

class MatchingRun {
 public:
  MatchingRun(AddinState& state, host::Application& app) : state_(state), app_(app) {}

  void SetUp(host::Range& range1, host::Range& range2) {
    round_num_ = state_.options.bRoundNum;
    state_.bStop = kFalse;
    start_ = app_.Now();
    matched_.clear();
    state_.notices.clear();
    state_.notice_number = 0;
    analysis::ResetCounts(state_);
    // The clearing reports its own failures; the run goes on whatever it reported.
    analysis::Clearformats(state_, range1, range2);
    ignore_sign_ = state_.options.bIgnoreSign;
    reverse_ = state_.options.bReverse;
  }

  // Pass 1 walks Range 1 against Range 2 with tag "A", pass 2 the other way round with tag "B".
  void Pass(int k, const host::Range& this_given, const host::Range& other_given) {
    const host::Range this_range = analysis::ResolveRange(app_, this_given);
    const host::Range other_range = analysis::ResolveRange(app_, other_given);
    analysis::RemoveCommentShapes(this_range, k == 1 ? "A" : "B");
    const std::int64_t count = this_range.CellsCount();
    for (std::int64_t i = 1; i <= count; ++i) {
      CheckCell(k, this_range.Item(i), this_range, other_range);
    }
  }

 private:
  void AddNotice(const host::Range& cell, const char* what) {
    if (state_.notice_number == std::numeric_limits<std::int16_t>::max()) {
      throw host::HostError(host::kOverflow);
    }
    ++state_.notice_number;
    if (!state_.notices.empty()) state_.notices += "\n";
    state_.notices += std::to_string(state_.notice_number) + ") " + cell.Address(true) + what;
  }

  void CheckCell(int k, const host::Range& cell, const host::Range& this_range,
                 const host::Range& other_range) {
    const bool first = k == 1;
    const bool hidden = cell.RowHidden();
    if (hidden) {
      IncrementCounter(state_, first ? Counter::kHidden1 : Counter::kHidden2);
      RefreshControl(state_, first ? "lblHiddenCells01" : "lblHiddenCells02");
    } else {
      IncrementCounter(state_, first ? Counter::kCount1 : Counter::kCount2);
      RefreshControl(state_, first ? "lblCount01" : "lblCount02");
    }

    const host::Value value = cell.GetValue();
    const std::string text = cell.Text();
    host::Value target = value;
    bool included = true;

    // The exclusion tests, in order: the first that applies decides.
    const Options& options = state_.options;
    const bool numeric = host::IsNumeric(value);
    if (numeric && host::ToNumber(value) == 0 && options.bIgnoreZero != kFalse) {
      included = false;
    } else if (!numeric && options.bCompareNum != kFalse) {
      included = false;
    } else if (app_.IsError(cell)) {
      included = false;
      AddNotice(cell, " is ERROR");
    } else if (text.empty() || value.is_empty()) {
      included = false;
    } else if (hidden) {
      included = false;
    } else if (app_.IsText(cell)) {
      if (const std::optional<double> number = host::ReadNumber(value.text())) {
        target = host::Value::Number(*number);
        AddNotice(cell, " is text but probably should be number.");
      } else if (const std::optional<double> date = host::ReadDate(value.text())) {
        target = host::Value::Date(*date);
        AddNotice(cell, " is text but probably should be date.");
      }
    }

    if (host::IsNumeric(target) && ignore_sign_ != kFalse) {
      target = host::Value::Number(std::fabs(host::ToNumber(target)));
    }
    if (host::IsNumeric(target) && reverse_ != kFalse && first) {
      target = host::Value::Number(-host::ToNumber(target));
    }
    if (included && options.bIgnore10digit != kFalse && host::IsNumeric(target) &&
        IsTenDigits(target)) {
      included = false;
    }
    if (!included) return;

    std::int64_t count_here = 0;
    std::int64_t count_there = 0;
    const std::string key = "|" + text + "|";
    if (matched_.find(key) == std::string::npos) {
      // Range 1's candidates are sign-reversed under Reverse Sign, in either pass.
      count_here = CountInRange(this_range, target, reverse_ != kFalse && first ? -1 : 1);
      count_there = CountInRange(other_range, target, reverse_ != kFalse && !first ? -1 : 1);
    }

    if (count_here == count_there) {
      IncrementCounter(state_, first ? Counter::kMatch1 : Counter::kMatch2);
      matched_ += key;
    } else {
      IncrementCounter(state_, first ? Counter::kMismatch1 : Counter::kMismatch2);
      RefreshControl(state_, first ? "lblNoMatch01" : "lblNoMatch02");
      MarkMismatch(state_, cell, first ? "A" : "B", static_cast<std::int16_t>(count_here),
                   static_cast<std::int16_t>(count_there));
    }
  }

  // The number of cells of the range equal to the target, visiting every cell of every area.
  std::int64_t CountInRange(const host::Range& range, const host::Value& target, int sign) {
    std::int64_t n = 0;
    std::int64_t included = 0;
    bool slowtime = true;
    range.ForEachCell([&](const host::Range& candidate) {
      if (state_.bStop != kFalse) throw StopRequested{};
      const Options& options = state_.options;
      if (candidate.RowHidden()) return;
      if (candidate.Text().empty()) return;
      const host::Value stored = candidate.GetValue();
      if (stored.is_empty() || stored.is_error()) return;
      const bool numeric = host::IsNumeric(stored);
      if (!numeric && options.bCompareNum != kFalse) return;
      if (options.bIgnore10digit != kFalse && numeric && IsTenDigits(stored)) return;

      ++included;
      host::Value value = stored;
      if (numeric) {
        value = host::Value::Number(host::ToNumber(stored));
      } else if (const std::optional<double> date = host::ToDateSerial(stored)) {
        value = host::Value::Date(*date);
      }
      if (host::IsNumeric(value)) {
        double number = host::ToNumber(value);
        if (ignore_sign_ != kFalse) number = std::fabs(number);
        value = host::Value::Number(number * sign);
      }

      if (slowtime && app_.Now() - start_ > kSlowTimeDays) slowtime = false;
      bool match_now = false;
      if (slowtime) {
        // Flash the candidate, let the host redraw, then put its fill back: colour, then pattern.
        const double color = candidate.InteriorColor();
        const double pattern = candidate.InteriorPattern();
        candidate.SetInteriorColor(host::Value::Number(kAnimationColor));
        if (host::Equal(value, target)) {
          match_now = true;
          candidate.SetInteriorColor(host::Value::Number(kAnimationMatch));
        }
        app_.DoEvents();
        candidate.SetInteriorColor(host::Value::Number(color));
        candidate.SetInteriorPattern(host::Value::Number(pattern));
      } else {
        match_now = host::Equal(value, target);
      }

      if (match_now) {
        ++n;
      } else if (host::IsNumeric(target) && round_num_ != kFalse && host::IsNumeric(value) &&
                 host::RoundHalfEven(host::ToNumber(target), 2) ==
                     host::RoundHalfEven(host::ToNumber(value), 2)) {
        ++n;
      }
      if (included % kYieldEvery == 0 && !slowtime) app_.DoEvents();
    });
    RefreshCounts(state_);
    return n;
  }

  AddinState& state_;
  host::Application& app_;
  Bool16 round_num_ = kFalse;
  Bool16 ignore_sign_ = kFalse;
  Bool16 reverse_ = kFalse;
  double start_ = 0;
  // The displayed texts of the cells that matched so far, each as "|text|".
  std::string matched_;
};

}  // namespace

void RangeComp(AddinState& state, host::Range& oRange1, host::Range& oRange2) {
  host::Application& app = state.app();
  MatchingRun run(state, app);
  run.SetUp(oRange1, oRange2);
  try {
    run.Pass(1, oRange1, oRange2);
    run.Pass(2, oRange2, oRange1);
  } catch (const StopRequested&) {
    app.MsgBox("User Stopped");
    RefreshCounts(state);
    return;
  }
  analysis::DiagnoseMismatches(state, oRange1, oRange2);
}

}  // namespace quorvane::engine
