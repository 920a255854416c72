#pragma once
// Which MIDI input ports a --source names.

#include <string_view>

namespace tavrick {

/// True when the lowercase form of `name` contains the lowercase form of `source` (full Unicode
/// lowercase mapping); an empty source matches every name. Pure.
[[nodiscard]] bool port_matches(std::string_view name, std::string_view source);

}  // namespace tavrick
