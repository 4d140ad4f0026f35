#include "engine/options.h"

#include <gtest/gtest.h>

#include <string>

#include "run_fixture.h"

namespace quorvane::testing {
namespace {

class FakeControl : public engine::RibbonControl {
 public:
  explicit FakeControl(std::string id) : id_(std::move(id)) {}
  std::string Id() override { return id_; }

 private:
  std::string id_;
};

engine::Bool16 Pressed(engine::AddinState& state, const std::string& id) {
  FakeControl control(id);
  return engine::GetPressed(state, control);
}

void Click(engine::AddinState& state, const std::string& id, engine::Bool16 pressed) {
  FakeControl control(id);
  engine::ToggleOption(state, control, pressed);
}

TEST(OptionsTest, DefaultsTurnFourOnAndInvalidateTheirBoxesInOrder) {
  engine::AddinState state;
  RecordingRibbon ribbon;
  state.ribbon = &ribbon;
  state.options.ignore_sign = engine::kTrue;
  engine::SetDefaultChecks(state);
  for (const char* id : {"chkRoundNum", "chkCompareNum", "chkIgnoreZero", "chkHideComments"}) {
    EXPECT_EQ(Pressed(state, id), engine::kTrue) << id;
  }
  EXPECT_EQ(Pressed(state, "chkIgnoreSign"), engine::kTrue);  // kept, not reset
  EXPECT_EQ(Pressed(state, "chkReverse"), engine::kFalse);
  EXPECT_EQ(Pressed(state, "chkIgnore10digit"), engine::kFalse);
  EXPECT_EQ(ribbon.invalidated, (std::vector<std::string>{"chkRoundNum", "chkCompareNum",
                                                          "chkIgnoreZero", "chkHideComments"}));
}

TEST(OptionsTest, EveryBoxShowsItsOwnFlag) {
  engine::AddinState state;
  for (const engine::OptionInfo& option : engine::kOptionTable) {
    const std::string id(option.id);
    Click(state, id, engine::kTrue);
    EXPECT_EQ(state.options.*option.flag, engine::kTrue) << id;
    EXPECT_EQ(Pressed(state, id), engine::kTrue) << id;
    Click(state, id, engine::kFalse);
    EXPECT_EQ(Pressed(state, id), engine::kFalse) << id;
  }
}

TEST(OptionsTest, OnlyMinusOneIsTrueAndIdsAreCaseSensitive) {
  engine::AddinState state;
  Click(state, "chkReverse", 1);
  EXPECT_EQ(state.options.reverse_sign, engine::kFalse);
  Click(state, "chkreverse", engine::kTrue);
  Click(state, "", engine::kTrue);
  EXPECT_EQ(state.options.reverse_sign, engine::kFalse);
  EXPECT_EQ(Pressed(state, "CHKROUNDNUM"), engine::kFalse);
}

// The defaults the command line and the demo start from are the ribbon's after a fresh load.
TEST(OptionsTest, DefaultOptionsAreThoseTheRibbonTicksOnLoad) {
  engine::AddinState state;
  engine::SetDefaultChecks(state);
  const engine::Options defaults = engine::DefaultOptions();
  for (const engine::OptionInfo& option : engine::kOptionTable) {
    EXPECT_EQ(defaults.*option.flag, state.options.*option.flag) << option.id;
  }
  EXPECT_EQ(defaults.round_numbers, engine::kTrue);
  EXPECT_EQ(defaults.ignore_sign, engine::kFalse);
}

TEST(OptionsTest, DefaultsComeBackOnTheNextLoadOfTheRibbon) {
  engine::AddinState state;
  engine::SetDefaultChecks(state);
  Click(state, "chkHideComments", engine::kFalse);
  Click(state, "chkReverse", engine::kTrue);
  engine::SetDefaultChecks(state);
  EXPECT_EQ(state.options.hide_comments, engine::kTrue);
  EXPECT_EQ(state.options.reverse_sign, engine::kTrue);
}

}  // namespace
}  // namespace quorvane::testing
