#pragma once
// UTF-8 ↔ UTF-16 at the platform edge. The core sees UTF-8 only.

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrick {

/// One code point read from UTF-8 text and the number of bytes it took (at least 1).
struct Utf8Decoded {
  char32_t code_point;  ///< U+FFFD for a broken sequence
  std::size_t length;
};

/// Reads the code point that starts at byte `at` (< text.size()). A broken sequence gives U+FFFD
/// for its longest prefix that could begin a valid sequence, so a stray byte costs only itself.
[[nodiscard]] Utf8Decoded decode_utf8(std::string_view text, std::size_t at);

/// Appends the UTF-8 bytes of code point `c` (at most U+10FFFF).
void append_utf8(std::string& out, char32_t c);

/// UTF-16 units to UTF-8; an unpaired surrogate becomes U+FFFD.
[[nodiscard]] std::string utf8_from_utf16(std::u16string_view text);

/// UTF-8 to UTF-16 units; each invalid byte sequence becomes U+FFFD.
[[nodiscard]] std::u16string utf16_from_utf8(std::string_view text);

}  // namespace tavrick
