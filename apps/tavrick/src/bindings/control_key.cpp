#include "bindings/control_key.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace tavrick {
namespace {

// Indexed by Page.
constexpr std::array<std::string_view, 7> k_page_names = {
    "loupe", "crop", "remove", "redEye", "masking", "wb", "library",
};

}  // namespace

std::string_view page_name(Page page) { return k_page_names.at(static_cast<std::size_t>(page)); }

std::optional<Page> page_from_name(std::string_view name) {
  for (std::size_t i = 0; i < k_page_names.size(); ++i) {
    if (k_page_names[i] == name) {
      return static_cast<Page>(i);
    }
  }
  return std::nullopt;
}

std::string control_key(Page page, Layer layer, ControlKind kind, std::uint8_t number) {
  // Longest key: a 7-letter page, two 3-digit numbers, the kind letter and three slashes.
  std::array<char, 24> buffer{};
  char* out = buffer.data();
  char* const end = buffer.data() + buffer.size();
  const std::string_view name = page_name(page);
  out = std::copy(name.begin(), name.end(), out);
  *out++ = '/';
  out = std::to_chars(out, end, layer).ptr;
  *out++ = '/';
  *out++ = static_cast<char>(kind);
  *out++ = '/';
  out = std::to_chars(out, end, number).ptr;
  return std::string(buffer.data(), out);
}

}  // namespace tavrick
