// Port names are matched case-insensitively with the full Unicode lowercase mapping, the same on
// every platform, so a --source that works on one machine works on the other.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "desktop/text_convert.h"
#include "midi/letter_case_tables.h"
#include "midi/port_match.h"

namespace tavrick {

namespace {

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
    const Utf8Decoded decoded = decode_utf8(text, pos);
    const char32_t cp = decoded.code_point;
    pos += decoded.length;
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
