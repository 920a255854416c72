// Button actions: the knob-to-button adapter, fixed commands and their parameter texts, flag
// and filter toggles, selection and unsupported functions.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "driver/labels.h"
#include "support/action_fixture.h"

namespace tavrick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

using ButtonActionsTest = ActionTest;

const Action k_smaller{Command{"brush.smaller", ""}};
const Action k_larger{Command{"brush.larger", ""}};
const Action k_brush{Turn{&k_smaller, &k_larger}};

TEST_F(ButtonActionsTest, TurnPressesOncePerDetentUpToFive) {
  struct Case {
    std::int32_t detents;
    const char* command;
    std::size_t presses;
  };
  const Case cases[] = {
      {7, "brush.larger", 5},    // held at five
      {-2, "brush.smaller", 2},  // counter-clockwise
      {1, "brush.larger", 1},
      {0, "", 0},  // only ends the interaction
      {std::numeric_limits<std::int32_t>::min(), "brush.smaller", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.detents);
    fresh_state();
    state.interaction = "light.exposure";
    run(k_brush, c.detents, "Brush Size");
    std::vector<std::string> expected{command_line(2, "develop.endInteraction")};
    for (std::size_t i = 0; i < c.presses; ++i) {
      expected.push_back(command_line(3 + i, c.command));
    }
    EXPECT_THAT(sent(), ElementsAreArray(expected));
    EXPECT_FALSE(state.interaction);
  }
}

TEST_F(ButtonActionsTest, ParameterTextsAreParsedLeniently) {
  struct Case {
    const char* text;
    const char* params;  // as sent; empty: the command alone
  };
  const Case cases[] = {
      {"", ""},                                                      // no parameters
      {"{}", ""},                                                    // an empty object is left out
      {"not json", ""},                                              // invalid
      {"[1,2]", ""},                                                 // not an object
      {"7", ""},                                                     // not an object
      {R"({"a":1} {"b":2})", ""},                                    // two values
      {R"({"step": 2, "by":"page"})", R"({"by":"page","step":2})"},  // keys sorted
      {R"({"x":1.50,"y":-2e0})", R"({"x":1.5,"y":-2.0})"},           // numbers as parsed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    fresh_state();
    run(Action{Command{"library.next", c.text}}, 0);
    run(Action{UiCommand{"ui.key", c.text}}, 0);
    const std::string params = *c.params == '\0' ? "{}" : c.params;
    EXPECT_THAT(sent(), ElementsAre(command_line(2, "library.next", c.params),
                                    R"({"id":3,"method":"ui.key","params":)" + params + "}"));
  }
}

TEST_F(ButtonActionsTest, UiSetSendsSortedKeysAndMarksTheUiChanged) {
  state.interaction = "light.exposure";
  run(Action{UiCommand{"ui.set", R"({"view":"detail","right":"edit"})"}}, 0);
  EXPECT_EQ(state.ui_changed_at, clock.now());
  EXPECT_THAT(
      sent(),
      ElementsAre(command_line(2, "develop.endInteraction"),
                  R"({"id":3,"method":"ui.set","params":{"right":"edit","view":"detail"}})"));
}

TEST_F(ButtonActionsTest, OnlyUiChangingCommandsMarkTheUiChanged) {
  struct Case {
    Action action;
    bool marks;
  };
  const Case cases[] = {
      {Action{Command{"panel.crop", ""}}, true},
      {Action{Command{"tool.done", ""}}, true},
      {Action{Command{"view.grid", ""}}, true},
      {Action{Command{"library.next", ""}}, false},
      {Action{Command{"panelcrop", ""}}, false},  // no dot
      {Action{Command{"ui.set", ""}}, false},     // a command, not the top-level method
      {Action{UiCommand{"ui.set", R"({"view":"detail"})"}}, true},
      {Action{UiCommand{"ui.key", R"({"key":"up"})"}}, false},
      {Action{UiCommand{"panel.crop", ""}}, false},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const Case& c = cases[i];
    fresh_state();
    clock.advance(Millis(1));
    run(c.action, 0);
    EXPECT_EQ(state.ui_changed_at.has_value(), c.marks);
    if (c.marks) {
      EXPECT_EQ(state.ui_changed_at, clock.now());
    }
    // Only the poller changes the UI state; the page follows when it reports.
    EXPECT_EQ(state.ui.right, "edit");
  }
}

TEST_F(ButtonActionsTest, ToggleFlagAsksForTheCurrentFlag) {
  struct Case {
    const char* photo;  // result of photo.inspect; nullptr: a reply without result
    std::string_view flag;
    const char* command;
  };
  const Case cases[] = {
      {R"({"flag":"pick"})", "pick", "photo.unflag"},      // set: cleared
      {R"({"flag":"pick"})", "reject", "photo.reject"},    // the other flag: replaced
      {R"({"flag":"reject"})", "reject", "photo.unflag"},  // set: cleared
      {nullptr, "pick", "photo.pick"},                     // no result: no flag
      {nullptr, "reject", "photo.reject"},                 // no result: no flag
      {R"({"flag":"Pick"})", "pick", "photo.pick"},        // compared exactly
      {R"({"flag":1})", "pick", "photo.pick"},             // not a text
      {R"({})", "reject", "photo.reject"},                 // no flag member
      {R"("pick")", "pick", "photo.pick"},                 // not an object
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.photo ? c.photo : "none") + " " + std::string(c.flag));
    fresh_state();
    if (c.photo == nullptr) {
      sim->set_responder("photo.inspect", answer(R"("ok":true)"));
    } else {
      sim->set_responder("photo.inspect", {});
      sim->set_photo_result(*parse_json(c.photo));
    }
    run(Action{ToggleFlag{c.flag}}, 0);
    EXPECT_THAT(sent(), ElementsAre(command_line(2, "photo.inspect"), command_line(3, c.command)));
  }
}

TEST_F(ButtonActionsTest, ToggleFilterRemembersTheLastFilterApplied) {
  const Action rating{ToggleFilter{R"({"rating":3,"ratingOp":"atLeast"})"}};
  const Action picked{ToggleFilter{R"({"flag":"pick"})"}};
  run(rating, 0);
  run(rating, 0);
  EXPECT_FALSE(state.active_filter);
  run(rating, 0);
  run(picked, 0);
  run(rating, 0);
  EXPECT_EQ(state.active_filter, R"({"rating":3,"ratingOp":"atLeast"})");

  EXPECT_THAT(
      sent(),
      ElementsAre(
          R"({"id":2,"method":"engine.execute","params":{"command":"library.filter","params":{"rating":3,"ratingOp":"atLeast"}}})",
          R"({"id":3,"method":"engine.execute","params":{"command":"library.clearFilter"}})",
          R"({"id":4,"method":"engine.execute","params":{"command":"library.filter","params":{"rating":3,"ratingOp":"atLeast"}}})",
          R"({"id":5,"method":"engine.execute","params":{"command":"library.filter","params":{"flag":"pick"}}})",
          R"({"id":6,"method":"engine.execute","params":{"command":"library.filter","params":{"rating":3,"ratingOp":"atLeast"}}})"));
}

TEST_F(ButtonActionsTest, SelectOnlyCurrentNeedsAPhotoId) {
  state.interaction = "light.exposure";
  run(Action{SelectOnlyCurrent{}}, 0);
  state.ui.active = std::numeric_limits<std::uint64_t>::max();
  run(Action{SelectOnlyCurrent{}}, 0);
  EXPECT_THAT(log.lines(), IsEmpty());
  EXPECT_THAT(sent(),
              ElementsAre(command_line(2, "develop.endInteraction"),
                          command_line(3, "library.select", R"({"ids":[18446744073709551615]})")));
}

TEST_F(ButtonActionsTest, UnsupportedOnlyReports) {
  const Binding* binding = state.control_map.find("loupe/1/p/54");
  ASSERT_NE(binding, nullptr);
  const std::string label = action_label(binding->device_action);
  EXPECT_EQ(label, "Toggle Show Quick Collection");
  state.interaction = "light.exposure";
  run(binding->action, 0, label);
  EXPECT_THAT(log.lines(),
              ElementsAre("Toggle Show Quick Collection: Sorvic chưa hỗ trợ — Sorvic chưa "
                          "có nguồn Quick Collection riêng"));
  EXPECT_EQ(state.interaction, "light.exposure");
  EXPECT_THAT(sent(), IsEmpty());
}

}  // namespace
}  // namespace tavrick::test
