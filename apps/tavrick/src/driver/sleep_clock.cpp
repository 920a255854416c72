#include "driver/sleep_clock.h"

namespace tavrick {

ResumeDetector::ResumeDetector(const SleepClocks& clocks)
    : m_clocks(clocks), m_known_asleep(asleep()) {}

std::chrono::nanoseconds ResumeDetector::asleep() const {
  const SleepReading reading = m_clocks.read();
  return reading.with_sleep - reading.without_sleep;
}

bool ResumeDetector::resumed() {
  const std::chrono::nanoseconds now_asleep = asleep();
  const bool slept = now_asleep > m_known_asleep + k_least_sleep;
  // The most seen, not the last: a reading that dips (one clock read a step late) must not make
  // the next ordinary reading look like sleep.
  if (now_asleep > m_known_asleep) {
    m_known_asleep = now_asleep;
  }
  return slept;
}

}  // namespace tavrick
