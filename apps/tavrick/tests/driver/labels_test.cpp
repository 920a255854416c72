#include "driver/labels.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "midi/letter_case.h"

namespace tavrick {
namespace {

struct LabelCase {
  std::uint8_t number;
  std::optional<std::string> label;
};

const LabelCase k_knobs[] = {
    {0, std::nullopt},      // below the colour knobs
    {1, "P1 (Hue)"},        // first colour knob, Hue block
    {8, "P8 (Hue)"},        // last of the Hue block
    {9, "P1 (Sat)"},        // Sat block begins
    {19, "P3 (Lum)"},       // inside the Lum block
    {32, "P8 (B&W)"},       // last colour knob
    {33, "Exposure"},       // first light knob
    {34, "Blacks"},         //
    {38, "Temperature"},    //
    {40, "Highlights"},     //
    {41, "D1"},             //
    {42, "D2"},             //
    {43, std::nullopt},     // gap in the light group
    {44, "Shadows"},        //
    {46, "Contrast"},       //
    {47, std::nullopt},     // gap in the light group
    {48, "Núm Crop (to)"},  // the crop wheel
    {49, std::nullopt},     // above the knobs
    {127, std::nullopt},    // highest MIDI number
    {255, std::nullopt},    // beyond MIDI
};

TEST(LabelsTest, KnobLabels) {
  for (const auto& c : k_knobs) {
    EXPECT_EQ(knob_label(c.number), c.label) << int{c.number};
  }
}

const LabelCase k_buttons[] = {
    {0, std::nullopt},             // no knob 0 to press
    {11, "Nhấn P3 (Sat)"},         // a pressed colour knob
    {33, "Nhấn Exposure"},         // a pressed light knob
    {43, std::nullopt},            // no label for knob 43 either
    {48, "Nhấn Núm Crop (to)"},    // the pressed crop wheel
    {49, "C1"},                    // first custom button
    {54, "C6"},                    // last custom button
    {55, std::nullopt},            // after the custom buttons
    {65, "Col (sao ↔ nhãn màu)"},  // the Col switch
    {66, "1 sao"},                 // star row begins
    {70, "5 sao"},                 // star row ends
    {71, "nhãn đỏ"},               // colour labels in order
    {72, "nhãn vàng"},             //
    {73, "nhãn lục"},              //
    {74, "nhãn lam"},              //
    {75, "nhãn tím"},              //
    {76, "↑"},                     // arrows
    {77, "↓"},                     //
    {78, "←"},                     //
    {79, "→"},                     //
    {80, "Preset P1"},             // preset buttons
    {87, "Preset P8"},             //
    {88, "Export"},                //
    {89, std::nullopt},            // unnamed note between named ones
    {92, "Copy"},                  //
    {93, "Paste"},                 //
    {94, std::nullopt},            //
    {95, "Undo"},                  //
    {96, "Redo"},                  //
    {97, "Screen Mode"},           //
    {98, "Hue"},                   //
    {99, "Sat"},                   //
    {100, "Lum"},                  //
    {101, "B&W"},                  //
    {102, "Before/After"},         //
    {110, "Fn"},                   //
    {114, "L1"},                   //
    {116, "L3"},                   //
    {117, "Custom Mode"},          //
    {118, std::nullopt},           //
    {200, std::nullopt},           // beyond MIDI
};

TEST(LabelsTest, ButtonLabels) {
  for (const auto& c : k_buttons) {
    EXPECT_EQ(button_label(c.number), c.label) << int{c.number};
  }
}

struct ActionLabelCase {
  const char* device_action;
  const char* label;
};

const ActionLabelCase k_action_labels[] = {
    {"HueAdjustmentRed", "Hue Adjustment Red"},                      // plain camel case
    {"ActivateDevelopTool___loupe", "Activate Develop Tool"},        // qualifier cut off
    {"ApplyDevelopPreset___1___Favorites", "Apply Develop Preset"},  // cut at the first ___
    {"D1", "D1"},                                                    // nothing to split
    {"", ""},                                                        // empty
    {"___loupe", ""},                                                // nothing before the qualifier
    {"Exposure__x", "Exposure__x"},                                  // two underscores do not cut
    {"HDRMode", "HDRMode"},                          // a run of capitals stays whole
    {"makeHDRImage", "make HDRImage"},               // only after a lowercase letter
    {"toggle2Way", "toggle2Way"},                    // a digit is not lowercase
    {"a B", "a B"},                                  // after a space: no extra space
    {"alreadyOk", "already Ok"},                     // first letter lowercase
    {"ĐộSángĐộTươngPhản", "Độ Sáng Độ Tương Phản"},  // Vietnamese letters
    {"çaÇa", "ça Ça"},                               // two-byte letters
    {"ωΣ", "ω Σ"},                                   // Greek
    {"жЖ", "ж Ж"},                                   // Cyrillic
    {"ǅa", "ǅa"},                                    // titlecase is neither case
    {"ßẞ", "ß ẞ"},                                   // sharp s and its capital
    {"ªB", "ª B"},                                   // ordinal indicator is lowercase
    {"aⒶ", "a Ⓐ"},                                   // circled capital is uppercase
    {"x\xFF"
     "A",
     "x\xFF"
     "A"},  // broken byte kept, not lowercase
};

TEST(LabelsTest, ActionLabels) {
  for (const auto& c : k_action_labels) {
    EXPECT_EQ(action_label(c.device_action), c.label) << c.device_action;
  }
}

struct CaseCase {
  char32_t c;
  bool upper;
  bool lower;
};

const CaseCase k_letter_cases[] = {
    {U'A', true, false},       // ASCII
    {U'Z', true, false},       //
    {U'a', false, true},       //
    {U'z', false, true},       //
    {U'@', false, false},      // just before A
    {U'[', false, false},      // just after Z
    {U'`', false, false},      // just before a
    {U'{', false, false},      // just after z
    {U'0', false, false},      // digit
    {0xC0, true, false},       // À
    {0xD7, false, false},      // × between the capitals
    {0xDF, false, true},       // ß
    {0xF7, false, false},      // ÷ between the small letters
    {0x100, true, false},      // Ā: alternating pairs begin
    {0x101, false, true},      // ā
    {0x1EA0, true, false},     // Ạ (Vietnamese)
    {0x1EC7, false, true},     // ệ (Vietnamese)
    {0x1C5, false, false},     // ǅ titlecase
    {0x3A3, true, false},      // Σ
    {0x3C2, false, true},      // ς
    {0x2160, true, false},     // Ⅰ Roman numeral (Other_Uppercase)
    {0x2170, false, true},     // ⅰ small Roman numeral (Other_Lowercase)
    {0x24B6, true, false},     // Ⓐ
    {0x24D0, false, true},     // ⓐ
    {0x2B0, false, true},      // ʰ modifier letter
    {0x4E00, false, false},    // CJK ideograph has no case
    {0xFF21, true, false},     // Ａ fullwidth
    {0xFF41, false, true},     // ａ fullwidth
    {0x10400, true, false},    // 𐐀 Deseret capital
    {0x10428, false, true},    // 𐐨 Deseret small
    {0x1D400, true, false},    // 𝐀 mathematical bold capital
    {0x1D41A, false, true},    // 𝐚 mathematical bold small
    {0x1E900, true, false},    // 𞤀 Adlam capital
    {0x1F600, false, false},   // emoji
    {0xFFFD, false, false},    // replacement character
    {0x10FFFF, false, false},  // last code point
};

TEST(LabelsTest, LetterCaseOfCodePoints) {
  for (const auto& c : k_letter_cases) {
    EXPECT_EQ(is_uppercase(c.c), c.upper) << std::hex << static_cast<unsigned>(c.c);
    EXPECT_EQ(is_lowercase(c.c), c.lower) << std::hex << static_cast<unsigned>(c.c);
  }
}

TEST(LabelsTest, OnlyAtoZAreAsciiLetters) {
  for (char32_t c = 0; c < 0x80; ++c) {
    EXPECT_EQ(is_uppercase(c), c >= U'A' && c <= U'Z') << static_cast<unsigned>(c);
    EXPECT_EQ(is_lowercase(c), c >= U'a' && c <= U'z') << static_cast<unsigned>(c);
  }
}

}  // namespace
}  // namespace tavrick
