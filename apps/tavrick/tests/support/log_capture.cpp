#include "support/log_capture.h"

#include <algorithm>
#include <utility>

#include "desktop/log.h"

namespace tavrick::test {

namespace {

constexpr std::string_view k_connected_notice = "→ đã nối ";

}  // namespace

LogCapture::LogCapture(Keep keep) {
  set_log_capture([this, keep](std::string_view line) {
    if (keep == Keep::all_but_connect_notices && line.starts_with(k_connected_notice)) {
      return;
    }
    std::lock_guard lock(m_mutex);
    m_lines.emplace_back(line);
  });
}

LogCapture::~LogCapture() { set_log_capture({}); }

std::vector<std::string> LogCapture::lines() const {
  std::lock_guard lock(m_mutex);
  return m_lines;
}

std::vector<std::string> LogCapture::take() {
  std::lock_guard lock(m_mutex);
  return std::exchange(m_lines, {});
}

std::size_t LogCapture::count_starting_with(std::string_view prefix) const {
  std::lock_guard lock(m_mutex);
  return static_cast<std::size_t>(std::ranges::count_if(
      m_lines, [prefix](const std::string& line) { return line.starts_with(prefix); }));
}

std::size_t LogCapture::count_of(std::string_view text) const {
  std::lock_guard lock(m_mutex);
  return static_cast<std::size_t>(std::ranges::count(m_lines, text));
}

}  // namespace tavrick::test
