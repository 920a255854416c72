#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bindings/binding_table.h"
#include "console/commands.h"

namespace tavrick {
namespace {

/// The lines of a text that ends with a line feed.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "text does not end with a line feed";
  return lines;
}

/// The description part of the listing's only row (after the label, action and arrow).
std::string description_of(const Action& action) {
  const Binding table[] = {{"loupe/0/p/1", "A", action}};
  const auto lines = lines_of(map_listing(table));
  EXPECT_EQ(lines.size(), 5u);
  if (lines.size() < 3) {
    return {};
  }
  const std::string& row = lines[2];
  const std::string prefix =
      "  Nhấn P1 (Hue)" + std::string(9, ' ') + " A" + std::string(33, ' ') + " → ";
  EXPECT_TRUE(row.starts_with(prefix)) << row;
  return row.substr(std::min(prefix.size(), row.size()));
}

constexpr std::string_view k_one_key[] = {"light.exposure"};
constexpr std::string_view k_three_keys[] = {"a.b", "c.d", "e.f"};
constexpr Action k_previous{Command{"library.previous", ""}};
constexpr Action k_next{Command{"library.next", ""}};
constexpr Action k_key_up{UiCommand{"ui.key", R"({"key":"up"})"}};
constexpr Action k_adjust_half{Adjust{"crop.angle", 0.5}};

struct DescriptionCase {
  Action action;
  const char* description;
};

const DescriptionCase k_descriptions[] = {
    {{Adjust{"mixer.red.hue", 1.0}}, "mixer.red.hue (±1/nấc)"},        // whole scale: no ".0"
    {{Adjust{"light.exposure", 0.05}}, "light.exposure (±0.05/nấc)"},  // shortest decimal
    {{Adjust{"k", 50.0}}, "k (±50/nấc)"},                              // no exponent, no point
    {{Adjust{"k", 0.1 + 0.2}}, "k (±0.30000000000000004/nấc)"},        // round-trip digits
    {{Adjust{"k", 1e-7}}, "k (±0.0000001/nấc)"},                       // small: still no exponent
    {{Adjust{"k", 1e21}}, "k (±1000000000000000000000/nấc)"},          // large: no exponent
    {{Adjust{"k", -2.5}}, "k (±-2.5/nấc)"},                            // sign kept as it is
    {{QuickAdjust{"light.exposure", 0.05}}, "light.exposure trên mọi ảnh đang chọn"},
    {{MaskAdjust{"mask.exposure", 0.1}}, "mask: mask.exposure"},              // scale not shown
    {{CropAngle{0.1}}, "xoay thẳng ảnh (crop.angle)"},                        //
    {{CropMove{0.01, 0.0}}, "dịch khung crop"},                               //
    {{CropScale{0.02}}, "co giãn khung crop"},                                //
    {{Turn{&k_previous, &k_next}}, "← library.previous  |  → library.next"},  // commands
    {{Turn{&k_key_up, &k_adjust_half}}, R"(← ui.key {"key":"up"}  |  → crop.angle (±0.5/nấc))"},
    {{ThumbSize{}}, "cỡ ảnh thu nhỏ"},                               //
    {{Command{"library.next", ""}}, "library.next"},                 // no params: method only
    {{Command{"develop.x", R"({"a":1})"}}, R"(develop.x {"a":1})"},  // method and params
    {{UiCommand{"ui.key", R"({"key":"tab"})"}}, R"(ui.key {"key":"tab"})"},  //
    {{UiCommand{"ui.inspect", ""}}, "ui.inspect "},                      // space even when empty
    {{Reset{k_one_key}}, "reset light.exposure"},                        // one key named
    {{Reset{k_three_keys}}, "reset 3 thông số"},                         // several counted
    {{Reset{{}}}, "reset 0 thông số"},                                   // none counted
    {{MaskReset{"mask.exposure"}}, "mask: reset mask.exposure"},         //
    {{ToggleFlag{"pick"}}, "bật/tắt cờ pick"},                           //
    {{ToggleFilter{R"({"rating":5})"}}, R"(bật/tắt lọc {"rating":5})"},  //
    {{Preset{3}}, "preset ô 3 (★ favorite trước)"},                      //
    {{Preset{18446744073709551615u}}, "preset ô 18446744073709551615 (★ favorite trước)"},
    {{FocusApp{}}, "đưa Sorvic lên trước"},                             //
    {{SelectOnlyCurrent{}}, "chỉ giữ ảnh đang xem"},                    //
    {{Unsupported{"không có lệnh"}}, "✗ chưa hỗ trợ — không có lệnh"},  //
};

TEST(MapListingTest, DescriptionOfEveryVariant) {
  for (const auto& c : k_descriptions) {
    EXPECT_EQ(description_of(c.action), c.description) << c.description;
  }
}

struct LabelCase {
  const char* key;
  const char* row_start;  // the row up to the device action "A"
};

const LabelCase k_labels[] = {
    {"loupe/0/r/1", "  xoay P1 (Hue)          A"},    // 13 + 9 = 22 characters
    {"loupe/0/r/43", "  xoay CC 43             A"},   // knob without a label
    {"loupe/0/r/48", "  xoay Núm Crop (to)     A"},   // width counts characters
    {"loupe/0/p/71", "  nhãn đỏ                A"},   // button label
    {"loupe/0/p/33", "  Nhấn Exposure          A"},   // pressed knob
    {"loupe/0/p/43", "  note 43                A"},   // button without a label
    {"loupe/0/p/+76", "  ↑                      A"},  // a leading plus is read
    {"loupe/0/p/256", "  note 0                 A"},  // out of range counts as 0
    {"loupe/0/p/x", "  note 0                 A"},    // not a number counts as 0
    {"loupe/0/p/", "  note 0                 A"},     // empty counts as 0
    {"loupe/0/p", "  note 0                 A"},      // missing counts as 0
    {"loupe/0/R/33", "  Nhấn Exposure          A"},   // only "r" is a knob
    {"loupe/0/p/65", "  Col (sao ↔ nhãn màu)   A"},   // each sign counts once
    {"loupe/0/p/102", "  Before/After           A"},  //
};

TEST(MapListingTest, ControlLabelsArePaddedToTwentyTwoCharacters) {
  for (const auto& c : k_labels) {
    const Binding table[] = {{c.key, "A", {FocusApp{}}}};
    const auto lines = lines_of(map_listing(table));
    ASSERT_EQ(lines.size(), 5u) << c.key;
    EXPECT_TRUE(lines[2].starts_with(c.row_start)) << c.key << ": " << lines[2];
  }
}

TEST(MapListingTest, SmallTableGolden) {
  const Binding table[] = {
      {"library/1/p/76", "MoveUp", {k_key_up}},
      {"loupe/0/r/1", "HueAdjustmentRed", {Adjust{"mixer.red.hue", 1.0}}},
      {"bogus/0/p/1", "NotListed", {ThumbSize{}}},               // unknown page: counted only
      {"loupe/x/p/1", "NotListed", {Unsupported{"bad layer"}}},  // bad layer: counted only
      {"loupe/4/p/49", "Custom1", {Reset{k_one_key}}},           // layer 4: "?"
      {"crop/0/r/48", "CropScale", {CropScale{0.02}}},
      {"loupe/0/p/80", "ApplyDevelopPreset___Very_Long_Qualifier", {Preset{1}}},
      {"loupe/0/r/43", "Unbound", {Unsupported{"không có"}}},
      {"loupe/+1/r/33", "Exposure", {Turn{&k_previous, &k_next}}},
      {"Loupe/0/r/1", "NotListed", {FocusApp{}}},  // names are case-sensitive
      {"library/0/p/81", "Preset", {Preset{2}}},
  };
  const std::string expected =
      "\n"
      "══ Chỉnh ảnh — thường\n"
      "  xoay P1 (Hue)          HueAdjustmentRed                   → mixer.red.hue (±1/nấc)\n"
      "  Preset P1              ApplyDevelopPreset___Very_Long_Qualifier → preset ô 1 (★ favorite "
      "trước)\n"
      "  xoay CC 43             Unbound                            → ✗ chưa hỗ trợ — không có\n"
      "\n"
      "══ Chỉnh ảnh — giữ Fn\n"
      "  xoay Exposure          Exposure                           → ← library.previous  |  → "
      "library.next\n"
      "\n"
      "══ Chỉnh ảnh — ?\n"
      "  C1                     Custom1                            → reset light.exposure\n"
      "\n"
      "══ Crop — thường (chỉ phần khác Chỉnh ảnh)\n"
      "  xoay Núm Crop (to)     CropScale                          → co giãn khung crop\n"
      "\n"
      "══ Lưới ảnh (Library) — thường\n"
      "  Preset P2              Preset                             → preset ô 2 (★ favorite "
      "trước)\n"
      "\n"
      "══ Lưới ảnh (Library) — giữ Fn\n"
      "  ↑                      MoveUp                             → ui.key {\"key\":\"up\"}\n"
      "\n"
      "11 ô, 2 ô chưa có lệnh Sorvic tương đương.\n";
  EXPECT_EQ(map_listing(table), expected);
}

TEST(MapListingTest, EveryPageAndLayerTitle) {
  const Binding table[] = {
      {"library/0/p/1", "A", {FocusApp{}}},
      {"wb/0/p/1", "A", {FocusApp{}}},
      {"masking/0/p/1", "A", {FocusApp{}}},
      {"redEye/0/p/1", "A", {FocusApp{}}},
      {"remove/0/p/1", "A", {FocusApp{}}},
      {"crop/0/p/1", "A", {FocusApp{}}},
      {"loupe/3/p/1", "A", {FocusApp{}}},
      {"loupe/2/p/1", "A", {FocusApp{}}},
      {"loupe/18446744073709551615/p/1", "A", {FocusApp{}}},  // largest layer number
      {"loupe/18446744073709551616/p/1", "A", {FocusApp{}}},  // too large: left out
  };
  std::vector<std::string> headers;
  for (const auto& line : lines_of(map_listing(table))) {
    if (line.starts_with("══ ")) {
      headers.push_back(line);
    }
  }
  const std::vector<std::string> expected = {
      "══ Chỉnh ảnh — Custom Mode",
      "══ Chỉnh ảnh — Custom Mode + giữ Fn",
      "══ Chỉnh ảnh — ?",
      "══ Crop — thường (chỉ phần khác Chỉnh ảnh)",
      "══ Remove (xoá vết) — thường (chỉ phần khác Chỉnh ảnh)",
      "══ Mắt đỏ — thường (chỉ phần khác Chỉnh ảnh)",
      "══ Masking — thường (chỉ phần khác Chỉnh ảnh)",
      "══ Chọn cân bằng trắng — thường (chỉ phần khác Chỉnh ảnh)",
      "══ Lưới ảnh (Library) — thường",
  };
  EXPECT_EQ(headers, expected);
}

TEST(MapListingTest, EmptyTable) {
  EXPECT_EQ(map_listing({}), "\n0 ô, 0 ô chưa có lệnh Sorvic tương đương.\n");
}

TEST(MapListingTest, UnsupportedInsideATurnIsNotCounted) {
  static constexpr Action unsupported{Unsupported{"x"}};
  const Binding table[] = {
      {"loupe/0/r/1", "A", {Turn{&unsupported, &unsupported}}},
      {"loupe/0/r/2", "B", {Unsupported{"y"}}},
  };
  const auto lines = lines_of(map_listing(table));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "2 ô, 1 ô chưa có lệnh Sorvic tương đương.");
}

TEST(MapListingTest, RealTable) {
  const std::string listing = map_listing(binding_table());
  EXPECT_EQ(listing, map_listing(binding_table()));  // same text on every call
  const auto lines = lines_of(listing);
  ASSERT_GT(lines.size(), 3u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "══ Chỉnh ảnh — thường");
  EXPECT_EQ(lines[lines.size() - 2], "");
  EXPECT_EQ(lines.back(), "421 ô, 5 ô chưa có lệnh Sorvic tương đương.");

  std::vector<std::string> headers;
  std::size_t rows = 0;
  for (std::size_t i = 0; i + 2 < lines.size(); ++i) {
    if (lines[i].starts_with("══ ")) {
      EXPECT_EQ(lines[i - 1], "") << lines[i];
      headers.push_back(lines[i]);
    } else if (lines[i].starts_with("  ")) {
      ++rows;
    }
  }
  EXPECT_EQ(rows, 421u);
  const std::string note = " (chỉ phần khác Chỉnh ảnh)";
  const std::vector<std::string> expected = {
      "══ Chỉnh ảnh — thường",
      "══ Chỉnh ảnh — giữ Fn",
      "══ Chỉnh ảnh — Custom Mode",
      "══ Chỉnh ảnh — Custom Mode + giữ Fn",
      "══ Crop — thường" + note,
      "══ Crop — giữ Fn" + note,
      "══ Remove (xoá vết) — thường" + note,
      "══ Remove (xoá vết) — giữ Fn" + note,
      "══ Mắt đỏ — thường" + note,
      "══ Mắt đỏ — giữ Fn" + note,
      "══ Masking — thường" + note,
      "══ Masking — giữ Fn" + note,
      "══ Chọn cân bằng trắng — thường" + note,
      "══ Chọn cân bằng trắng — giữ Fn" + note,
      "══ Lưới ảnh (Library) — thường",
      "══ Lưới ảnh (Library) — giữ Fn",
  };
  EXPECT_EQ(headers, expected);

  const std::string hue_red = "  xoay P1 (Hue)" + std::string(9, ' ') + " HueAdjustmentRed" +
                              std::string(18, ' ') + " → mixer.red.hue (±1/nấc)";
  EXPECT_EQ(lines[2], hue_red);

  const std::string turn = " → ← library.previous  |  → library.next";
  EXPECT_TRUE(std::ranges::any_of(lines, [&](const std::string& l) { return l.ends_with(turn); }));
}

}  // namespace
}  // namespace tavrick
