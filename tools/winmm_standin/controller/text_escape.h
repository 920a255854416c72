#pragma once
// Device names and paths as the test writes them: UTF-8, where \uXXXX (four hexadecimal digits)
// stands for one UTF-16 unit, so that unpaired surrogates can be written; any other backslash is
// itself, as in the paths of Windows. Pure.

#include <optional>
#include <string>
#include <string_view>

namespace winmm_standin {

/// The UTF-16 units of `text`; invalid UTF-8 becomes U+FFFD.
[[nodiscard]] std::u16string unescape_utf16(std::string_view text);

}  // namespace winmm_standin
