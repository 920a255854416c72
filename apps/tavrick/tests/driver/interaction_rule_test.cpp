// The rule that every action shares: which ones end a running interaction before they do their
// own work, and with it forget the cached mask values.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/action_fixture.h"

namespace tavrick::test {
namespace {

using InteractionRuleTest = ActionTest;

enum class Ends { yes, no };

struct RuleCase {
  Action action;
  const char* running;  // the key of the interaction under way when the action runs
  Ends ends;
};

const Action k_command{Command{"photo.next", ""}};
constexpr std::string_view k_reset_keys[] = {"light.exposure"};

// FocusApp is left out: it starts a program of the desktop, and its step takes no state.
const RuleCase k_rules[] = {
    {Action{Adjust{"light.exposure", 0.05}}, "light.exposure", Ends::no},  // the same key
    {Action{Adjust{"light.blacks", 0.05}}, "light.exposure", Ends::yes},   // another key
    {Action{QuickAdjust{"light.exposure", 0.05}}, "light.exposure", Ends::yes},
    {Action{MaskAdjust{"exposure", 0.05}}, "mask.exposure", Ends::no},  // the same key
    {Action{MaskAdjust{"shadows", 1.0}}, "mask.exposure", Ends::yes},   // another key
    {Action{CropAngle{0.1}}, "crop.angle", Ends::no},                   // the same key
    {Action{CropAngle{0.1}}, "light.exposure", Ends::yes},              // another key
    {Action{CropMove{0.01, 0.0}}, "light.exposure", Ends::yes},
    {Action{CropScale{0.01}}, "light.exposure", Ends::yes},
    {Action{Turn{&k_command, &k_command}}, "light.exposure", Ends::yes},
    {Action{ThumbSize{}}, "light.exposure", Ends::no},
    {k_command, "light.exposure", Ends::yes},
    {Action{UiCommand{"ui.set", R"({"view":"detail"})"}}, "light.exposure", Ends::yes},
    {Action{Reset{k_reset_keys}}, "light.exposure", Ends::yes},
    {Action{MaskReset{"exposure"}}, "mask.exposure", Ends::yes},
    {Action{ToggleFlag{"pick"}}, "light.exposure", Ends::yes},
    {Action{ToggleFilter{R"({"rating":1})"}}, "light.exposure", Ends::yes},
    {Action{Preset{1}}, "light.exposure", Ends::yes},
    {Action{SelectOnlyCurrent{}}, "light.exposure", Ends::yes},
    {Action{Unsupported{"không có"}}, "light.exposure", Ends::no},
};

TEST_F(InteractionRuleTest, EveryActionEndsARunningInteractionFirstOrLeavesItRunning) {
  const MaskCache cached{.id = 7, .values = Json{{"exposure", 3.0}, {"shadows", 50.0}}};
  for (std::size_t i = 0; i < std::size(k_rules); ++i) {
    const RuleCase& c = k_rules[i];
    SCOPED_TRACE("row " + std::to_string(i) + ", running " + c.running);
    fresh_state();
    // Every action finds what it needs: an active mask, the crop panel, a photo, a preset.
    state.ui.activeMask = 7;
    state.ui.right = "crop";
    state.ui.active = 9;
    sim->set_presets_result(Json::array({Json{{"id", "p1"}}}));
    sim->set_develop_result(
        Json{{"crop",
              {{"geometry", {{"rect", {{"x0", 0.25}, {"y0", 0.25}, {"x1", 0.75}, {"y1", 0.75}}}}}}},
             {"masks", Json::array({Json{{"id", 7}, {"adjust", {{"exposure", 1.0}}}}})}});
    state.interaction = c.running;
    state.interaction_deadline = clock.now() + Millis(600);
    state.mask_cache = cached;

    run(c.action, 1);
    const std::vector<std::string> names = commands(sent());
    const bool read_again = std::find(names.begin(), names.end(), "develop.get") != names.end();
    if (c.ends == Ends::yes) {
      ASSERT_FALSE(names.empty());
      EXPECT_EQ(names.front(), "develop.endInteraction");
      EXPECT_EQ(std::count(names.begin(), names.end(), "develop.endInteraction"), 1);
      EXPECT_NE(state.interaction, c.running);
      // The cached mask values went with the interaction: gone, or read afresh.
      EXPECT_TRUE(!state.mask_cache || read_again);
    } else {
      EXPECT_THAT(names, ::testing::Not(::testing::Contains("develop.endInteraction")));
      EXPECT_EQ(state.interaction, c.running);
      ASSERT_TRUE(state.mask_cache);
      EXPECT_EQ(state.mask_cache->id, 7u);
      EXPECT_FALSE(read_again);
    }
  }
}

}  // namespace
}  // namespace tavrick::test
