#pragma once
// The log lines of a test, taken from the sink while the test runs.

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tavrick::test {

/// Which lines a LogCapture keeps.
enum class Keep {
  all,
  /// Leaves out the link's notice of each new connection ("→ đã nối ..."), for tests whose link
  /// connects lazily.
  all_but_connect_notices,
};

/// Collects the log lines while it lives (installed with set_log_capture, removed at the end).
/// Lines may come from any thread; the test reads them from its own.
class LogCapture {
 public:
  explicit LogCapture(Keep keep);
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  /// The lines so far, in order.
  [[nodiscard]] std::vector<std::string> lines() const;
  /// The lines so far; forgets them.
  [[nodiscard]] std::vector<std::string> take();
  /// How many of the lines so far start with `prefix`.
  [[nodiscard]] std::size_t count_starting_with(std::string_view prefix) const;
  /// How many of the lines so far are exactly `text`.
  [[nodiscard]] std::size_t count_of(std::string_view text) const;

 private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_lines;  // guarded by m_mutex
};

}  // namespace tavrick::test
