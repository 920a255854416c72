// Port names are matched case-insensitively with the full Unicode lowercase mapping, the same on
// every platform, so a --source that works on one machine works on the other.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "midi/lowercase_table.h"
#include "midi/midi_port.h"

namespace tavrick {

namespace {

constexpr char32_t k_replacement = 0xFFFD;

/// Reads one code point at `pos` and advances past it; a byte that does not start a valid
/// sequence (overlong, surrogate, above U+10FFFF, cut short) is consumed alone as U+FFFD.
char32_t next_code_point(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<std::uint8_t>(text[pos]);
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1Fu, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0Fu, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07u, minimum = 0x10000;
  } else {
    ++pos;
    return k_replacement;
  }
  if (text.size() - pos < length) {
    ++pos;
    return k_replacement;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<std::uint8_t>(text[pos + i]);
    if ((byte & 0xC0) != 0x80) {
      ++pos;
      return k_replacement;
    }
    value = (value << 6) | (byte & 0x3Fu);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return k_replacement;
  }
  pos += length;
  return value;
}

void append_utf8(std::string& out, char32_t cp) {
  const auto byte = [](char32_t bits) {
    return static_cast<char>(static_cast<std::uint8_t>(bits));
  };
  if (cp < 0x80) {
    out += byte(cp);
  } else if (cp < 0x800) {
    out += byte(0xC0 | (cp >> 6));
    out += byte(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += byte(0xE0 | (cp >> 12));
    out += byte(0x80 | ((cp >> 6) & 0x3F));
    out += byte(0x80 | (cp & 0x3F));
  } else {
    out += byte(0xF0 | (cp >> 18));
    out += byte(0x80 | ((cp >> 12) & 0x3F));
    out += byte(0x80 | ((cp >> 6) & 0x3F));
    out += byte(0x80 | (cp & 0x3F));
  }
}

char32_t lower_single(char32_t cp) {
  const auto runs = lowercase_runs();
  // The last run that starts at or before cp is the only one that can hold it.
  auto after =
      std::upper_bound(runs.begin(), runs.end(), cp,
                       [](char32_t value, const LowercaseRun& run) { return value < run.first; });
  if (after == runs.begin()) {
    return cp;
  }
  const LowercaseRun& run = *std::prev(after);
  if (cp > run.last || (cp - run.first) % static_cast<char32_t>(run.stride) != 0) {
    return cp;
  }
  return static_cast<char32_t>(static_cast<std::int32_t>(cp) + run.delta);
}

}  // namespace

std::string unicode_lowercase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char32_t cp = next_code_point(text, pos);
    if (cp == 0x130) {
      // LATIN CAPITAL LETTER I WITH DOT ABOVE lowers to i followed by COMBINING DOT ABOVE.
      append_utf8(out, U'i');
      append_utf8(out, 0x307);
    } else {
      append_utf8(out, lower_single(cp));
    }
  }
  return out;
}

bool port_matches(std::string_view name, std::string_view source) {
  return unicode_lowercase(name).find(unicode_lowercase(source)) != std::string::npos;
}

}  // namespace tavrick
