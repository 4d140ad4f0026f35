#include "engine/options.h"

#include <gtest/gtest.h>

#include <string>

#include "run_fixture.h"

namespace quorvane::testing {
namespace {

class FakeControl : public state::RibbonControl {
 public:
  explicit FakeControl(std::string id) : id_(std::move(id)) {}
  std::string Id() override { return id_; }

 private:
  std::string id_;
};

state::Bool16 Pressed(state::AddinState& state, const std::string& id) {
  FakeControl control(id);
  return engine::GetPressed(state, control);
}

void Click(state::AddinState& state, const std::string& id, state::Bool16 pressed) {
  FakeControl control(id);
  engine::ToggleOption(state, control, pressed);
}

TEST(OptionsTest, DefaultsTurnFiveOnAndInvalidateTheirBoxesInOrder) {
  state::AddinState state;
  RecordingRibbon ribbon;
  state.ribbon = &ribbon;
  state.options.ignore_sign = state::kTrue;
  state.options.explain_more = state::kFalse;
  engine::SetDefaultChecks(state);
  for (const char* id :
       {"chkRoundNum", "chkCompareNum", "chkIgnoreZero", "chkHideComments", "chkExplainMore"}) {
    EXPECT_EQ(Pressed(state, id), state::kTrue) << id;
  }
  EXPECT_EQ(Pressed(state, "chkIgnoreSign"), state::kTrue);  // kept, not reset
  EXPECT_EQ(Pressed(state, "chkReverse"), state::kFalse);
  EXPECT_EQ(Pressed(state, "chkIgnore10digit"), state::kFalse);
  EXPECT_EQ(ribbon.invalidated,
            (std::vector<std::string>{"chkRoundNum", "chkCompareNum", "chkIgnoreZero",
                                      "chkHideComments", "chkExplainMore"}));
}

TEST(OptionsTest, EveryBoxShowsItsOwnFlag) {
  state::AddinState state;
  for (const engine::OptionInfo& option : engine::kOptionTable) {
    const std::string id(option.id);
    Click(state, id, state::kTrue);
    EXPECT_EQ(state.options.*option.flag, state::kTrue) << id;
    EXPECT_EQ(Pressed(state, id), state::kTrue) << id;
    Click(state, id, state::kFalse);
    EXPECT_EQ(Pressed(state, id), state::kFalse) << id;
  }
}

TEST(OptionsTest, OnlyMinusOneIsTrueAndIdsAreCaseSensitive) {
  state::AddinState state;
  Click(state, "chkReverse", 1);
  EXPECT_EQ(state.options.reverse_sign, state::kFalse);
  Click(state, "chkreverse", state::kTrue);
  Click(state, "", state::kTrue);
  EXPECT_EQ(state.options.reverse_sign, state::kFalse);
  EXPECT_EQ(Pressed(state, "CHKROUNDNUM"), state::kFalse);
}

// The defaults the command line and the demo start from are the ribbon's after a fresh load.
TEST(OptionsTest, DefaultOptionsAreThoseTheRibbonTicksOnLoad) {
  state::AddinState state;
  engine::SetDefaultChecks(state);
  const state::Options defaults = engine::DefaultOptions();
  for (const engine::OptionInfo& option : engine::kOptionTable) {
    EXPECT_EQ(defaults.*option.flag, state.options.*option.flag) << option.id;
  }
  EXPECT_EQ(defaults.round_numbers, state::kTrue);
  EXPECT_EQ(defaults.ignore_sign, state::kFalse);
}

TEST(OptionsTest, DefaultsComeBackOnTheNextLoadOfTheRibbon) {
  state::AddinState state;
  engine::SetDefaultChecks(state);
  Click(state, "chkHideComments", state::kFalse);
  Click(state, "chkReverse", state::kTrue);
  Click(state, "chkExplainMore", state::kFalse);
  engine::SetDefaultChecks(state);
  EXPECT_EQ(state.options.hide_comments, state::kTrue);
  EXPECT_EQ(state.options.explain_more, state::kTrue);
  EXPECT_EQ(state.options.reverse_sign, state::kTrue);
}

}  // namespace
}  // namespace quorvane::testing
