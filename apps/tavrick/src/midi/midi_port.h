#pragma once
// MIDI input ports: listing, opening with a callback that gets the bytes of each message,
// closing.

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrick {

/// What the MIDI side tells the supervisor between its passes. Called from any thread (the
/// system's notification threads, the MIDI service's threads); every call returns at once.
class MidiEvents {
 public:
  virtual ~MidiEvents() = default;
  /// A MIDI device, or one of its interfaces, arrived or went away: the port list changes soon.
  virtual void device_changed() = 0;
  /// An open connection is known dead (its device closed it or went away).
  virtual void connection_lost() = 0;
  /// The machine woke from sleep: open connections may have died without a sign.
  virtual void resumed() = 0;
};

/// An open input port. Owns its device handle, buffers and callback; close_port (or
/// destruction) releases them.
class MidiConnection {
 public:
  /// What a backend keeps for an open port; destroying it closes the port, releases its buffers
  /// and drops its callback (and with it what the callback holds). Backends derive from it.
  struct Impl {
    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    virtual ~Impl() = default;
    /// See MidiConnection::alive. A backend that cannot tell keeps the default.
    [[nodiscard]] virtual bool alive() { return true; }
  };
  explicit MidiConnection(std::unique_ptr<Impl> impl);
  MidiConnection(MidiConnection&&) noexcept;
  MidiConnection& operator=(MidiConnection&&) noexcept;
  ~MidiConnection();

  /// False once the port is known dead: its device closed it or went away, or a cheap call on
  /// it (one that changes nothing on a live port) says that the device is gone. True while
  /// nothing says so. The owner's thread.
  [[nodiscard]] bool alive();

 private:
  friend void close_port(MidiConnection connection);
  std::unique_ptr<Impl> m_impl;
};

/// One input port as listed. Its identity is the name together with the backend's own key, so
/// that the port is found again when it is opened although device numbers shift meanwhile.
struct MidiPort {
  std::string name;               ///< display name, UTF-8
  std::u16string interface_path;  ///< WinMM: the driver's device interface path; else empty
  int api = 0;                    ///< RtMidi: the RtMidi::Api that lists the port; else 0
  friend bool operator==(const MidiPort&, const MidiPort&) = default;
};

/// Called for every complete incoming message, on a thread of the MIDI service, one call at a
/// time per connection. Owned by the connection.
using MidiCallback = std::function<void(std::span<const std::uint8_t> message)>;

/// The platform's MIDI input service. Production code uses system_midi_backend(); tests put a
/// fake behind it.
class MidiBackend {
 public:
  virtual ~MidiBackend() = default;
  /// The input ports in device order, or an error text when the list cannot be read. Any thread
  /// (serialised inside).
  [[nodiscard]] virtual std::expected<std::vector<MidiPort>, std::string> list_input_ports() = 0;
  /// Opens `port` (looked up again by its identity) and starts delivering its messages to
  /// `callback`. On failure one of the reasons "invalid port", "could not create Windows MM MIDI
  /// input port (MMSYSERR_ALLOCATED)", "could not create Windows MM MIDI input port", "could not
  /// initialize Windows MM MIDI input port (PrepareHeader)", "could not initialize Windows MM
  /// MIDI input port (AddBuffer)", "could not start Windows MM MIDI input port". Caller's thread.
  [[nodiscard]] virtual std::expected<MidiConnection, std::string> open_port(
      const MidiPort& port, MidiCallback callback) = 0;
  /// From now on, tells `events` of device arrivals and removals, of open connections that the
  /// service reports dead and of resumes from sleep, as far as the platform reports them (what
  /// it does not report, the supervisor's own checks find). Connections opened later report to
  /// `events` too. A backend that can tell nothing keeps the default. Main thread, once, before
  /// any port is opened.
  virtual void follow_devices(std::shared_ptr<MidiEvents> events) { (void)events; }
};

/// The process's backend: WinMM on Windows, RtMidi (ALSA sequencer and JACK) on Linux.
[[nodiscard]] MidiBackend& system_midi_backend();

/// The names of the MIDI input ports in device order, or an error text.
[[nodiscard]] std::expected<std::vector<std::string>, std::string> list_port_names();
[[nodiscard]] std::expected<std::vector<std::string>, std::string> list_port_names(
    MidiBackend& backend);

/// Closes the port; errors are written to standard error and never stop the close.
void close_port(MidiConnection connection);

}  // namespace tavrick
