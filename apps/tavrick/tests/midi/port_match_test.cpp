#include <gtest/gtest.h>

#include <string_view>

#include "midi/letter_case.h"
#include "midi/port_match.h"

namespace {

struct MatchCase {
  std::string_view name;
  std::string_view source;
  bool matches;
};

constexpr MatchCase k_match_cases[] = {
    {"Loupedeck+", "loupedeck", true},                   // the default source
    {"LOUPEDECK+", "loupedeck", true},                   // all capitals
    {"loupedeck+ MIDI 1", "LoupeDeck+", true},           // the source is lowered too
    {"Loupedeck+", "loupedeck ", false},                 // white space counts
    {"USB Keyboard", "loupedeck", false},                // another device
    {"Any port", "", true},                              // empty source matches every name
    {"", "", true},                                      // even an empty name
    {"", "l", false},                                    // but an empty name contains nothing else
    {"BÀN ĐIỀU KHIỂN ẢNH", "bàn điều khiển ảnh", true},  // Vietnamese letters
    {"Bàn Điều Khiển", "ĐIỀU", true},                    // Đ (U+0110) and Ề (U+1EC0)
    {"Dieu Khien", "điều", false},                       // letters are not stripped of marks
    {"İSTANBUL", "i̇stanbul", true},                      // İ lowers to i + U+0307
    {"İSTANBUL", "istanbul", false},                     // so plain i does not follow it
    {"ΣΟΦΙΑ", "σοφια", true},                            // Greek capitals
    {"ΟΔΟΣ", "οδοσ", true},                              // Σ is σ everywhere, also at the end
    {"ΟΔΟΣ", "οδος", false},                             // the final form ς is another letter
    {"ＦＵＬＬ", "ｆｕｌｌ", true},                      // fullwidth letters
    {"Ωmega", "ωmega", true},                            // Greek capital Omega
    {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8", true},      // Deseret, outside the BMP
    {"Port\xFF", "port\xEF\xBF\xBD", true},              // an invalid byte reads as U+FFFD
};

TEST(PortMatchTest, MatchesByLowercaseContainment) {
  for (const MatchCase& c : k_match_cases) {
    EXPECT_EQ(tavrick::port_matches(c.name, c.source), c.matches)
        << "name \"" << c.name << "\", source \"" << c.source << "\"";
  }
}

struct LowerCase {
  std::string_view text;
  std::string_view lower;
};

constexpr LowerCase k_lower_cases[] = {
    {"ABC xyz 123", "abc xyz 123"},  // ASCII
    {"ĐẶNG ỨNG ỸỶ", "đặng ứng ỹỷ"},  // Latin Extended Additional pairs
    {"ĀĂĄ", "āăą"},                  // alternating runs
    {"İ", "i\xCC\x87"},              // the one expanding mapping
    {"ΆΈΪ", "άέϊ"},                  // Greek with tonos
    {"ДЖЁ", "джё"},                  // Cyrillic
    {"\xE2\x84\xA6 \xE2\x84\xAA \xE2\x84\xAB",
     "\xCF\x89 k \xC3\xA5"},                                   // Ohm, Kelvin, Angstrom signs
    {"ß ẞ", "ß ß"},                                            // capital sharp s
    {"\xC3", "\xEF\xBF\xBD"},                                  // a cut-off sequence
    {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // an encoded surrogate
};

TEST(PortMatchTest, LowersEveryCodePoint) {
  for (const LowerCase& c : k_lower_cases) {
    EXPECT_EQ(tavrick::unicode_lowercase(c.text), c.lower) << c.text;
  }
}

}  // namespace
