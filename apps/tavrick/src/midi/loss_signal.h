#pragma once
// Whether one open connection is known dead, shared between the connection and whatever learns
// of its loss on another thread: the MIDI service's thread that delivers the device's last word,
// a notification thread that names the device's removal.

#include <atomic>
#include <memory>
#include <utility>

#include "midi/midi_port.h"

namespace tavrick {

/// Owned jointly (shared_ptr) by a connection and its reporters. Any thread.
class LossSignal {
 public:
  /// `events` (may be empty) hears of the loss once.
  explicit LossSignal(std::shared_ptr<MidiEvents> events) : m_events(std::move(events)) {}

  /// Marks the connection dead; the first time, tells the events. Returns at once.
  void report() {
    if (!m_lost.exchange(true) && m_events) {
      m_events->connection_lost();
    }
  }

  /// Marks the connection dead without telling anybody: its owner found out itself.
  void note() { m_lost.store(true); }

  [[nodiscard]] bool lost() const { return m_lost.load(); }

 private:
  const std::shared_ptr<MidiEvents> m_events;
  std::atomic<bool> m_lost{false};
};

}  // namespace tavrick
