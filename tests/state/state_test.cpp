#include "state/state.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/error.h"
#include "memhost/host.h"
#include "support/state_listener.h"

namespace quorvane::testing {
namespace {

using state::Counter;

class RecordingLabels : public LabelSink {
 public:
  void SetCaption(std::string_view label, const std::string& caption) override {
    captions.emplace_back(std::string(label), caption);
  }
  std::vector<std::pair<std::string, std::string>> captions;
};

// Each counter has its own cell in Counters, its own label on the form and on the ribbon.
TEST(StateTest, EveryCounterHasItsOwnSlotAndLabels) {
  state::Counters counters;
  std::set<std::string_view> form_labels, ribbon_labels;
  for (int i = 0; i < state::kCounterCount; ++i) {
    const auto counter = static_cast<Counter>(i);
    counters[counter] = i + 1;
    form_labels.insert(forms::ResultsForm::CountLabel(counter));
    ribbon_labels.insert(ribbon::CountLabel(counter));
  }
  for (int i = 0; i < state::kCounterCount; ++i) {
    EXPECT_EQ(counters[static_cast<Counter>(i)], i + 1);
  }
  EXPECT_EQ(form_labels.size(), static_cast<std::size_t>(state::kCounterCount));
  EXPECT_EQ(ribbon_labels.size(), static_cast<std::size_t>(state::kCounterCount));
  EXPECT_EQ(counters.mismatch2, 6);
  EXPECT_EQ(forms::ResultsForm::CountLabel(Counter::kHidden2), "lblHiddenCell2");
  EXPECT_EQ(ribbon::CountLabel(Counter::kTranspose1), "lblPossibleTP01");
}

TEST(StateTest, CountersStopOrFailAtTheLimitAndShowEveryValue) {
  memhost::MemHost host;
  state::AddinState state;
  state.application = &host;
  RecordingLabels labels;
  StateListener listener(state);
  listener.labels = &labels;
  state.limits.max_count = 2;
  state::Run run = RunOf(listener);
  state::IncrementCounter(run, Counter::kMatch1);
  state::IncrementCounter(run, Counter::kMatch1);
  EXPECT_THROW(state::IncrementCounter(run, Counter::kMatch1), host::HostError);
  EXPECT_EQ(run.counters.match1, 2);
  EXPECT_EQ(state.counters.match1, 2);
  for (int i = 0; i < 3; ++i) state::IncrementCounterUpToLimit(run, Counter::kYear2);
  EXPECT_EQ(run.counters.year2, 2);
  EXPECT_EQ(state.counters.year2, 2);
  using ::testing::ElementsAre;
  using ::testing::Pair;
  EXPECT_THAT(labels.captions,
              ElementsAre(Pair("lblMatch1", "1"), Pair("lblMatch1", "2"), Pair("lblYearOff2", "1"),
                          Pair("lblYearOff2", "2"), Pair("lblYearOff2", "2")));
}

TEST(StateTest, NoticeLinesKeepTheirCells) {
  state::AddinState state;
  EXPECT_TRUE(state::NoticeLines(state).empty());
  EXPECT_THROW(state.app(), host::HostError);
  state.notices = "1) first\n2) second\n";
  state.notice_cells.resize(1);
  const std::vector<state::NoticeLine> lines = state::NoticeLines(state);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, "1) first");
  EXPECT_EQ(lines[1].text, "2) second");
  EXPECT_EQ(lines[2].text, "");
  state::ClearNotices(state);
  EXPECT_TRUE(state.notices.empty());
  EXPECT_TRUE(state.notice_cells.empty());
}

}  // namespace
}  // namespace quorvane::testing
