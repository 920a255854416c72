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
  // The longest key ("masking/3/r/116") has 15 characters and stays in the small-string buffer.
  const auto append_decimal = [](std::string& out, std::uint8_t value) {
    std::array<char, 3> digits{};
    out.append(digits.data(), std::to_chars(digits.data(), digits.data() + 3, value).ptr);
  };
  std::string key(page_name(page));
  key += '/';
  append_decimal(key, layer);
  key += '/';
  key += static_cast<char>(kind);
  key += '/';
  append_decimal(key, number);
  return key;
}

}  // namespace tavrick
