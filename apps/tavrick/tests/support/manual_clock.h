#pragma once
// A monotonic clock moved by hand, for the tests and the fuzz targets. Header only, so that a
// fuzz target can use it without the test support library.

#include <atomic>
#include <chrono>

#include "desktop/clock.h"

namespace tavrick::test {

/// A monotonic clock that moves only when told to. Starts at the real clock's present. Any
/// thread may read or move it.
class ManualClock final : public Clock {
 public:
  ManualClock() : m_now(std::chrono::steady_clock::now()) {}

  [[nodiscard]] Instant now() const override { return m_now.load(); }

  /// Moves the clock forward by `by`.
  void advance(Instant::duration by) {
    Instant current = m_now.load();
    while (!m_now.compare_exchange_weak(current, current + by)) {
    }
  }

 private:
  std::atomic<Instant> m_now;
};

}  // namespace tavrick::test
