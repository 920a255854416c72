#pragma once
// When the supervisor's next pass over the MIDI ports is due.

#include <chrono>
#include <optional>

#include "desktop/clock.h"

namespace tavrick {

/// The supervisor's times; the defaults are the bridge's own.
struct PassTiming {
  /// Between two passes when nothing happens: the device list is read this often.
  Millis period = std::chrono::seconds(3);
  /// From a device change to the pass that looks at it: the device list lags the notice.
  Millis settle = Millis(500);
  /// From a device change to one more pass, for a list that lags even longer.
  Millis follow_up = Millis(1500);
  /// Between two cheap checks of the open connections while the supervisor waits.
  Millis check = Millis(500);
};

/// Passes come `period` apart. A device change brings one `settle` after it and one more
/// `follow_up` after it; a burst of changes does not put off the first of those. A connection
/// found dead brings one at once, and the same two after it. Pure: the caller tells the time.
/// The supervisor's thread.
class PassSchedule {
 public:
  /// The first pass is due at once.
  explicit PassSchedule(PassTiming timing = {}) : m_timing(timing) {}

  /// A pass that started at `started` has just ended; the regular pass after it is due
  /// `period` after its start.
  void pass_done(Instant started);
  /// A device changed (or the service said a connection is lost, or the machine resumed).
  void device_changed(Instant now);
  /// A connection was found dead: the pass is due at once.
  void pass_now(Instant now);

  /// When the next pass is due; none before the first pass_done means at once.
  [[nodiscard]] std::optional<Instant> next_pass() const;
  [[nodiscard]] bool due(Instant now) const;

 private:
  PassTiming m_timing;
  bool m_now = true;
  Instant m_regular{};
  std::optional<Instant> m_settled;    // the pass `settle` after the first of a burst of changes
  std::optional<Instant> m_follow_up;  // the pass `follow_up` after the last change
};

}  // namespace tavrick
