// Knob turns that change develop parameters inside interactions, mask values with their
// limits, the thumbnail size and the resets, checked on the request lines the simulated
// application receives.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "support/action_fixture.h"

namespace tavrick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using ParameterActionsTest = ActionTest;

const Action k_exposure{Adjust{"light.exposure", 0.05}};
const Action k_blacks{Adjust{"light.blacks", 1.0}};

TEST_F(ParameterActionsTest, QuickTurnsOfOneKnobShareOneInteraction) {
  run(k_exposure, 1, "Exposure");
  run(k_exposure, 1, "Exposure");
  run(k_exposure, 2, "Exposure");
  ASSERT_EQ(state.interaction, "light.exposure");
  EXPECT_EQ(state.interaction_deadline, clock.now() + Millis(600));
  // The event loop ends the interaction once its deadline has passed.
  clock.advance(Millis(650));
  end_interaction(state);

  EXPECT_THAT(
      sent(),
      ElementsAre(
          R"({"id":2,"method":"engine.execute","params":{"command":"develop.beginInteraction","params":{"label":"Exposure"}}})",
          R"({"id":3,"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"light.exposure","delta":0.05}}})",
          R"({"id":4,"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"light.exposure","delta":0.05}}})",
          R"({"id":5,"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"light.exposure","delta":0.1}}})",
          R"({"id":6,"method":"engine.execute","params":{"command":"develop.endInteraction"}})"));
  EXPECT_FALSE(state.interaction);
  EXPECT_FALSE(state.interaction_deadline);
}

TEST_F(ParameterActionsTest, TurningAnotherKnobEndsTheFirstInteraction) {
  run(k_exposure, 1, "Exposure");
  run(k_blacks, -1, "Blacks");

  EXPECT_THAT(
      sent(),
      ElementsAre(
          R"({"id":2,"method":"engine.execute","params":{"command":"develop.beginInteraction","params":{"label":"Exposure"}}})",
          R"({"id":3,"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"light.exposure","delta":0.05}}})",
          R"({"id":4,"method":"engine.execute","params":{"command":"develop.endInteraction"}})",
          R"({"id":5,"method":"engine.execute","params":{"command":"develop.beginInteraction","params":{"label":"Blacks"}}})",
          R"({"id":6,"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"light.blacks","delta":-1.0}}})"));
  EXPECT_EQ(state.interaction, "light.blacks");
}

TEST_F(ParameterActionsTest, ZeroDetentTurnBeginsAndExtendsTheInteraction) {
  run(k_exposure, 0, "Exposure");
  clock.advance(Millis(500));
  run(k_exposure, 0, "Exposure");
  EXPECT_EQ(state.interaction_deadline, clock.now() + Millis(600));

  EXPECT_THAT(
      sent(),
      ElementsAre(
          R"({"id":2,"method":"engine.execute","params":{"command":"develop.beginInteraction","params":{"label":"Exposure"}}})",
          R"({"id":3,"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"light.exposure","delta":0.0}}})",
          R"({"id":4,"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"light.exposure","delta":0.0}}})"));
}

TEST_F(ParameterActionsTest, DeltasAreSentUnrounded) {
  run(Action{Adjust{"effects.clarity", 0.1}}, 3, "Clarity");
  run(Action{QuickAdjust{"effects.clarity", 0.1}}, 3, "Clarity");

  EXPECT_THAT(
      sent(),
      ElementsAre(
          R"({"id":2,"method":"engine.execute","params":{"command":"develop.beginInteraction","params":{"label":"Clarity"}}})",
          R"({"id":3,"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"effects.clarity","delta":0.30000000000000004}}})",
          R"({"id":4,"method":"engine.execute","params":{"command":"develop.endInteraction"}})",
          R"({"id":5,"method":"engine.execute","params":{"command":"develop.quickAdjust","params":{"control":"effects.clarity","delta":0.30000000000000004}}})"));
  EXPECT_FALSE(state.interaction);
}

TEST_F(ParameterActionsTest, ResetsEndTheInteractionAndNameEachKeyInOrder) {
  static constexpr std::array<std::string_view, 2> k_keys{"mixer.red.hue", "mixer.orange.hue"};
  run(k_exposure, 1, "Exposure");
  run(Action{Reset{k_keys}}, 0);
  run(Action{MaskReset{"shadows"}}, 0);

  EXPECT_THAT(
      sent(),
      ElementsAre(
          R"({"id":2,"method":"engine.execute","params":{"command":"develop.beginInteraction","params":{"label":"Exposure"}}})",
          R"({"id":3,"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"light.exposure","delta":0.05}}})",
          R"({"id":4,"method":"engine.execute","params":{"command":"develop.endInteraction"}})",
          R"({"id":5,"method":"engine.execute","params":{"command":"develop.resetControl","params":{"control":"mixer.red.hue"}}})",
          R"({"id":6,"method":"engine.execute","params":{"command":"develop.resetControl","params":{"control":"mixer.orange.hue"}}})",
          // No active mask: the reset is sent anyway and names no mask.
          R"({"id":7,"method":"engine.execute","params":{"command":"mask.adjust","params":{"values":{"shadows":0.0}}}})"));
}

TEST_F(ParameterActionsTest, ThumbSizeStaysWithinItsRangeAndLeavesTheInteractionRunning) {
  struct Case {
    double start;
    std::int32_t detents;
    const char* line;
  };
  const Case cases[] = {
      // 220 - 200 would be 20: held at the smallest size.
      {220.0, -20, R"({"id":2,"method":"ui.set","params":{"thumbSize":90.0}})"},
      // 220 + 300 would be 520: held at the largest size.
      {220.0, 30, R"({"id":2,"method":"ui.set","params":{"thumbSize":480.0}})"},
      // Inside the range the steps are 10.
      {220.0, 3, R"({"id":2,"method":"ui.set","params":{"thumbSize":250.0}})"},
      // A size reported outside the range is brought back into it.
      {600.0, 0, R"({"id":2,"method":"ui.set","params":{"thumbSize":480.0}})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    fresh_state();
    state.ui.thumbSize = c.start;
    state.interaction = "light.exposure";
    clock.advance(Millis(1));
    run(Action{ThumbSize{}}, c.detents);
    EXPECT_THAT(sent(), ElementsAre(c.line));
    EXPECT_EQ(state.ui_changed_at, clock.now());
    EXPECT_EQ(state.interaction, "light.exposure");
  }
}

TEST_F(ParameterActionsTest, CropAngleOpensTheCropPanelOnce) {
  const Action angle{CropAngle{0.1}};
  run(k_exposure, 1, "Exposure");
  clock.advance(Millis(5));
  run(angle, 1, "Straighten");
  const std::optional<Instant> opened_at = state.ui_changed_at;
  EXPECT_EQ(opened_at, clock.now());
  EXPECT_EQ(state.ui.right, "crop");
  clock.advance(Millis(5));
  // The panel is crop now: the second turn only adjusts.
  run(angle, -2, "Straighten");
  EXPECT_EQ(state.ui_changed_at, opened_at);

  EXPECT_THAT(
      sent(),
      ElementsAre(
          R"({"id":2,"method":"engine.execute","params":{"command":"develop.beginInteraction","params":{"label":"Exposure"}}})",
          R"({"id":3,"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"light.exposure","delta":0.05}}})",
          R"({"id":4,"method":"engine.execute","params":{"command":"develop.endInteraction"}})",
          R"({"id":5,"method":"engine.execute","params":{"command":"panel.crop"}})",
          R"({"id":6,"method":"engine.execute","params":{"command":"develop.beginInteraction","params":{"label":"Straighten"}}})",
          R"({"id":7,"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"crop.angle","delta":0.1}}})",
          R"({"id":8,"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"crop.angle","delta":-0.2}}})"));
}

TEST_F(ParameterActionsTest, CropAngleWhenTheCropPanelIsAlreadyOpen) {
  state.ui.right = "crop";
  run(Action{CropAngle{0.1}}, 1, "Straighten");
  EXPECT_FALSE(state.ui_changed_at);
  EXPECT_THAT(
      sent(),
      ElementsAre(
          R"({"id":2,"method":"engine.execute","params":{"command":"develop.beginInteraction","params":{"label":"Straighten"}}})",
          R"({"id":3,"method":"engine.execute","params":{"command":"develop.adjust","params":{"control":"crop.angle","delta":0.1}}})"));
}

TEST_F(ParameterActionsTest, MaskValuesAreAbsoluteAndKeptWithinTheirLimits) {
  struct Case {
    const char* develop_result;
    MaskAdjust action;
    std::int32_t detents;
    const char* values;
  };
  const Case cases[] = {
      // Exposure is held at +4 stops: 3.98 + 0.05.
      {R"({"masks":[{"id":7,"adjust":{"exposure":3.98}}]})",
       {"exposure", 0.05},
       1,
       R"({"exposure":4.0})"},
      // ... and at -4 stops.
      {R"({"masks":[{"id":7,"adjust":{"exposure":-3.9}}]})",
       {"exposure", 0.05},
       -3,
       R"({"exposure":-4.0})"},
      // Other parameters are held at 100: 99.5 + 2.
      {R"({"masks":[{"id":7,"adjust":{"temp":99.5}}]})", {"temp", 1.0}, 2, R"({"temp":100.0})"},
      // An integer value counts as a number.
      {R"({"masks":[{"id":7,"adjust":{"temp":-99}}]})", {"temp", 1.0}, -5, R"({"temp":-100.0})"},
      // The element of the active mask has no adjust object: the value starts at 0.
      {R"({"masks":[{"id":7}]})", {"shadows", 1.0}, -2, R"({"shadows":-2.0})"},
      // Only the element whose id is the active mask counts.
      {R"({"masks":[{"id":6,"adjust":{"shadows":50}},{"id":7,"adjust":{"shadows":10}}]})",
       {"shadows", 1.0},
       1,
       R"({"shadows":11.0})"},
      // A value that is not a number counts as 0.
      {R"({"masks":[{"id":7,"adjust":{"shadows":"10"}}]})",
       {"shadows", 1.0},
       1,
       R"({"shadows":1.0})"},
      // No masks at all.
      {R"({"crop":{}})", {"exposure", 0.05}, 2, R"({"exposure":0.1})"},
      // A masks member that is not an array.
      {R"({"masks":{"id":7}})", {"highlights", 1.0}, 250, R"({"highlights":100.0})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.develop_result);
    fresh_state();
    sim->set_develop_result(*parse_json(c.develop_result));
    state.ui.activeMask = 7;
    run(Action{c.action}, c.detents, "Localized");
    const std::string key(c.action.key);
    EXPECT_THAT(sent(),
                ElementsAre(command_line(2, "develop.beginInteraction", R"({"label":"Localized"})"),
                            command_line(3, "develop.get"),
                            command_line(4, "mask.adjust",
                                         std::string(R"({"id":7,"values":)") + c.values + "}")));
    EXPECT_EQ(state.interaction, "mask." + key);
  }
}

TEST_F(ParameterActionsTest, MaskValuesAreReadOncePerInteraction) {
  const Action mask_exposure{MaskAdjust{"exposure", 0.5}};
  const auto mask_values = [&](const char* masks) {
    // Past the sync the simulated application has applied every earlier mask.adjust.
    std::vector<std::string> lines = sent();
    sim->set_develop_result(*parse_json(masks));
    return lines;
  };
  state.ui.activeMask = 7;
  sim->set_develop_result(*parse_json(R"({"masks":[{"id":7,"adjust":{"exposure":1.0}}]})"));
  run(mask_exposure, 1, "Localized Exposure");
  run(mask_exposure, 1, "Localized Exposure");
  // The user changed the value meanwhile; the running interaction keeps its own.
  EXPECT_THAT(
      mask_values(R"({"masks":[{"id":7,"adjust":{"exposure":-1.0}}]})"),
      ElementsAre(command_line(2, "develop.beginInteraction", R"({"label":"Localized Exposure"})"),
                  command_line(3, "develop.get"),
                  command_line(4, "mask.adjust", R"({"id":7,"values":{"exposure":1.5}})"),
                  command_line(5, "mask.adjust", R"({"id":7,"values":{"exposure":2.0}})")));
  run(mask_exposure, 1, "Localized Exposure");
  // After the pause the value is read again.
  clock.advance(Millis(700));
  end_interaction(state);
  EXPECT_THAT(mask_values(R"({"masks":[{"id":7,"adjust":{"exposure":-1.0}}]})"),
              ElementsAre(command_line(7, "mask.adjust", R"({"id":7,"values":{"exposure":2.5}})"),
                          command_line(8, "develop.endInteraction")));
  run(mask_exposure, 1, "Localized Exposure");
  // Another mask is read at once, inside the same interaction.
  EXPECT_THAT(
      mask_values(R"({"masks":[{"id":7},{"id":8,"adjust":{"exposure":3.0}}]})"),
      ElementsAre(command_line(10, "develop.beginInteraction", R"({"label":"Localized Exposure"})"),
                  command_line(11, "develop.get"),
                  command_line(12, "mask.adjust", R"({"id":7,"values":{"exposure":-0.5}})")));
  state.ui.activeMask = 8;
  run(mask_exposure, 1, "Localized Exposure");
  EXPECT_EQ(state.interaction, "mask.exposure");
  EXPECT_THAT(sent(), ElementsAre(command_line(14, "develop.get"),
                                  command_line(15, "mask.adjust",
                                               R"({"id":8,"values":{"exposure":3.5}})")));
}

TEST_F(ParameterActionsTest, MaskAdjustWithoutActiveMaskOnlyReports) {
  run(k_exposure, 1, "Exposure");
  const std::optional<Instant> deadline = state.interaction_deadline;
  clock.advance(Millis(100));
  run(Action{MaskAdjust{"exposure", 0.05}}, 1, "Localized Exposure");

  EXPECT_THAT(log.lines(), ElementsAre("Localized Exposure: chưa chọn mask nào"));
  EXPECT_EQ(state.interaction, "light.exposure");
  EXPECT_EQ(state.interaction_deadline, deadline);
  EXPECT_EQ(sent().size(), 2u);  // only the Exposure turn
}

TEST_F(ParameterActionsTest, MaskValueStartsAtZeroWhenTheApplicationDoesNotAnswer) {
  struct Case {
    const char* name;
    sorvic_sim::Responder responder;
  };
  const Case cases[] = {
      // A refusal.
      {"refusal", answer(R"("ok":false,"error":"no photo")")},
      // A reply without a result.
      {"no result", answer(R"("ok":true)")},
      // A line that is not JSON: the call waits for its time-out.
      {"garbage", fixed_line("{\"id\":")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fresh_state();
    sim->set_responder("develop.get", c.responder);
    state.ui.activeMask = 3;
    run(Action{MaskAdjust{"exposure", 0.05}}, 100, "Localized Exposure");
    EXPECT_THAT(
        sent(),
        ElementsAre(
            command_line(2, "develop.beginInteraction", R"({"label":"Localized Exposure"})"),
            command_line(3, "develop.get"),
            command_line(4, "mask.adjust", R"({"id":3,"values":{"exposure":4.0}})")));
  }
  sim->set_responder("develop.get", {});
}

}  // namespace
}  // namespace tavrick::test
