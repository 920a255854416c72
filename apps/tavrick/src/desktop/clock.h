#pragma once
// The monotonic clock behind every deadline, repeat and freshness rule of the engine. Logic reads
// it through this interface so that tests can move time by hand.

#include <chrono>

namespace tavrick {

using Instant = std::chrono::steady_clock::time_point;
using Millis = std::chrono::milliseconds;

class Clock {
 public:
  virtual ~Clock() = default;
  /// The current monotonic instant. Any thread.
  [[nodiscard]] virtual Instant now() const = 0;
};

/// The real monotonic clock of the process (std::chrono::steady_clock).
[[nodiscard]] const Clock& steady_clock();

}  // namespace tavrick
