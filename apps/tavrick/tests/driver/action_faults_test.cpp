// How every action behaves when the application answers garbage, goes away in the middle of a
// burst or is not running at all.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "support/action_fixture.h"

namespace tavrick::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

using ActionFaultsTest = ActionTest;

TEST_F(ActionFaultsTest, GarbageAnswersCountAsNoResult) {
  for (const char* method : {"develop.get", "photo.inspect", "presets.list"}) {
    sim->set_responder(method, fixed_line("\x01\xff{not json"));
  }
  state.ui.activeMask = 4;
  run(Action{CropMove{0.1, 0.1}}, 0);
  run(Action{ToggleFlag{"pick"}}, 0);
  run(Action{Preset{1}}, 0);
  run(Action{MaskAdjust{"exposure", 0.05}}, -200, "Localized Exposure");
  for (const char* method : {"develop.get", "photo.inspect", "presets.list"}) {
    sim->set_responder(method, {});
  }
  EXPECT_THAT(log.lines(), ElementsAre("Preset ô 1: Sorvic chưa có đủ preset"));
  EXPECT_THAT(
      sent(),
      ElementsAre(command_line(2, "develop.get"),  // nothing to move
                  command_line(3, "photo.inspect"), command_line(4, "photo.pick"),
                  command_line(5, "presets.list"),
                  command_line(6, "develop.beginInteraction", R"({"label":"Localized Exposure"})"),
                  command_line(7, "develop.get"),
                  command_line(8, "mask.adjust", R"({"id":4,"values":{"exposure":-4.0}})")));
}

// Every variant but FocusApp, which starts a program of the desktop.
std::vector<Action> every_action() {
  static constexpr std::string_view k_keys[] = {"light.exposure"};
  static const Action k_smaller{Command{"brush.smaller", ""}};
  static const Action k_larger{Command{"brush.larger", ""}};
  return {Action{Adjust{"light.exposure", 0.05}},
          Action{QuickAdjust{"light.exposure", 0.05}},
          Action{MaskAdjust{"exposure", 0.05}},
          Action{CropAngle{0.1}},
          Action{CropMove{0.01, 0.0}},
          Action{CropScale{0.01}},
          Action{Turn{&k_smaller, &k_larger}},
          Action{ThumbSize{}},
          Action{Command{"panel.crop", ""}},
          Action{UiCommand{"ui.set", R"({"view":"detail"})"}},
          Action{Reset{k_keys}},
          Action{MaskReset{"exposure"}},
          Action{ToggleFlag{"pick"}},
          Action{ToggleFilter{R"({"rating":1})"}},
          Action{Preset{1}},
          Action{SelectOnlyCurrent{}},
          Action{Unsupported{"không có"}}};
}

TEST_F(ActionFaultsTest, ApplicationGoneMidBurst) {
  state.ui.activeMask = 2;
  state.ui.active = 9;
  for (int turn = 0; turn < 5; ++turn) {
    run(Action{Adjust{"light.exposure", 0.05}}, 1);
  }
  EXPECT_EQ(sent().size(), 6u);  // the connection is being served
  sim->drop_clients();
  for (int round = 0; round < 2; ++round) {
    for (const Action& action : every_action()) {
      run(action, 3);
    }
  }
  // The link connects again and later requests reach the application.
  bool reached = false;
  for (int attempt = 0; attempt < 5 && !reached; ++attempt) {
    run(Action{Command{"test.after", ""}}, 0);
    reached = !sim->wait_for_matching("test.after", 1, std::chrono::seconds(1)).empty();
  }
  EXPECT_TRUE(reached);
  EXPECT_GE(sim->connections_accepted(), 2u);
}

TEST_F(ActionFaultsTest, ApplicationNotRunning) {
  const std::uint16_t port = sim->port();
  sim.reset();
  state.ui.activeMask = 2;
  state.ui.active = 9;
  for (const Action& action : every_action()) {
    run(action, 3);
  }
  EXPECT_THAT(log.lines(), Contains("… chưa nối được Orvalen Sorvic ở cổng " +
                                    std::to_string(port) + " (app phải đang mở)"));
  EXPECT_THAT(log.lines(), Contains("Preset ô 1: Sorvic chưa có đủ preset"));
  EXPECT_FALSE(state.presets_fetched_at);
  EXPECT_FALSE(state.interaction);  // the last actions ended it
}

}  // namespace
}  // namespace tavrick::test
