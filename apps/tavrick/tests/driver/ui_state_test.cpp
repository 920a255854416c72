#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include <gtest/gtest.h>

#include "driver/ui_state.h"

namespace tavrick {
namespace {

using nlohmann::json;

TEST(UiStateTest, ReadsASnapshot) {
  const json result =
      json::parse(R"({"ui":{"right":"masking","view":"detail","tool":"","thumbSize":180.5},)"
                  R"("activeMask":7,"active":1234})");
  const std::optional<UiState> ui = parse_ui_state(result);
  ASSERT_TRUE(ui);
  EXPECT_EQ(ui->right, "masking");
  EXPECT_EQ(ui->view, "detail");
  EXPECT_EQ(ui->tool, "");
  EXPECT_EQ(ui->thumbSize, 180.5);
  EXPECT_EQ(ui->activeMask, 7u);
  EXPECT_EQ(ui->active, 1234u);
  EXPECT_EQ(current_page(*ui), Page::masking);
}

TEST(UiStateTest, ResultsWithoutUiAreDropped) {
  constexpr std::string_view k_results[] = {
      R"({"right":"crop"})",  // no "ui" member
      R"({"UI":{}})",         // member names are exact
      R"([{"ui":{}}])",       // not an object
      R"("ui")",              // a string
      "null",                 // nothing at all
  };
  for (std::string_view text : k_results) {
    EXPECT_EQ(parse_ui_state(json::parse(text)), std::nullopt) << text;
  }
}

TEST(UiStateTest, MissingOrMistypedMembersTakeTheirDefaults) {
  const UiState defaults;
  constexpr std::string_view k_results[] = {
      R"({"ui":{}})",                                                     // empty ui
      R"({"ui":null})",                                                   // ui not an object
      R"({"ui":["crop"]})",                                               // ui an array
      R"({"ui":{"right":1,"view":null,"tool":false,"thumbSize":"90"}})",  // wrong types
      R"({"ui":{},"activeMask":null,"active":"3"})",                      // ids not numbers
  };
  for (std::string_view text : k_results) {
    const std::optional<UiState> ui = parse_ui_state(json::parse(text));
    ASSERT_TRUE(ui) << text;
    EXPECT_EQ(*ui, defaults) << text;
    EXPECT_EQ(ui->right, "edit");
    EXPECT_EQ(ui->view, "detail");
    EXPECT_EQ(ui->tool, "");
    EXPECT_EQ(ui->thumbSize, 220.0);
    EXPECT_EQ(ui->activeMask, std::nullopt);
    EXPECT_EQ(ui->active, std::nullopt);
    EXPECT_EQ(current_page(*ui), Page::loupe);
  }
}

TEST(UiStateTest, IntegerThumbSizeBecomesAFloat) {
  const std::optional<UiState> ui = parse_ui_state(json::parse(R"({"ui":{"thumbSize":96}})"));
  ASSERT_TRUE(ui);
  EXPECT_EQ(ui->thumbSize, 96.0);
  const std::optional<UiState> negative = parse_ui_state(json::parse(R"({"ui":{"thumbSize":-2}})"));
  ASSERT_TRUE(negative);
  EXPECT_EQ(negative->thumbSize, -2.0);
}

TEST(UiStateTest, IdsAreWholeNonNegativeNumbers) {
  struct Case {
    std::string_view value;
    std::optional<std::uint64_t> expected;
  };
  constexpr Case k_cases[] = {
      {"7", 7},                                         // plain id
      {"0", 0},                                         // zero is an id
      {"18446744073709551615", 18446744073709551615u},  // largest 64-bit value
      {"18446744073709551616", std::nullopt},           // too large: read as a float
      {"-1", std::nullopt},                             // negative
      {"2.0", std::nullopt},                            // float, even when whole
      {"3e0", std::nullopt},                            // exponent makes a float
      {R"("7")", std::nullopt},                         // string
      {"true", std::nullopt},                           // boolean
      {"[7]", std::nullopt},                            // array
  };
  for (const Case& c : k_cases) {
    const std::string text = R"({"ui":{},"activeMask":)" + std::string(c.value) + R"(,"active":)" +
                             std::string(c.value) + "}";
    const std::optional<UiState> ui = parse_ui_state(json::parse(text));
    ASSERT_TRUE(ui) << text;
    EXPECT_EQ(ui->activeMask, c.expected) << c.value;
    EXPECT_EQ(ui->active, c.expected) << c.value;
  }
}

TEST(UiStateTest, IdsBuiltAsSignedIntegers) {
  // Values built in code from signed integers are stored signed, unlike parsed ones.
  json result = {{"ui", json::object()}, {"activeMask", 7}, {"active", -4}};
  ASSERT_TRUE(result["activeMask"].is_number_integer());
  ASSERT_FALSE(result["activeMask"].is_number_unsigned());
  std::optional<UiState> ui = parse_ui_state(result);
  ASSERT_TRUE(ui);
  EXPECT_EQ(ui->activeMask, 7u);
  EXPECT_EQ(ui->active, std::nullopt);

  result["activeMask"] = std::numeric_limits<std::int64_t>::max();
  result["active"] = std::numeric_limits<std::int64_t>::min();
  ui = parse_ui_state(result);
  ASSERT_TRUE(ui);
  EXPECT_EQ(ui->activeMask, std::uint64_t{std::numeric_limits<std::int64_t>::max()});
  EXPECT_EQ(ui->active, std::nullopt);
}

TEST(UiStateTest, IdsAreReadBesideUiNotInsideIt) {
  const std::optional<UiState> ui =
      parse_ui_state(json::parse(R"({"ui":{"activeMask":5,"active":6}})"));
  ASSERT_TRUE(ui);
  EXPECT_EQ(ui->activeMask, std::nullopt);
  EXPECT_EQ(ui->active, std::nullopt);
}

TEST(UiStateTest, PageBeforeTheFirstSnapshotIsLoupe) {
  EXPECT_EQ(current_page(UiState{}), Page::loupe);
}

TEST(UiStateTest, PageFromViewPanelAndTool) {
  struct Case {
    std::string_view right;
    std::string_view view;
    std::string_view tool;
    Page expected;
  };
  constexpr Case k_cases[] = {
      {"edit", "detail", "", Page::loupe},                  // editing view
      {"crop", "squareGrid", "", Page::library},            // grid wins over the panel
      {"masking", "photoGrid", "wbPicker", Page::library},  // and over the tool
      {"masking", "detail", "", Page::masking},             // masking panel
      {"remove", "detail", "", Page::remove},               // spot removal
      {"redEye", "detail", "", Page::redEye},               // red eye
      {"crop", "detail", "", Page::crop},                   // crop panel
      {"edit", "detail", "wbPicker", Page::wb},             // white-balance picker
      {"crop", "detail", "wbPicker", Page::crop},           // panel before tool
      {"crop", "survey", "", Page::crop},                   // other views fall through
      {"edit", "compare", "wbPicker", Page::wb},            // to the panel and tool rules
      {"redeye", "detail", "", Page::loupe},                // comparisons are exact
      {"Crop", "detail", "", Page::loupe},                  // in letter case too
      {"edit", "SquareGrid", "", Page::loupe},              // for the view
      {"edit", "detail", "wbpicker", Page::loupe},          // and for the tool
      {"", "", "", Page::loupe},                            // nothing known
  };
  for (const Case& c : k_cases) {
    UiState ui;
    ui.right = c.right;
    ui.view = c.view;
    ui.tool = c.tool;
    EXPECT_EQ(current_page(ui), c.expected) << c.right << " " << c.view << " " << c.tool;
  }
}

}  // namespace
}  // namespace tavrick
