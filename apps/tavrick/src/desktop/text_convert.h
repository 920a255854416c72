#pragma once
// UTF-8 ↔ UTF-16 at the platform edge. The core sees UTF-8 only.

#include <string>
#include <string_view>

namespace tavrick {

/// UTF-16 units to UTF-8; an unpaired surrogate becomes U+FFFD.
[[nodiscard]] std::string utf8_from_utf16(std::u16string_view text);

/// UTF-8 to UTF-16 units; each invalid byte sequence becomes U+FFFD.
[[nodiscard]] std::u16string utf16_from_utf8(std::string_view text);

}  // namespace tavrick
