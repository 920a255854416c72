#pragma once
// Unicode letter case without a locale: the case properties of single code points and the full
// lowercase mapping of UTF-8 text, the same on every platform. Pure; any thread.

#include <string>
#include <string_view>

namespace tavrick {

/// True for code points with the Unicode property Uppercase (A–Z, Ă, Ệ, Σ, Ⓐ, …).
[[nodiscard]] bool is_uppercase(char32_t c);

/// True for code points with the Unicode property Lowercase (a–z, ă, ệ, ß, ª, …).
[[nodiscard]] bool is_lowercase(char32_t c);

/// The full Unicode lowercase mapping of UTF-8 `text`, one code point at a time (İ becomes
/// "i̇", two code points); invalid bytes become U+FFFD.
[[nodiscard]] std::string unicode_lowercase(std::string_view text);

}  // namespace tavrick
