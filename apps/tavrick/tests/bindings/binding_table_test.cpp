#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "bindings/binding_table.h"
#include "bindings/control_key.h"

namespace tavrick {
namespace {

std::string number_text(double value) {
  std::array<char, 32> buffer{};
  const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
  std::string text(buffer.data(), end);
  if (text.find_first_of(".e") == std::string::npos) {
    text += ".0";
  }
  return text;
}

/// The action in the notation of the table's documentation, e.g. "Adjust light.exposure × 0.05",
/// "Reset [bw.red]", "Turn (ccw: Command brush.smaller; cw: Command brush.larger)".
std::string describe(const Action& action) {
  struct Describe {
    std::string operator()(const Adjust& a) const {
      return "Adjust " + std::string(a.key) + " × " + number_text(a.scale);
    }
    std::string operator()(const QuickAdjust& a) const {
      return "QuickAdjust " + std::string(a.key) + " × " + number_text(a.scale);
    }
    std::string operator()(const MaskAdjust& a) const {
      return "MaskAdjust " + std::string(a.key) + " × " + number_text(a.scale);
    }
    std::string operator()(const CropAngle& a) const {
      return "CropAngle × " + number_text(a.scale);
    }
    std::string operator()(const CropMove& a) const {
      return "CropMove (" + number_text(a.dx) + ", " + number_text(a.dy) + ")";
    }
    std::string operator()(const CropScale& a) const {
      return "CropScale × " + number_text(a.scale);
    }
    std::string operator()(const Turn& a) const {
      if (a.ccw == nullptr || a.cw == nullptr) {
        return "Turn with a missing action";
      }
      return "Turn (ccw: " + describe(*a.ccw) + "; cw: " + describe(*a.cw) + ")";
    }
    std::string operator()(const ThumbSize&) const { return "ThumbSize"; }
    std::string operator()(const Command& a) const {
      return "Command " + std::string(a.method) + (a.params.empty() ? "" : " ") +
             std::string(a.params);
    }
    std::string operator()(const UiCommand& a) const {
      return "UiCommand " + std::string(a.method) + " " + std::string(a.params);
    }
    std::string operator()(const Reset& a) const {
      std::string text = "Reset [";
      for (std::size_t i = 0; i < a.keys.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::string(a.keys[i]);
      }
      return text + "]";
    }
    std::string operator()(const MaskReset& a) const { return "MaskReset " + std::string(a.key); }
    std::string operator()(const ToggleFlag& a) const {
      return "ToggleFlag " + std::string(a.flag);
    }
    std::string operator()(const ToggleFilter& a) const {
      return "ToggleFilter " + std::string(a.filter);
    }
    std::string operator()(const Preset& a) const { return "Preset " + std::to_string(a.slot); }
    std::string operator()(const FocusApp&) const { return "FocusApp"; }
    std::string operator()(const SelectOnlyCurrent&) const { return "SelectOnlyCurrent"; }
    std::string operator()(const Unsupported& a) const {
      return "Unsupported \"" + std::string(a.reason) + "\"";
    }
  };
  return std::visit(Describe{}, action.value);
}

struct BindingTableTest : testing::Test {
  std::span<const Binding> table = binding_table();

  const Binding* row(std::string_view key) const {
    const auto found =
        std::find_if(table.begin(), table.end(), [&](const Binding& b) { return b.key == key; });
    return found == table.end() ? nullptr : &*found;
  }
};

TEST_F(BindingTableTest, EveryKeyIsCanonicalAndRowsAreInTableOrder) {
  // Order: page, layer, rotations before presses, ascending number. Strictly increasing, so no
  // key can occur twice either.
  std::optional<std::tuple<Page, Layer, int, int>> previous;
  for (const Binding& b : table) {
    const std::optional<ControlKeyFields> fields = parse_control_key(b.key);
    ASSERT_TRUE(fields) << b.key;
    const auto place =
        std::tuple(fields->page, fields->layer, fields->kind == ControlKind::rotation ? 0 : 1,
                   int{fields->number});
    if (previous) {
      EXPECT_LT(*previous, place) << b.key;
    }
    previous = place;
    EXPECT_FALSE(b.device_action.empty()) << b.key;
  }
}

TEST_F(BindingTableTest, NoKeyOccursTwice) {
  std::set<std::string_view> seen;
  for (const Binding& b : table) {
    EXPECT_TRUE(seen.insert(b.key).second) << b.key;
  }
  EXPECT_EQ(seen.size(), 421u);
}

TEST_F(BindingTableTest, RowCountsPerSection) {
  struct Section {
    Page page;
    Layer layer;
    int rotations;
    int presses;
  };
  constexpr Section k_sections[] = {
      {Page::loupe, 0, 46, 89},    // colour knobs, light group, crop wheel; their resets
      {Page::loupe, 1, 10, 50},    // Fn: clipping knobs, filters, selection, presets 9-16
      {Page::loupe, 2, 11, 11},    // Custom Mode: curve, split toning, sharpening
      {Page::loupe, 3, 11, 11},    // Custom Mode + Fn: splits, calibration, noise reduction
      {Page::crop, 0, 2, 16},      // crop size and angle, moves, aspect ratios
      {Page::crop, 1, 2, 9},       // fine moves, reset crop
      {Page::remove, 0, 2, 2},     // brush size and feather
      {Page::remove, 1, 1, 2},     // dehaze
      {Page::redEye, 0, 0, 2},     // done, quick collection
      {Page::redEye, 1, 1, 2},     // dehaze
      {Page::masking, 0, 12, 13},  // mask parameters
      {Page::masking, 1, 5, 5},    // more mask parameters
      {Page::wb, 0, 0, 2},         // done, quick collection
      {Page::wb, 1, 1, 2},         // dehaze
      {Page::library, 0, 14, 55},  // quick develop, grid navigation
      {Page::library, 1, 1, 31},   // Fn in the grid
  };
  std::map<std::tuple<Page, Layer, ControlKind>, int> expected;
  for (const Section& s : k_sections) {
    expected[{s.page, s.layer, ControlKind::rotation}] = s.rotations;
    expected[{s.page, s.layer, ControlKind::press}] = s.presses;
  }
  std::erase_if(expected, [](const auto& entry) { return entry.second == 0; });

  std::map<std::tuple<Page, Layer, ControlKind>, int> counted;
  for (const Binding& b : table) {
    const std::optional<ControlKeyFields> fields = parse_control_key(b.key);
    ASSERT_TRUE(fields) << b.key;
    ++counted[{fields->page, fields->layer, fields->kind}];
  }
  EXPECT_EQ(counted, expected);
  EXPECT_EQ(table.size(), 421u);
}

TEST_F(BindingTableTest, SpotChecksAcrossEverySection) {
  struct Case {
    std::string_view key;
    std::string_view device_action;
    std::string_view action;
  };
  constexpr Case k_cases[] = {
      // loupe, layer 0: colour runs at both ends, light group, crop wheel
      {"loupe/0/r/1", "HueAdjustmentRed", "Adjust mixer.red.hue × 1.0"},
      {"loupe/0/r/13", "SaturationAdjustmentAqua", "Adjust mixer.aqua.sat × 1.0"},
      {"loupe/0/r/24", "LuminanceAdjustmentMagenta", "Adjust mixer.magenta.lum × 1.0"},
      {"loupe/0/r/26", "GrayMixerOrange", "Adjust bw.orange × 1.0"},
      {"loupe/0/r/33", "Exposure", "Adjust light.exposure × 0.05"},
      {"loupe/0/r/38", "Temperature", "Adjust wb.temp × 50.0"},
      {"loupe/0/r/42", "Sharpness", "Adjust detail.sharpenAmount × 1.0"},
      {"loupe/0/r/46", "Contrast", "Adjust light.contrast × 1.0"},
      {"loupe/0/r/48", "ActivateCropToolByRotation", "CropAngle × 0.1"},
      {"loupe/0/p/7", "ResetHueAdjustmentPurple", "Reset [mixer.purple.hue]"},
      {"loupe/0/p/32", "ResetGrayMixerMagenta", "Reset [bw.magenta]"},
      {"loupe/0/p/41", "ResetDehaze", "Reset [effects.dehaze]"},
      {"loupe/0/p/48", "ActivateCropTool", "Command panel.crop"},
      {"loupe/0/p/50", "ToggleRejectFlag", "ToggleFlag reject"},
      {"loupe/0/p/52", "AutoWhiteBalance", R"(Command develop.wb {"mode":"auto"})"},
      {"loupe/0/p/54", "ActivateDevelopTool___loupe",
       R"(UiCommand ui.set {"view":"detail","right":"edit"})"},
      {"loupe/0/p/68", "RatingStar3", R"(Command photo.rate {"rating":3,"toggle":true})"},
      {"loupe/0/p/72", "RatingColor2", R"(Command photo.label {"label":"yellow"})"},
      {"loupe/0/p/75", "RatingColor5", R"(Command photo.label {"label":"purple"})"},
      {"loupe/0/p/77", "ProfileAction", R"(UiCommand ui.key {"key":"down"})"},
      {"loupe/0/p/78", "MoveToPreviousPhoto", "Command library.previous"},
      {"loupe/0/p/87", "", "Preset 8"},
      {"loupe/0/p/97", "FullScreen", "Command view.fullScreenPreview"},
      {"loupe/0/p/99", "SetColorModeSaturation", R"(UiCommand ui.set {"mixerMode":"sat"})"},
      {"loupe/0/p/110", "ActivateClientApplication", "FocusApp"},
      {"loupe/0/p/115", "ActivateDevelopTool___circularGradient", "Command tool.radial"},
      // loupe, layer 1
      {"loupe/1/r/41", "PostCropVignetteAmount", "Adjust vignette.amount × 1.0"},
      {"loupe/1/r/45", "Texture", "Adjust effects.texture × 1.0"},
      {"loupe/1/r/48", "MoveToNextOrPreviousPhoto",
       "Turn (ccw: Command library.previous; cw: Command library.next)"},
      {"loupe/1/p/42", "ResetLuminanceSmoothing", "Reset [detail.nrLuminance]"},
      {"loupe/1/p/49", "FlagFilter___flagged", R"(ToggleFilter {"flag":"pick"})"},
      {"loupe/1/p/54", "ToggleShowQuickCollection",
       "Unsupported \"Sorvic chưa có nguồn Quick Collection riêng\""},
      {"loupe/1/p/70", "RatingFilter5", R"(ToggleFilter {"rating":5,"ratingOp":"atLeast"})"},
      {"loupe/1/p/73", "ColorFilter3", R"(ToggleFilter {"label":"green"})"},
      {"loupe/1/p/77", "DeselectOtherPhotos", "SelectOnlyCurrent"},
      {"loupe/1/p/79", "SelectRight", R"(UiCommand ui.key {"key":"right","shift":true})"},
      {"loupe/1/p/80", "", "Preset 9"},
      {"loupe/1/p/95", "ResetAllAdjustments", "Command develop.reset"},
      {"loupe/1/p/97", "TogglePanels", R"(UiCommand ui.key {"key":"tab"})"},
      {"loupe/1/p/99", "ResetSaturationValues",
       "Reset [mixer.red.sat, mixer.orange.sat, mixer.yellow.sat, mixer.green.sat, "
       "mixer.aqua.sat, mixer.blue.sat, mixer.purple.sat, mixer.magenta.sat]"},
      {"loupe/1/p/101", "ResetHSLValues", R"(Command develop.resetSection {"section":"mixer"})"},
      {"loupe/1/p/115", "ActivateLoupedeckConfiguration",
       "Unsupported \"mở cấu hình app Loupedeck — không cần nữa\""},
      // loupe, layers 2 and 3
      {"loupe/2/r/37", "SplitToningShadowHue", "Adjust grading.shadows.hue × 2.0"},
      {"loupe/2/r/45", "SharpenRadius", "Adjust detail.sharpenRadius × 0.1"},
      {"loupe/2/p/44", "ResetParametricDarks", "Reset [curve.darks]"},
      {"loupe/3/r/34", "ParametricShadowSplit", "Adjust curve.splitShadows × 1.0"},
      {"loupe/3/r/44", "ParametricShadowSplit", "Adjust curve.splitShadows × 1.0"},
      {"loupe/3/r/38", "RedHue", "Adjust calibration.redHue × 1.0"},
      {"loupe/3/p/46", "ResetColorNoiseReduction", "Reset [detail.nrColor]"},
      // crop
      {"crop/0/r/41", "ChangeCropAreaSize", "CropScale × 0.01"},
      {"crop/0/r/48", "RotateCropArea", "CropAngle × 0.1"},
      {"crop/0/p/51", "ToggleCropAspectRatio", R"(Command crop.aspect {"aspect":"toggle"})"},
      {"crop/0/p/76", "MoveCropAreaUp", "CropMove (0.0, -0.01)"},
      {"crop/0/p/78", "MoveCropAreaLeft", "CropMove (-0.01, 0.0)"},
      {"crop/0/p/85", "SetCropAspectRatio___16:9", R"(Command crop.aspect {"aspect":"16x9"})"},
      {"crop/0/p/87", "SetCropAspectRatio___17:22", R"(Command crop.aspect {"aspect":"8.5x11"})"},
      {"crop/1/r/48", "RotateCropAreaSome", "CropAngle × 0.02"},
      {"crop/1/p/48", "ResetCrop", "Command crop.reset"},
      {"crop/1/p/51", "ToggleCropGuideLines",
       "Unsupported \"Sorvic chưa có lệnh bật/tắt đường dẫn crop\""},
      {"crop/1/p/77", "MoveCropAreaDownFine", "CropMove (0.0, 0.002)"},
      {"crop/1/p/79", "MoveToNextPhoto", "Command library.next"},
      // remove, redEye, wb
      {"remove/0/r/41", "AdjustmentBrushFeatherSize",
       "Turn (ccw: Command brush.featherLess; cw: Command brush.featherMore)"},
      {"remove/0/p/48", "DeactivateDevelopTool", "Command tool.done"},
      {"remove/1/r/46", "Dehaze", "Adjust effects.dehaze × 1.0"},
      {"redEye/0/p/54", "ToggleQuickCollection", "Command album.toggleTarget"},
      {"redEye/1/p/33", "AutoSettings", "Command develop.auto"},
      {"wb/0/p/48", "DeactivateDevelopTool", "Command tool.done"},
      {"wb/1/p/46", "ResetDehaze", "Reset [effects.dehaze]"},
      // masking
      {"masking/0/r/33", "LocalizedExposure", "MaskAdjust exposure × 0.05"},
      {"masking/0/r/38", "LocalizedTemperature", "MaskAdjust temp × 1.0"},
      {"masking/0/r/48", "AdjustmentBrushSize",
       "Turn (ccw: Command brush.smaller; cw: Command brush.larger)"},
      {"masking/0/p/41", "ResetLocalizedDehaze", "MaskReset dehaze"},
      {"masking/0/p/54", "ToggleQuickCollection", "Command album.toggleTarget"},
      {"masking/1/r/39", "LocalizedDefringe", "MaskAdjust defringe × 1.0"},
      {"masking/1/p/33", "ResetLocalizedLuminanceNoise", "MaskReset noise"},
      // library
      {"library/0/r/33", "QuickDevelopAdjustImage___Exposure", "QuickAdjust light.exposure × 0.05"},
      {"library/0/r/38", "QuickDevelopAdjustWhiteBalance___Temperature",
       "QuickAdjust wb.temp × 50.0"},
      {"library/0/r/41", "MoveToNextOrPreviousPhoto",
       "Turn (ccw: Command library.previous; cw: Command library.next)"},
      {"library/0/r/42", "ChangeThumbnailSize", "ThumbSize"},
      {"library/0/r/48", "MoveUpDown",
       R"(Turn (ccw: UiCommand ui.key {"key":"up"}; cw: UiCommand ui.key {"key":"down"}))"},
      {"library/0/p/39", "ResetQuickDevelopAdjustWhiteBalance___Tint", "Reset [wb.tint]"},
      {"library/0/p/48", "Rating3", R"(Command photo.rate {"rating":3,"toggle":true})"},
      {"library/0/p/54", "ToggleQuickCollection", "Command album.toggleTarget"},
      {"library/0/p/78", "MoveLeft", R"(UiCommand ui.key {"key":"left"})"},
      {"library/0/p/79", "MoveRight", R"(UiCommand ui.key {"key":"right"})"},
      {"library/0/p/114", "LibraryGridView", R"(UiCommand ui.set {"view":"photoGrid"})"},
      {"library/0/p/116", "LibrarySurveyView", "Command view.survey"},
      {"library/1/r/48", "MoveUpDown",
       R"(Turn (ccw: UiCommand ui.key {"key":"up"}; cw: UiCommand ui.key {"key":"down"}))"},
      {"library/1/p/33", "AutoSettings", "Command develop.auto"},
      {"library/1/p/114", "LibraryCompareView", "Command view.compare"},
      {"library/1/p/87", "", "Preset 16"},
  };
  for (const Case& c : k_cases) {
    const Binding* b = row(c.key);
    ASSERT_NE(b, nullptr) << c.key;
    // Preset rows (empty expected name) carry a free preset name; they are checked below.
    if (!c.device_action.empty()) {
      EXPECT_EQ(b->device_action, c.device_action) << c.key;
    }
    EXPECT_EQ(describe(b->action), c.action) << c.key;
  }
}

TEST_F(BindingTableTest, KeysThatAreNotInTheTable) {
  // The engine falls back to loupe (crop/1/r/41) or reports the control as unbound.
  for (std::string_view key : {"crop/1/r/41", "library/1/p/95", "crop/0/r/33", "redEye/0/r/48",
                               "wb/0/r/41", "library/0/p/110x", "loupe/4/r/33"}) {
    EXPECT_EQ(row(key), nullptr) << key;
  }
  ASSERT_NE(row("loupe/1/r/41"), nullptr);
}

TEST_F(BindingTableTest, ColourRunsFollowTheColourOrder) {
  constexpr std::string_view k_colours[] = {"red",  "orange", "yellow", "green",
                                            "aqua", "blue",   "purple", "magenta"};
  struct Run {
    int first;
    std::string_view name;
    std::string_view key_prefix;
    std::string_view key_suffix;
  };
  constexpr Run k_runs[] = {
      {1, "HueAdjustment", "mixer.", ".hue"},         // colour mixer, hue
      {9, "SaturationAdjustment", "mixer.", ".sat"},  // colour mixer, saturation
      {17, "LuminanceAdjustment", "mixer.", ".lum"},  // colour mixer, luminance
      {25, "GrayMixer", "bw.", ""},                   // black-and-white mix
  };
  for (const Run& run : k_runs) {
    for (int i = 0; i < 8; ++i) {
      std::string colour(k_colours[i]);
      std::string name = std::string(run.name) + colour;
      name[run.name.size()] = static_cast<char>(name[run.name.size()] - 'a' + 'A');
      const std::string key = std::string(run.key_prefix) + colour + std::string(run.key_suffix);
      const std::string number = std::to_string(run.first + i);

      const Binding* turn = row("loupe/0/r/" + number);
      ASSERT_NE(turn, nullptr) << number;
      EXPECT_EQ(turn->device_action, name);
      EXPECT_EQ(describe(turn->action), "Adjust " + key + " × 1.0");
      const Binding* press = row("loupe/0/p/" + number);
      ASSERT_NE(press, nullptr) << number;
      EXPECT_EQ(press->device_action, "Reset" + name);
      EXPECT_EQ(describe(press->action), "Reset [" + key + "]");
    }
  }
}

TEST_F(BindingTableTest, EveryParameterKnobHasAResetPressOfTheSameName) {
  int pairs = 0;
  for (const Binding& b : table) {
    const std::optional<ControlKeyFields> fields = parse_control_key(b.key);
    ASSERT_TRUE(fields);
    std::string expected_reset;
    if (const auto* a = std::get_if<Adjust>(&b.action.value)) {
      expected_reset = "Reset [" + std::string(a->key) + "]";
    } else if (const auto* q = std::get_if<QuickAdjust>(&b.action.value)) {
      expected_reset = "Reset [" + std::string(q->key) + "]";
    } else if (const auto* m = std::get_if<MaskAdjust>(&b.action.value)) {
      expected_reset = "MaskReset " + std::string(m->key);
    } else {
      continue;
    }
    const Binding* press =
        row(control_key(fields->page, fields->layer, ControlKind::press, fields->number));
    ASSERT_NE(press, nullptr) << b.key;
    EXPECT_EQ(press->device_action, "Reset" + std::string(b.device_action)) << b.key;
    EXPECT_EQ(describe(press->action), expected_reset) << b.key;
    ++pairs;
  }
  // loupe 45 + 9 + 11 + 11, crop/remove/redEye/wb 1 each, masking 11 + 5, library 11.
  EXPECT_EQ(pairs, 107);
}

TEST_F(BindingTableTest, LibraryPressesThatEqualTheLoupePage) {
  struct Shared {
    Layer layer;
    std::vector<int> numbers;
  };
  const Shared k_shared[] = {
      {0, {49, 50, 51, 52, 53, 66, 67, 68, 69, 70, 71, 72, 73, 74,  75,  80,  81, 82,
           83, 84, 85, 86, 87, 88, 92, 93, 95, 96, 97, 98, 99, 100, 101, 102, 110}},
      {1, {49, 50, 51, 53, 54, 66, 67, 68, 69, 70, 76, 77,  78,  79, 80,
           81, 82, 83, 84, 85, 86, 87, 88, 92, 93, 97, 102, 115, 116}},
  };
  for (const Shared& shared : k_shared) {
    for (int number : shared.numbers) {
      const auto n = static_cast<std::uint8_t>(number);
      const Binding* library = row(control_key(Page::library, shared.layer, ControlKind::press, n));
      const Binding* loupe = row(control_key(Page::loupe, shared.layer, ControlKind::press, n));
      ASSERT_NE(library, nullptr) << number;
      ASSERT_NE(loupe, nullptr) << number;
      EXPECT_EQ(library->device_action, loupe->device_action) << number;
      EXPECT_EQ(describe(library->action), describe(loupe->action)) << number;
    }
  }
}

TEST_F(BindingTableTest, PresetRowsUseSixteenNamesAndSlots) {
  std::set<std::string_view> names;
  int rows = 0;
  for (const Binding& b : table) {
    const auto* p = std::get_if<Preset>(&b.action.value);
    if (p == nullptr) {
      continue;
    }
    ++rows;
    const std::optional<ControlKeyFields> fields = parse_control_key(b.key);
    ASSERT_TRUE(fields);
    EXPECT_TRUE(fields->page == Page::loupe || fields->page == Page::library) << b.key;
    EXPECT_EQ(fields->kind, ControlKind::press) << b.key;
    // Buttons 80 to 87: slots 1 to 8 without Fn, 9 to 16 with Fn.
    EXPECT_EQ(p->slot, std::uint64_t{fields->number} - 79u + 8u * fields->layer) << b.key;
    EXPECT_TRUE(b.device_action.starts_with("ApplyDevelopPreset___")) << b.key;
    // The listing pads names to 34 characters; preset names are the ones that overflow it.
    EXPECT_GT(b.device_action.size(), 34u) << b.key;
    names.insert(b.device_action);
  }
  EXPECT_EQ(rows, 32);
  EXPECT_EQ(names.size(), 16u);
}

TEST_F(BindingTableTest, UnsupportedRows) {
  std::vector<std::string_view> keys;
  for (const Binding& b : table) {
    if (std::holds_alternative<Unsupported>(b.action.value)) {
      keys.push_back(b.key);
    }
  }
  const std::vector<std::string_view> expected = {"loupe/1/p/54", "loupe/1/p/115", "crop/1/p/51",
                                                  "library/1/p/54", "library/1/p/115"};
  EXPECT_EQ(keys, expected);
}

TEST_F(BindingTableTest, TurnsReferToTwoPlainActions) {
  int turns = 0;
  for (const Binding& b : table) {
    const auto* t = std::get_if<Turn>(&b.action.value);
    if (t == nullptr) {
      continue;
    }
    ++turns;
    ASSERT_NE(t->ccw, nullptr) << b.key;
    ASSERT_NE(t->cw, nullptr) << b.key;
    EXPECT_FALSE(std::holds_alternative<Turn>(t->ccw->value)) << b.key;
    EXPECT_FALSE(std::holds_alternative<Turn>(t->cw->value)) << b.key;
  }
  // loupe/1/r/48, remove/0/r/41, remove/0/r/48, masking/0/r/48, library/0/r/41, 0/r/48, 1/r/48.
  EXPECT_EQ(turns, 7);
}

TEST_F(BindingTableTest, EveryResetNamesAtLeastOneKey) {
  for (const Binding& b : table) {
    if (const auto* r = std::get_if<Reset>(&b.action.value)) {
      EXPECT_FALSE(r->keys.empty()) << b.key;
      for (std::string_view key : r->keys) {
        EXPECT_NE(key.find('.'), std::string_view::npos) << b.key;
      }
    }
  }
}

}  // namespace
}  // namespace tavrick
