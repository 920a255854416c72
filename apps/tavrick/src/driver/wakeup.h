#pragma once
// The supervisor's wake-up: the MIDI side raises it from any thread when something happened to
// the devices, the supervisor waits on it between its passes.

#include <condition_variable>
#include <mutex>

#include "desktop/clock.h"
#include "midi/midi_port.h"

namespace tavrick {

/// The signals raised since the supervisor last looked.
struct WakeSignals {
  bool device_changed = false;
  bool connection_lost = false;
  bool resumed = false;
  [[nodiscard]] bool any() const { return device_changed || connection_lost || resumed; }
};

/// A signal raised while nobody waits is kept for the next wait. Raising never blocks for longer
/// than the wait takes to pick the signals up, so the system's notification callbacks and the
/// MIDI service's threads may raise it.
class Wakeup final : public MidiEvents {
 public:
  /// Any thread.
  void device_changed() override;
  void connection_lost() override;
  void resumed() override;

  /// Waits until a signal is raised or `deadline` has passed, and takes the raised signals
  /// (none when the deadline passed first). The supervisor's thread.
  [[nodiscard]] WakeSignals wait_until(Instant deadline);

 private:
  void raise(bool WakeSignals::*signal);

  std::mutex m_mutex;
  std::condition_variable m_raised;
  WakeSignals m_pending;  // guarded by m_mutex
};

}  // namespace tavrick
