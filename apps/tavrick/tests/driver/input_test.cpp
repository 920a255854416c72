#include "driver/input.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "bindings/binding_table.h"
#include "bindings/control_map.h"
#include "driver/control_event.h"
#include "support/engine_fixture.h"

namespace tavrick {
namespace {

using test::ui_showing;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr ControlEvent press(std::uint8_t note) { return {EventKind::Press, note, 0}; }
constexpr ControlEvent release(std::uint8_t note) { return {EventKind::Release, note, 0}; }
constexpr ControlEvent turn(std::uint8_t cc, std::int32_t delta) {
  return {EventKind::Rotate, cc, delta};
}

constexpr std::uint8_t k_fn = 110;
constexpr std::uint8_t k_custom_mode = 117;
constexpr std::uint8_t k_col = 65;
constexpr std::uint8_t k_up = 76;

class InputTest : public test::EngineTest {
 protected:
  void handle(std::span<const ControlEvent> events) {
    for (const ControlEvent& event : events) {
      handle_event(state, event);
    }
  }
  void handle(const ControlEvent& event) { handle_event(state, event); }

  /// The key of the binding found for the control, or "-" when there is none.
  std::string found(ControlKind kind, std::uint8_t number) const {
    const Binding* binding = find_binding(state, kind, number);
    return binding == nullptr ? "-" : std::string(binding->key);
  }
};

TEST_F(InputTest, FreshStateStartsInLayerZeroWithTheWholeTable) {
  EXPECT_EQ(state.control_map.size(), 421U);
  EXPECT_EQ(current_layer(state), 0);
  EXPECT_FALSE(state.press_track);
  EXPECT_FALSE(state.interaction);
  EXPECT_EQ(current_page(state.ui), Page::loupe);
  EXPECT_EQ(state.link, link);
  EXPECT_EQ(state.now(), clock.now());
}

TEST_F(InputTest, KnobTurnGoesFromBytesToAdjustRequests) {
  const std::array<std::uint8_t, 3> bytes = {0xB0, 0x21, 0x01};
  const std::optional<ControlEvent> event = decode_midi(bytes);
  ASSERT_TRUE(event);

  handle(*event);

  EXPECT_THAT(
      sent(),
      ElementsAre(R"({"id":2,"method":"engine.execute","params":{"command":)"
                  R"("develop.beginInteraction","params":{"label":"Exposure"}}})",
                  R"({"id":3,"method":"engine.execute","params":{"command":)"
                  R"("develop.adjust","params":{"control":"light.exposure","delta":0.05}}})"));
  EXPECT_THAT(log.lines(), IsEmpty());
}

TEST_F(InputTest, LayerCountsFnAndCustomMode) {
  struct Case {
    bool fn_held;
    bool custom_mode;
    Layer layer;
  };
  const Case cases[] = {
      {false, false, 0},  // no modifier
      {true, false, 1},   // Fn held
      {false, true, 2},   // Custom Mode on
      {true, true, 3},    // both
  };
  for (const Case& c : cases) {
    state.fn_held = c.fn_held;
    state.custom_mode = c.custom_mode;
    EXPECT_EQ(current_layer(state), c.layer) << c.fn_held << c.custom_mode;
  }
}

TEST_F(InputTest, FindBindingFallsBackToLayerZeroAndToLoupe) {
  struct Case {
    Page page;
    bool fn_held;
    bool custom_mode;
    ControlKind kind;
    std::uint8_t number;
    std::string_view key;  // "-" for nothing
  };
  constexpr auto r = ControlKind::rotation;
  constexpr auto p = ControlKind::press;
  const Case cases[] = {
      {Page::loupe, false, false, r, 33, "loupe/0/r/33"},     // direct hit
      {Page::loupe, true, true, r, 34, "loupe/3/r/34"},       // layer 3 has its own row
      {Page::loupe, false, true, p, 76, "loupe/0/p/76"},      // layer 2 falls back to 0
      {Page::loupe, true, true, p, 76, "loupe/0/p/76"},       // layer 3 falls back to 0, not 1
      {Page::crop, false, false, r, 41, "crop/0/r/41"},       // the page's own row
      {Page::crop, true, false, r, 41, "loupe/1/r/41"},       // loupe in the layer before crop/0
      {Page::crop, true, false, p, 54, "loupe/1/p/54"},       // although crop/0/p/54 exists
      {Page::crop, true, false, p, 78, "crop/1/p/78"},        // the page's own layer-1 row
      {Page::crop, false, true, p, 76, "crop/0/p/76"},        // crop/2 and loupe/2 missing
      {Page::crop, false, false, p, 33, "loupe/0/p/33"},      // other pages fall back to loupe
      {Page::masking, false, true, r, 33, "loupe/2/r/33"},    // loupe/2 before masking/0
      {Page::wb, false, false, r, 33, "loupe/0/r/33"},        // wb binds only a few controls
      {Page::library, false, false, p, 11, "-"},              // library never falls back
      {Page::library, true, false, p, 95, "library/0/p/95"},  // but its layers do
      {Page::library, true, true, r, 33, "library/0/r/33"},   // layer 3 to 0 inside library
      {Page::loupe, false, false, r, 43, "-"},                // CC 43 is bound nowhere
      {Page::library, false, false, p, 0, "-"},               // nor is note 0
  };
  for (const Case& c : cases) {
    state.ui = ui_showing(c.page);
    state.fn_held = c.fn_held;
    state.custom_mode = c.custom_mode;
    EXPECT_EQ(found(c.kind, c.number), c.key)
        << page_name(c.page) << " layer " << int{current_layer(state)} << " "
        << static_cast<char>(c.kind) << int{c.number};
  }
}

TEST_F(InputTest, FindBindingTriesCurrentLayerAcrossPagesBeforeLayerZero) {
  // All four candidates of a press of note 76 with Custom Mode on in the crop page; dropping
  // them one by one from the front shows the order in which they are tried.
  static const Binding rows[] = {
      {"crop/2/p/76", "First", Action{Unsupported{"1"}}},
      {"loupe/2/p/76", "Second", Action{Unsupported{"2"}}},
      {"crop/0/p/76", "Third", Action{Unsupported{"3"}}},
      {"loupe/0/p/76", "Fourth", Action{Unsupported{"4"}}},
  };
  state.ui = ui_showing(Page::crop);
  state.custom_mode = true;
  for (std::size_t first = 0; first < std::size(rows); ++first) {
    state.control_map = ControlMap::build(std::span(rows).subspan(first));
    EXPECT_EQ(found(ControlKind::press, 76), rows[first].key);
  }
}

// Bindings that name themselves in their message, to see which one a sequence of events runs.
// Note 110 has rows in layers 0, 1 and 3 but not 2, note 34 only in layer 0, note 50 none.
const Binding k_modifier_rows[] = {
    {"loupe/0/p/110", "Fn", Action{Unsupported{"loupe/0/p/110"}}},
    {"loupe/1/p/110", "Fn", Action{Unsupported{"loupe/1/p/110"}}},
    {"loupe/3/p/110", "Fn", Action{Unsupported{"loupe/3/p/110"}}},
    {"loupe/0/r/33", "Knob", Action{Unsupported{"loupe/0/r/33"}}},
    {"loupe/1/r/33", "Knob", Action{Unsupported{"loupe/1/r/33"}}},
    {"loupe/2/r/33", "Knob", Action{Unsupported{"loupe/2/r/33"}}},
    {"loupe/3/r/33", "Knob", Action{Unsupported{"loupe/3/r/33"}}},
    {"loupe/0/p/33", "Button", Action{Unsupported{"loupe/0/p/33"}}},
    {"loupe/1/p/33", "Button", Action{Unsupported{"loupe/1/p/33"}}},
    {"loupe/0/p/34", "Button", Action{Unsupported{"loupe/0/p/34"}}},
};

std::string ran(std::string_view label, std::string_view key) {
  return std::string(label) + ": Sorvic chưa hỗ trợ — " + std::string(key);
}

TEST_F(InputTest, ModifiersChooseTheLayer) {
  const std::string on = "Custom Mode BẬT (đường cong, split toning, sharpen, khử nhiễu)";
  const std::string off = "Custom Mode TẮT";
  const std::string col = "Col: hàng sao ↔ nhãn màu (thiết bị tự đổi)";
  struct Case {
    std::vector<ControlEvent> events;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      // Fn tapped alone acts as a press of note 110 in layer 0.
      {{press(k_fn), release(k_fn)}, {ran("Fn", "loupe/0/p/110")}},
      // A turn while Fn is held uses layer 1, and the release then fires nothing.
      {{press(k_fn), turn(33, 1), release(k_fn)}, {ran("Knob", "loupe/1/r/33")}},
      // So does a press.
      {{press(k_fn), press(33), release(33), release(k_fn)}, {ran("Button", "loupe/1/p/33")}},
      // Col does not count as use of Fn.
      {{press(k_fn), press(k_col), release(k_col), release(k_fn)},
       {col, ran("Fn", "loupe/0/p/110")}},
      // Nor does switching Custom Mode: the tap is looked up with Custom Mode on, in layer 2.
      {{press(k_fn), press(k_custom_mode), release(k_custom_mode), release(k_fn)},
       {on, ran("Fn", "loupe/0/p/110")}},
      // An unbound button does.
      {{press(k_fn), press(50), release(k_fn)}, {"Nút C2: chưa gán"}},
      // A second Fn press starts afresh: the earlier use is forgotten.
      {{press(k_fn), turn(33, 1), release(k_fn), press(k_fn), release(k_fn)},
       {ran("Knob", "loupe/1/r/33"), ran("Fn", "loupe/0/p/110")}},
      // With Custom Mode on, the tap is looked up in layer 2 (falling back to 0), not in 3.
      {{press(k_custom_mode), release(k_custom_mode), press(k_fn), release(k_fn)},
       {on, ran("Fn", "loupe/0/p/110")}},
      // Custom Mode alone gives layer 2, with Fn layer 3.
      {{press(k_custom_mode), turn(33, -1), press(k_fn), turn(33, 1)},
       {on, ran("Knob", "loupe/2/r/33"), ran("Knob", "loupe/3/r/33")}},
      // Layers 2 and 3 fall back to layer 0, not to layer 1.
      {{press(k_custom_mode), press(33), press(k_fn), press(34), press(33)},
       {on, ran("Button", "loupe/0/p/33"), ran("Button", "loupe/0/p/34"),
        ran("Button", "loupe/0/p/33")}},
      // The second press switches Custom Mode off again; its releases do nothing.
      {{press(k_custom_mode), release(k_custom_mode), press(k_custom_mode), release(k_custom_mode),
        turn(33, 1)},
       {on, off, ran("Knob", "loupe/0/r/33")}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    state.control_map = ControlMap::build(k_modifier_rows);
    state.fn_held = state.fn_used = state.custom_mode = false;
    handle(cases[i].events);
    EXPECT_EQ(log.take(), cases[i].log) << "case " << i;
  }
  EXPECT_THAT(sent(), IsEmpty());
}

TEST_F(InputTest, UnboundControlsAreReportedByName) {
  struct Case {
    Page page;
    ControlEvent event;
    std::string_view message;
  };
  const Case cases[] = {
      {Page::loupe, turn(43, 1), "Núm CC 43: chưa gán"},          // no knob label
      {Page::crop, turn(43, -2), "Núm CC 43: chưa gán"},          // nor any page's row
      {Page::remove, turn(43, 1), "Núm CC 43: chưa gán"},         //
      {Page::redEye, turn(43, 1), "Núm CC 43: chưa gán"},         //
      {Page::masking, turn(43, 1), "Núm CC 43: chưa gán"},        //
      {Page::wb, turn(43, 1), "Núm CC 43: chưa gán"},             //
      {Page::library, turn(43, 1), "Núm CC 43: chưa gán"},        //
      {Page::library, turn(1, 1), "Núm P1 (Hue): chưa gán"},      // labelled, loupe-only
      {Page::library, press(11), "Nút Nhấn P3 (Sat): chưa gán"},  // library never falls back
      {Page::loupe, press(0), "Nút note 0: chưa gán"},            // no button label
  };
  for (const Case& c : cases) {
    state.ui = ui_showing(c.page);
    handle(c.event);
    EXPECT_THAT(log.take(), ElementsAre(std::string(c.message))) << page_name(c.page);
  }
  EXPECT_THAT(sent(), IsEmpty());
}

TEST_F(InputTest, ReleasesOfUntrackedButtonsDoNothing) {
  state.ui = ui_showing(Page::library);
  handle(press(k_up));
  handle(release(77));
  handle(release(k_col));
  handle(release(k_custom_mode));
  EXPECT_TRUE(state.press_track);
  EXPECT_FALSE(state.custom_mode);

  clock.advance(std::chrono::milliseconds(400));
  repeat_tick(state, clock.now());

  EXPECT_EQ(commands(sent()), (std::vector<std::string>{"ui.key", "ui.key"}));
}

TEST_F(InputTest, RepeatableActions) {
  static const Action turn_action{Turn{nullptr, nullptr}};
  struct Case {
    Action action;
    bool repeats;
  };
  const Case cases[] = {
      {Action{CropMove{0.0, -0.01}}, true},                                   // crop moves
      {Action{Command{"library.next", ""}}, true},                            // photo navigation
      {Action{Command{"library.previous", ""}}, true},                        //
      {Action{Command{"library.nextPage", ""}}, false},                       // exact method only
      {Action{Command{"ui.key", R"({"key":"up"})"}}, false},                  // ui.key as a command
      {Action{UiCommand{"ui.key", R"({"key":"up"})"}}, true},                 // arrow keys
      {Action{UiCommand{"ui.key", R"({"key":"down"})"}}, true},               //
      {Action{UiCommand{"ui.key", R"({"key":"left","shift":true})"}}, true},  // with a modifier
      {Action{UiCommand{"ui.key", R"({"shift":true,"key":"right"})"}}, true},  // anywhere
      {Action{UiCommand{"ui.key", R"({"key":"tab"})"}}, false},                // Tab
      {Action{UiCommand{"ui.key", R"({"key": "up"})"}}, false},                // a substring search
      {Action{UiCommand{"ui.set", R"({"key":"up"})"}}, false},                 // another method
      {Action{Preset{1}}, false},                                              // presets
      {turn_action, false},                                                    // turns
      {Action{Adjust{"light.exposure", 0.05}}, false},                         // parameter changes
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(is_repeatable(cases[i].action), cases[i].repeats) << "case " << i;
  }
}

// A step of a held-button scenario: at `at` ms after the start, handle `event`, or (without
// one) call repeat_tick.
struct Step {
  int at;
  std::optional<ControlEvent> event;
};

struct RepeatCase {
  const char* what;
  Page page;
  std::vector<Step> steps;
  std::size_t requests;  // requests of the held button's action in all
  std::vector<std::string> log;
};

class RepeatTest : public InputTest {
 protected:
  void run(const RepeatCase& c) {
    state.ui = ui_showing(c.page);
    state.press_track.reset();
    const Instant start = clock.now();
    for (const Step& step : c.steps) {
      clock.advance(start + std::chrono::milliseconds(step.at) - clock.now());
      if (step.event) {
        handle(*step.event);
      } else {
        repeat_tick(state, clock.now());
      }
    }
  }
};

TEST_F(RepeatTest, HeldArrowRepeatsAfter400MsThenEvery100Ms) {
  const RepeatCase cases[] = {
      {"held and released",
       Page::library,
       {{0, press(k_up)},
        {399, {}},
        {400, {}},
        {450, {}},
        {500, {}},
        {600, {}},
        {650, release(k_up)},
        {700, {}},
        {1000, {}}},
       4,
       {"giữ ↑ 400 ms chưa nhả → lặp", "nhả ↑ sau 650 ms (lặp 3 lần)"}},
      {"released before the first repeat",
       Page::loupe,
       {{0, press(k_up)}, {399, {}}, {399, release(k_up)}, {500, {}}},
       1,
       {}},
      {"late ticks do not catch up",
       Page::library,
       {{0, press(k_up)},
        {1000, {}},
        {1000, {}},
        {1000, {}},
        {1050, {}},
        {1100, {}},
        {1100, release(k_up)}},
       4,
       {"giữ ↑ 1000 ms chưa nhả → lặp", "nhả ↑ sau 1100 ms (lặp 3 lần)"}},
      {"lost release: a second press warns and starts a fresh track",
       Page::library,
       {{0, press(k_up)},
        {250, press(k_up)},
        {400, {}},
        {649, {}},
        {650, {}},
        {700, release(k_up)}},
       3,
       {"! ↑ nhấn lại khi chưa nhận nhả (sau 250 ms) — thiết bị mất tín hiệu nhả",
        "giữ ↑ 400 ms chưa nhả → lặp", "nhả ↑ sau 450 ms (lặp 1 lần)"}},
      {"without a release it goes on",
       Page::loupe,
       {{0, press(k_up)}, {400, {}}, {500, {}}, {600, {}}, {700, {}}, {800, {}}},
       6,
       {"giữ ↑ 400 ms chưa nhả → lặp"}},
      {"turns and unbound presses leave the track",
       Page::library,
       {{0, press(k_up)}, {100, turn(43, 1)}, {200, press(11)}, {400, {}}},
       2,
       {"Núm CC 43: chưa gán", "Nút Nhấn P3 (Sat): chưa gán", "giữ ↑ 400 ms chưa nhả → lặp"}},
  };
  for (const RepeatCase& c : cases) {
    run(c);
    const std::vector<std::string> lines = sent();
    EXPECT_EQ(commands(lines), std::vector<std::string>(c.requests, "ui.key")) << c.what;
    for (const std::string& line : lines) {
      EXPECT_THAT(line, ::testing::HasSubstr(R"("params":{"key":"up"})")) << c.what;
    }
    EXPECT_EQ(log.take(), c.log) << c.what;
  }
}

TEST_F(RepeatTest, PressingAnotherBoundButtonEndsTheRepeat) {
  run({"", Page::library, {{0, press(k_up)}, {100, press(95)}, {500, {}}, {900, {}}}, 0, {}});
  EXPECT_EQ(commands(sent()), (std::vector<std::string>{"ui.key", "edit.undo"}));
  EXPECT_FALSE(state.press_track);
  EXPECT_THAT(log.take(), IsEmpty());
}

TEST_F(RepeatTest, TabAndPresetsRunOnceWhileHeld) {
  struct Case {
    const char* what;
    bool fn_held;
    std::uint8_t note;
  };
  const Case cases[] = {
      {"Tab", true, 97},      // ui.key tab, in layer 1 of the loupe page
      {"preset", false, 80},  // Preset 1
  };
  sim->set_presets_result(Json::array({Json{{"id", "warm"}}}));
  for (const Case& c : cases) {
    state.fn_held = c.fn_held;
    run({c.what, Page::loupe, {{0, press(c.note)}}, 0, {}});
    EXPECT_THAT(sent(), ::testing::Not(IsEmpty())) << c.what;
    EXPECT_FALSE(state.press_track) << c.what;

    run({c.what, Page::loupe, {{400, {}}, {500, {}}, {1000, {}}}, 0, {}});
    EXPECT_THAT(sent(), IsEmpty()) << c.what;

    // Pressed again without a release: a lost release of a button that does not repeat is
    // harmless and not reported.
    run({c.what, Page::loupe, {{0, press(c.note)}}, 0, {}});
    EXPECT_THAT(sent(), ::testing::Not(IsEmpty())) << c.what;
    for (const std::string& line : log.take()) {
      EXPECT_THAT(line, ::testing::Not(::testing::HasSubstr("nhấn lại"))) << c.what;
      EXPECT_THAT(line, ::testing::Not(::testing::HasSubstr("lặp"))) << c.what;
    }
  }
}

}  // namespace
}  // namespace tavrick
