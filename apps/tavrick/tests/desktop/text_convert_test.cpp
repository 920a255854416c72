#include "desktop/text_convert.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tavrick {
namespace {

struct Utf8Case {
  std::string_view utf8;
  std::u16string_view utf16;
};

// Well-formed text both ways; the conversion is exact.
constexpr Utf8Case k_valid[] = {
    {"", u""},                                                     // empty
    {"abc", u"abc"},                                               // ASCII
    {std::string_view("\0z", 2), std::u16string_view(u"\0z", 2)},  // an embedded NUL is kept
    {"Núm Crop (to)", u"Núm Crop (to)"},                           // two-byte letters
    {"lặp ✗ ══ →", u"lặp ✗ ══ →"},                                 // three-byte letters and signs
    {"\xF0\x9F\x8E\x9B", u"\U0001F39B"},  // four bytes ↔ a surrogate pair
    {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},  // the last code point
    {"\xEF\xBF\xBD", u"\uFFFD"},          // U+FFFD itself
};

TEST(TextConvertTest, ValidTextConvertsExactlyBothWays) {
  for (const auto& c : k_valid) {
    EXPECT_EQ(utf16_from_utf8(c.utf8), c.utf16) << c.utf8;
    EXPECT_EQ(utf8_from_utf16(c.utf16), c.utf8) << c.utf8;
  }
}

// Broken UTF-8: each maximal broken part becomes one U+FFFD, what follows is read again.
constexpr Utf8Case k_invalid_utf8[] = {
    {"\x80", u"\uFFFD"},  // lone continuation byte
    {"a\xBF"
     "b",
     u"a\uFFFDb"},        // continuation byte between letters
    {"\xC3", u"\uFFFD"},  // truncated two-byte sequence at the end
    {"\xC3"
     "A",
     u"\uFFFDA"},             // lead byte followed by ASCII: ASCII survives
    {"\xE1\xBA", u"\uFFFD"},  // truncated three-byte sequence: one U+FFFD
    {"\xE1\xBA"
     "x",
     u"\uFFFDx"},                                       // truncated three-byte sequence then ASCII
    {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong '/': C0 is never valid
    {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},            // overlong three-byte form
    {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate D800
    {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
    {"\xF5\x80", u"\uFFFD\uFFFD"},                      // F5 never begins a sequence
    {"\xFF\xFE", u"\uFFFD\uFFFD"},                      // bytes never used in UTF-8
    {"\xF0\x9F\x8E", u"\uFFFD"},                        // four-byte sequence cut short
    {"\xE2\x9C\x97\x80", u"\u2717\uFFFD"},              // valid ✗ then a stray continuation byte
};

TEST(TextConvertTest, InvalidUtf8BecomesReplacementCharacters) {
  for (const auto& c : k_invalid_utf8) {
    EXPECT_EQ(utf16_from_utf8(c.utf8), c.utf16) << testing::PrintToString(std::string(c.utf8));
  }
}

struct Utf16Case {
  std::u16string_view utf16;
  std::string_view utf8;
};

constexpr Utf16Case k_unpaired[] = {
    {u"\xD800", "\xEF\xBF\xBD"},  // lone high surrogate at the end
    {u"\xDC00", "\xEF\xBF\xBD"},  // lone low surrogate
    {u"a\xD83C"
     "b",
     "a\xEF\xBF\xBD"
     "b"},                                                    // high surrogate followed by a letter
    {u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},            // pair in the wrong order
    {u"\xD83C\xD83C\xDF9B", "\xEF\xBF\xBD\xF0\x9F\x8E\x9B"},  // high, then a whole pair
};

TEST(TextConvertTest, UnpairedSurrogatesBecomeReplacementCharacters) {
  for (const auto& c : k_unpaired) {
    EXPECT_EQ(utf8_from_utf16(c.utf16), c.utf8);
  }
}

TEST(TextConvertTest, EveryCodePointRoundTrips) {
  std::u16string all;
  for (char32_t c = 1; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) {
      continue;
    }
    if (c < 0x10000) {
      all.push_back(static_cast<char16_t>(c));
    } else {
      all.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      all.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
  const std::string utf8 = utf8_from_utf16(all);
  EXPECT_EQ(utf8.size(), 0x7Fu + 0x780u * 2 + (0x10000u - 0x800u - 0x800u) * 3 + 0x100000u * 4);
  EXPECT_EQ(utf16_from_utf8(utf8), all);
}

}  // namespace
}  // namespace tavrick
