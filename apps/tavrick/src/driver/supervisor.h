#pragma once
// The bridge's main routine.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/driver_message.h"
#include "driver/pass_schedule.h"
#include "driver/sleep_clock.h"
#include "driver/wakeup.h"
#include "midi/midi_port.h"

namespace tavrick {

class Link;

/// Whether the run stores the control port in the user's environment variable at start.
enum class SetEnv : bool { no, yes };

/// Runs the bridge on the calling (main) thread: starts the poller and the event loop, then
/// watches the MIDI input ports every 3 s. Returns 1, only when the event loop has stopped: by
/// returning or by an exception that left it, which is reported like any other end.
[[nodiscard]] int run_driver(std::uint16_t port, std::string_view source, SetEnv set_env);

/// What run_driver builds the bridge from. The programs take the defaults; tests put in a MIDI
/// backend of their own and thread bodies that fail or stay idle.
struct DriverParts {
  /// The MIDI service, which must outlive the run; nullptr: the system's.
  MidiBackend* backend = nullptr;
  /// Body of the UI-state poller thread; empty: ui_poller.
  std::function<void(std::shared_ptr<Link>, DriverSender)> ui_poller;
  /// Body of the event-loop thread; empty: event_loop.
  std::function<void(DriverReceiver, std::shared_ptr<Link>)> event_loop;
};

/// run_driver built from `parts`. Main thread.
[[nodiscard]] int run_driver(std::uint16_t port, std::string_view source, SetEnv set_env,
                             DriverParts parts);

/// The watch over the surface's ports that run_driver repeats every 3 s: opens the matching
/// ports when they are listed, closes them when they are not, reports the surface's absence
/// once. A connection that is known dead while its port is still (or again) listed is closed and
/// the surface opened again in the same pass. Lives on the main thread; owns the open
/// connections and the supervisor's sender.
class Supervisor {
 public:
  /// `event_loop_finished` tells whether the event-loop thread has ended (any thread may have
  /// set what it reads). `backend` and `clocks` must outlive the supervisor; the backend reports
  /// device events to the supervisor's wake-up from now on.
  Supervisor(std::string source, DriverSender sender, MidiBackend& backend,
             std::function<bool()> event_loop_finished,
             const SleepClocks& clocks = system_sleep_clocks(), PassTiming timing = {});

  /// One pass. When the event loop has finished: logs "✗ driver dừng bất thường", closes every
  /// connection, drops the sender and returns 1. Otherwise nothing.
  [[nodiscard]] std::optional<int> pass();

  /// Returns when the next pass is due: `period` after the last one, or sooner after a device
  /// change, a lost connection or a resume from sleep. Meanwhile checks the open connections
  /// every `check`. Main thread.
  void wait_for_next_pass();

 private:
  void close_all();
  /// Logs the unplug line and closes every connection; the absence is then told.
  void close_as_unplugged();
  /// True when a port that matches the source is listed now; a list that cannot be read shows
  /// none.
  [[nodiscard]] bool surface_listed();
  /// False when an open connection is known dead (a cheap call on each).
  [[nodiscard]] bool connections_alive();

  std::string m_source;
  DriverSender m_sender;  // every opening of the surface gets a clone
  MidiBackend& m_backend;
  std::function<bool()> m_event_loop_finished;
  std::optional<std::vector<MidiConnection>> m_connections;  // present while the surface is open
  bool m_waiting_announced = false;  // absence reported since the last successful open
  std::shared_ptr<Wakeup> m_wakeup = std::make_shared<Wakeup>();  // shared with the backend
  PassTiming m_timing;
  PassSchedule m_schedule;
  ResumeDetector m_resume;
  bool m_resumed = false;  // the machine slept: the open connections count as dead
};

}  // namespace tavrick
