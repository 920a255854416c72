// Letter case from the generated tables: a binary search for the one row that can hold a code
// point, so that a lookup costs a few comparisons whatever the script.

#include "midi/letter_case.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "desktop/text_convert.h"
#include "midi/letter_case_tables.h"

namespace tavrick {
namespace {

bool contains(std::span<const CaseRange> ranges, char32_t c) {
  // The last range that starts at or before c is the only one that can hold it.
  const auto after =
      std::upper_bound(ranges.begin(), ranges.end(), c,
                       [](char32_t value, const CaseRange& r) { return value < r.first; });
  if (after == ranges.begin()) {
    return false;
  }
  const CaseRange& r = *(after - 1);
  return c <= r.last && (c - r.first) % r.step == 0;
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

bool is_uppercase(char32_t c) { return contains(uppercase_ranges(), c); }

bool is_lowercase(char32_t c) { return contains(lowercase_ranges(), c); }

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

}  // namespace tavrick
