#pragma once
// A pair of sleep clocks moved by hand.

#include <atomic>
#include <chrono>

#include "driver/sleep_clock.h"

namespace tavrick::test {

/// Both clocks start at one hour. Any thread may read or move them.
class FakeSleepClocks final : public tavrick::SleepClocks {
 public:
  [[nodiscard]] tavrick::SleepReading read() const override {
    return {.with_sleep = std::chrono::nanoseconds(m_with_sleep.load()),
            .without_sleep = std::chrono::nanoseconds(m_without_sleep.load())};
  }
  /// Moves each clock by its own amount.
  void advance(std::chrono::nanoseconds with_sleep, std::chrono::nanoseconds without_sleep) {
    m_with_sleep += with_sleep.count();
    m_without_sleep += without_sleep.count();
  }
  /// The machine slept for `asleep`: only the clock that counts sleep moves.
  void sleep(std::chrono::nanoseconds asleep) { advance(asleep, {}); }

 private:
  static constexpr std::chrono::nanoseconds::rep k_start =
      std::chrono::nanoseconds(std::chrono::hours(1)).count();
  std::atomic<std::chrono::nanoseconds::rep> m_with_sleep{k_start};
  std::atomic<std::chrono::nanoseconds::rep> m_without_sleep{k_start};
};

}  // namespace tavrick::test
