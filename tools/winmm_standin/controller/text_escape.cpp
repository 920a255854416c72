// UTF-8 and escapes to UTF-16 units for the controller's commands.

#include "text_escape.h"

#include "protocol.h"

namespace winmm_standin {

namespace {

constexpr char32_t k_replacement = 0xFFFD;

/// Decodes the code point at `at` and moves past it; U+FFFD for a malformed sequence.
char32_t next_code_point(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at++]);
  if (lead < 0x80) {
    return lead;
  }
  const std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  if (extra == 0 || at + extra > text.size()) {
    return k_replacement;
  }
  char32_t value = lead & (0x3F >> extra);
  for (std::size_t i = 0; i < extra; ++i) {
    const auto next = static_cast<unsigned char>(text[at]);
    if ((next & 0xC0) != 0x80) {
      return k_replacement;
    }
    value = (value << 6) | (next & 0x3F);
    ++at;
  }
  return value;
}

void append_code_point(std::u16string& out, char32_t value) {
  if (value >= 0x10000 && value <= 0x10FFFF) {
    value -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(value > 0x10FFFF ? k_replacement : value));
  }
}

}  // namespace

std::u16string unescape_utf16(std::string_view text) {
  std::u16string out;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto unit = text.substr(at, 2) == "\\u" && at + 6 <= text.size()
                          ? units_from_hex(text.substr(at + 2, 4))
                          : std::nullopt;
    if (unit) {
      out += *unit;
      at += 6;
    } else {
      append_code_point(out, next_code_point(text, at));
    }
  }
  return out;
}

}  // namespace winmm_standin
