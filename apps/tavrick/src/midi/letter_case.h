#pragma once
// Unicode letter case of single code points, without a locale. Pure; any thread.

namespace tavrick {

/// True for code points with the Unicode property Uppercase (A–Z, Ă, Ệ, Σ, Ⓐ, …).
[[nodiscard]] bool is_uppercase(char32_t c);

/// True for code points with the Unicode property Lowercase (a–z, ă, ệ, ß, ª, …).
[[nodiscard]] bool is_lowercase(char32_t c);

}  // namespace tavrick
