// Presets by position: the order of the application's list, how long a fetched list is used,
// and answers that cannot be used.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "support/action_fixture.h"

namespace tavrick::test {
namespace {

using ::testing::ElementsAre;

using PresetActionsTest = ActionTest;

const char k_five_presets[] =
    R"([{"id":"a","builtin":true},{"id":"b"},{"id":"c","favorite":true,"builtin":true},)"
    R"({"id":5},{"id":"d","favorite":"yes"}])";

TEST_F(PresetActionsTest, PresetsAreFavouritesThenOwnThenBuiltIn) {
  sim->set_presets_result(*parse_json(k_five_presets));
  run(Action{Preset{1}}, 0);
  EXPECT_EQ(state.presets, (std::vector<std::string>{"c", "b", "d", "a"}));
  run(Action{Preset{4}}, 0);
  run(Action{Preset{5}}, 0);
  run(Action{Preset{0}}, 0);
  EXPECT_THAT(log.lines(), ElementsAre("Preset ô 5: Sorvic chưa có đủ preset",
                                       "Preset ô 0: Sorvic chưa có đủ preset"));
  EXPECT_THAT(sent(), ElementsAre(command_line(2, "presets.list"),
                                  command_line(3, "preset.apply", R"({"id":"c"})"),
                                  command_line(4, "preset.apply", R"({"id":"a"})")));
}

TEST_F(PresetActionsTest, PresetListIsFreshForThirtySeconds) {
  sim->set_presets_result(*parse_json(R"([{"id":"p1"}])"));
  run(Action{Preset{1}}, 0);
  clock.advance(std::chrono::seconds(10));
  run(Action{Preset{1}}, 0);
  clock.advance(std::chrono::seconds(20));  // exactly 30 s: still fresh
  run(Action{Preset{1}}, 0);
  clock.advance(std::chrono::seconds(1));
  run(Action{Preset{1}}, 0);
  EXPECT_THAT(sent(), ElementsAre(command_line(2, "presets.list"),
                                  command_line(3, "preset.apply", R"({"id":"p1"})"),
                                  command_line(4, "preset.apply", R"({"id":"p1"})"),
                                  command_line(5, "preset.apply", R"({"id":"p1"})"),
                                  command_line(6, "presets.list"),
                                  command_line(7, "preset.apply", R"({"id":"p1"})")));
}

TEST_F(PresetActionsTest, EmptyPresetListIsAnAnswer) {
  sim->set_presets_result(Json::array());
  run(Action{Preset{1}}, 0);
  clock.advance(std::chrono::seconds(29));
  run(Action{Preset{2}}, 0);
  EXPECT_TRUE(state.presets_fetched_at);
  EXPECT_THAT(log.lines(), ElementsAre("Preset ô 1: Sorvic chưa có đủ preset",
                                       "Preset ô 2: Sorvic chưa có đủ preset"));
  EXPECT_THAT(sent(), ElementsAre(command_line(2, "presets.list")));
}

TEST_F(PresetActionsTest, UnusablePresetAnswersKeepTheOldListAndAskAgain) {
  sim->set_presets_result(*parse_json(R"([{"id":"x"},{"id":"y"}])"));
  run(Action{Preset{2}}, 0);
  const std::optional<Instant> fetched_at = state.presets_fetched_at;
  clock.advance(std::chrono::seconds(31));
  // Not an array: the old list and its time stay.
  sim->set_presets_result(*parse_json(R"({"presets":[]})"));
  run(Action{Preset{2}}, 0);
  EXPECT_EQ(state.presets_fetched_at, fetched_at);
  // No reply at all: asked again at every press.
  sim->set_responder("presets.list", silence());
  run(Action{Preset{1}}, 0);
  run(Action{Preset{3}}, 0);
  sim->set_responder("presets.list", {});
  EXPECT_THAT(log.lines(), ElementsAre("Preset ô 3: Sorvic chưa có đủ preset"));
  EXPECT_THAT(
      sent(),
      ElementsAre(command_line(2, "presets.list"), command_line(3, "preset.apply", R"({"id":"y"})"),
                  command_line(4, "presets.list"), command_line(5, "preset.apply", R"({"id":"y"})"),
                  command_line(6, "presets.list"), command_line(7, "preset.apply", R"({"id":"x"})"),
                  command_line(8, "presets.list")));
}

}  // namespace
}  // namespace tavrick::test
