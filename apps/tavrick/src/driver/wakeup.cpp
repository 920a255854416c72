#include "driver/wakeup.h"

#include <utility>

namespace tavrick {

void Wakeup::device_changed() { raise(&WakeSignals::device_changed); }
void Wakeup::connection_lost() { raise(&WakeSignals::connection_lost); }
void Wakeup::resumed() { raise(&WakeSignals::resumed); }

void Wakeup::raise(bool WakeSignals::*signal) {
  {
    std::lock_guard lock(m_mutex);
    m_pending.*signal = true;
  }
  m_raised.notify_one();
}

WakeSignals Wakeup::wait_until(Instant deadline) {
  std::unique_lock lock(m_mutex);
  m_raised.wait_until(lock, deadline, [this] { return m_pending.any(); });
  return std::exchange(m_pending, WakeSignals{});
}

}  // namespace tavrick
