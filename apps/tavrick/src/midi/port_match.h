#pragma once
// Which MIDI input ports a --source names.

#include <string>
#include <string_view>

namespace tavrick {

/// True when the lowercase form of `name` contains the lowercase form of `source` (full Unicode
/// lowercase mapping); an empty source matches every name. Pure.
[[nodiscard]] bool port_matches(std::string_view name, std::string_view source);

/// The full Unicode lowercase mapping of UTF-8 `text`, one code point at a time (İ becomes
/// "i̇", two code points); invalid bytes become U+FFFD. Pure.
[[nodiscard]] std::string unicode_lowercase(std::string_view text);

}  // namespace tavrick
