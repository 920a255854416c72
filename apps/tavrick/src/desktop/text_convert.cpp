// UTF-8 ↔ UTF-16 by hand: the conversions must behave the same on every platform (the Windows API
// and the C++ library disagree on what replaces invalid input).

#include "desktop/text_convert.h"

#include <cstddef>
#include <cstdint>

namespace tavrick {
namespace {

constexpr char32_t k_replacement = 0xFFFD;

}  // namespace

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

namespace {

void append_utf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

bool is_high_surrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

// Follows the "maximal subpart" practice of Unicode. Overlong forms, surrogates and values above
// U+10FFFF are invalid.
Utf8Decoded decode_utf8(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(at);
  if (lead < 0x80) {
    return {lead, 1};
  }
  std::size_t length = 0;
  char32_t value = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0Fu;
    if (lead == 0xE0) {
      low = 0xA0;  // below: overlong
    } else if (lead == 0xED) {
      high = 0x9F;  // above: surrogates
    }
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07u;
    if (lead == 0xF0) {
      low = 0x90;  // below: overlong
    } else if (lead == 0xF4) {
      high = 0x8F;  // above: beyond U+10FFFF
    }
  } else {
    return {k_replacement, 1};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (at + i >= text.size()) {
      return {k_replacement, i};
    }
    const std::uint8_t next = byte(at + i);
    if (next < low || next > high) {
      return {k_replacement, i};
    }
    low = 0x80;
    high = 0xBF;
    value = (value << 6) | (next & 0x3Fu);
  }
  return {value, length};
}

std::string utf8_from_utf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (is_high_surrogate(c) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if (is_high_surrogate(c) || is_low_surrogate(c)) {
      c = k_replacement;
    }
    append_utf8(out, c);
  }
  return out;
}

std::u16string utf16_from_utf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const Utf8Decoded decoded = decode_utf8(text, at);
    append_utf16(out, decoded.code_point);
    at += decoded.length;
  }
  return out;
}

}  // namespace tavrick
