#pragma once
// Seeing that the machine slept: a clock that counts the time spent asleep drifts away from one
// that does not. This needs no notification from the system, so it works where none comes.

#include <chrono>

namespace tavrick {

/// Two monotonic clocks read together, since the same start.
struct SleepReading {
  std::chrono::nanoseconds with_sleep;     ///< counts time spent asleep or hibernating
  std::chrono::nanoseconds without_sleep;  ///< counts only the time the machine runs
};

class SleepClocks {
 public:
  virtual ~SleepClocks() = default;
  /// Both clocks now. Any thread.
  [[nodiscard]] virtual SleepReading read() const = 0;
};

/// The system's pair: GetTickCount64 and QueryUnbiasedInterruptTime on Windows, CLOCK_BOOTTIME
/// and CLOCK_MONOTONIC elsewhere.
[[nodiscard]] const SleepClocks& system_sleep_clocks();

/// Tells whether the machine slept since the last look. A clock read late (a tick count that is
/// updated in steps) only makes the two seem closer for a while, which never counts as sleep.
/// The owner's thread.
class ResumeDetector {
 public:
  /// Time asleep below this is not told: no sleep that loses a device is that short.
  static constexpr std::chrono::seconds k_least_sleep{1};

  /// `clocks` must outlive the detector; the first reading is taken now.
  explicit ResumeDetector(const SleepClocks& clocks);

  /// True when the machine has slept for more than k_least_sleep since the last true answer
  /// (or since construction).
  [[nodiscard]] bool resumed();

 private:
  [[nodiscard]] std::chrono::nanoseconds asleep() const;

  const SleepClocks& m_clocks;
  std::chrono::nanoseconds m_known_asleep;  // the most time asleep seen so far
};

}  // namespace tavrick
