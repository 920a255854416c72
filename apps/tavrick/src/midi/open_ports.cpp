#include "midi/open_ports.h"

#include <algorithm>

namespace tavrick {

namespace {

std::u16string_view without_trailing_nuls(std::u16string_view path) {
  while (!path.empty() && path.back() == u'\0') {
    path.remove_suffix(1);
  }
  return path;
}

char16_t ascii_lower(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

}  // namespace

bool same_interface_path(std::u16string_view a, std::u16string_view b) {
  a = without_trailing_nuls(a);
  b = without_trailing_nuls(b);
  return std::ranges::equal(
      a, b, [](char16_t x, char16_t y) { return ascii_lower(x) == ascii_lower(y); });
}

}  // namespace tavrick
