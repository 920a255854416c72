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

void OpenPorts::add(std::u16string path, std::weak_ptr<LossSignal> loss) {
  std::lock_guard lock(m_mutex);
  std::erase_if(m_ports, [](const auto& port) { return port.second.expired(); });
  m_ports.emplace_back(std::move(path), std::move(loss));
}

std::size_t OpenPorts::removed(std::u16string_view path) {
  std::vector<std::shared_ptr<LossSignal>> lost;
  {
    std::lock_guard lock(m_mutex);
    for (const auto& [port_path, loss] : m_ports) {
      if (same_interface_path(port_path, path)) {
        if (auto signal = loss.lock()) {
          lost.push_back(std::move(signal));
        }
      }
    }
  }
  // Reported outside the lock: reporting wakes the supervisor, which may be opening a port.
  for (const auto& signal : lost) {
    signal->report();
  }
  return lost.size();
}

}  // namespace tavrick
