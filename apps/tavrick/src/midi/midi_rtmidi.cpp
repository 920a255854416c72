// MIDI input on Linux through RtMidi, with every API the library was built with (the ALSA
// sequencer and JACK). A port is known by its API and its name; input ports are the other
// programs' output ports as RtMidi lists them.
//
// The JACK library can block without a bound (a server stopped by a signal, its shared database
// in /dev/shm held by another client), so every JACK call runs on a service thread of its own
// that callers wait for a bounded time only; while it does not answer, JACK lists no port. The
// JACK clients that input ports are opened on are kept for the run and handed from connection to
// connection (JackInputs).
//
// A sender that goes and comes back under the same name lists as before while the connection
// from it is gone. JACK tells of every port registered (the lister's client hears it), the ALSA
// sequencer announces every client and port that goes: a connection whose port or client such a
// notice names is known dead.

#include <jack/jack.h>
#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <mutex>
#include <streambuf>
#include <utility>

#include "midi/alsa_announcements.h"
#include "midi/jack_lister.h"
#include "midi/loss_signal.h"
#include "midi/midi_port.h"
#include "midi/open_ports.h"
#include "midi/port_lists.h"
#include "midi/service_thread.h"

namespace tavrick {

namespace {

using namespace std::chrono_literals;

constexpr const char* k_client_name = "tavrick";
constexpr const char* k_input_port_name = "input";

/// How long a caller waits for JACK. A server that answers needs a small part of this even on a
/// loaded machine; one that does not answer costs the supervisor this once per stall, since no
/// new call is started while one is stuck.
constexpr std::chrono::milliseconds k_jack_answer_limit = 2s;

constexpr const char* k_open_failed = "could not create Windows MM MIDI input port";

void ignore_jack_text(const char*) {}

/// Errors reported by one RtMidi object through its error callback; with a callback set the
/// library neither prints nor throws after construction. Warnings (a JACK server that is not
/// running, for one) are not failures.
struct ErrorRecord {
  std::string text;

  static void record(RtMidiError::Type type, const std::string& text, void* data) {
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING) {
      return;
    }
    static_cast<ErrorRecord*>(data)->text = text;
  }
};

/// A stream buffer that drops everything written to it.
class NullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type ch) override { return traits_type::not_eof(ch); }
};

/// A new RtMidiIn of `api` with its error callback set, or the library's error text. Its JACK
/// constructor connects at once and, without a server, prints a warning to std::cerr before a
/// callback can be set: std::cerr is muted for the construction (nothing else in the process
/// writes to std::cerr).
std::expected<std::unique_ptr<RtMidiIn>, std::string> make_input(RtMidi::Api api,
                                                                 ErrorRecord& errors) {
  static std::mutex cerr_mutex;
  std::lock_guard lock(cerr_mutex);
  NullBuffer null;
  std::streambuf* const saved = std::cerr.rdbuf(&null);
  std::unique_ptr<RtMidiIn> input;
  std::string failure;
  try {
    input = std::make_unique<RtMidiIn>(api, k_client_name);
  } catch (const RtMidiError& error) {
    failure = error.getMessage();
  }
  std::cerr.rdbuf(saved);
  if (!input) {
    return std::unexpected(failure);
  }
  input->setErrorCallback(&ErrorRecord::record, &errors);
  return input;
}

/// ALSA's library prints its own complaint to standard error when the sequencer device is
/// missing (no sound modules, a container): without the device there are no ALSA ports.
bool api_available(RtMidi::Api api) {
  return api != RtMidi::LINUX_ALSA || access("/dev/snd/seq", R_OK | W_OK) == 0;
}

/// The position of the port called `name` in `input`'s current list, or nothing.
std::optional<unsigned> find_port(RtMidiIn& input, const std::string& name) {
  const unsigned count = input.getPortCount();
  for (unsigned i = 0; i < count; ++i) {
    if (input.getPortName(i) == name) {
      return i;
    }
  }
  return std::nullopt;
}

/// One RtMidi input (for JACK, a client of the bridge's own) with at most one input port, whose
/// messages reach the connection that holds it. Used on one thread at a time (the service
/// thread for JACK); the API's input thread (JACK's process thread) calls deliver().
class RtMidiInput {
 public:
  /// A new input of `api`, made while the JACK lister had seen `servers_lost` servers go; the
  /// library's error text when it cannot be made.
  static std::expected<std::unique_ptr<RtMidiInput>, std::string> make(
      RtMidi::Api api, std::uint64_t servers_lost = 0) {
    auto input = std::unique_ptr<RtMidiInput>(new RtMidiInput(servers_lost));
    auto rtmidi = make_input(api, input->m_errors);
    if (!rtmidi) {
      return std::unexpected(std::move(rtmidi.error()));
    }
    input->m_input = std::move(*rtmidi);
    // Nothing is filtered out: system-exclusive, timing and active-sensing messages reach the
    // callback like the rest.
    input->m_input->ignoreTypes(false, false, false);
    input->m_input->setCallback(&RtMidiInput::deliver, input.get());
    return input;
  }

  /// Opens the input port, connected from the port called `port`; its messages reach
  /// `callback` until detach() or the end of the input.
  std::expected<void, std::string> attach(const std::string& port, MidiCallback callback) {
    m_errors.text.clear();
    const auto number = find_port(*m_input, port);
    if (!number) {
      return std::unexpected("invalid port");
    }
    {
      std::lock_guard lock(m_mutex);
      m_callback = std::move(callback);
    }
    m_input->openPort(*number, k_input_port_name);
    if (!m_input->isPortOpen() || !m_errors.text.empty()) {
      return std::unexpected(k_open_failed);
    }
    return {};
  }

  /// Closes the input port. Once this returns, the callback is not called again and has been
  /// released (with the sender it holds). What is left of the cycle that was running as the
  /// port closed is dropped, unless that cycle outlasts the next attach().
  void detach() {
    m_input->closePort();
    MidiCallback released;
    std::lock_guard lock(m_mutex);
    released = std::exchange(m_callback, nullptr);
  }

  [[nodiscard]] std::uint64_t servers_lost() const { return m_servers_lost; }

 private:
  explicit RtMidiInput(std::uint64_t servers_lost) : m_servers_lost(servers_lost) {}

  /// The API's input thread, for every message. The lock is only ever contended while a
  /// connection takes or leaves the input.
  static void deliver(double, std::vector<unsigned char>* message, void* data) {
    auto* self = static_cast<RtMidiInput*>(data);
    std::lock_guard lock(self->m_mutex);
    if (self->m_callback) {
      self->m_callback(std::span<const std::uint8_t>(message->data(), message->size()));
    }
  }

  std::uint64_t m_servers_lost;
  ErrorRecord m_errors;
  std::mutex m_mutex;
  MidiCallback m_callback;            // guarded by m_mutex
  std::unique_ptr<RtMidiIn> m_input;  // destroyed first: its port and client stop calling deliver()
};

/// An ALSA connection: its input, opened on the calling thread, ends with it.
class AlsaConnection final : public MidiConnection::Impl {
 public:
  explicit AlsaConnection(std::unique_ptr<RtMidiInput> input) : m_input(std::move(input)) {}

 private:
  std::unique_ptr<RtMidiInput> m_input;
};

/// The JACK inputs of the run, used on the service thread only. A connection that ends leaves
/// its client here for the next one instead of closing it: on a loaded machine, the JACK server
/// (1.9.21) now and then stopped running its graph for good, every client deaf from then on,
/// right after the bridge had closed an input client and opened another one. The clients of a
/// server that went away are closed, so that none is left once the lister connects to the next.
class JackInputs {
 public:
  /// An input connected from `port`, a kept one when there is one.
  std::expected<std::unique_ptr<RtMidiInput>, std::string> open(const MidiPort& port,
                                                                MidiCallback callback) {
    std::unique_ptr<RtMidiInput> input;
    if (!m_kept.empty()) {
      input = std::move(m_kept.back());
      m_kept.pop_back();
    } else if (auto made = RtMidiInput::make(RtMidi::UNIX_JACK, m_servers_lost); made) {
      input = std::move(*made);
    } else {
      return std::unexpected(k_open_failed);
    }
    if (auto attached = input->attach(port.name, std::move(callback)); !attached) {
      // Not kept: a client that the server no longer serves would fail every later open.
      input->detach();
      return std::unexpected(std::move(attached.error()));
    }
    return input;
  }

  /// Ends `input`'s connection and keeps its client, unless its server has gone since.
  void close(std::unique_ptr<RtMidiInput> input) {
    input->detach();
    if (input->servers_lost() == m_servers_lost) {
      m_kept.push_back(std::move(input));
    }
  }

  /// Told after every listing how many servers the lister has seen go: the clients kept from
  /// before a loss are closed.
  void follow(std::uint64_t servers_lost) {
    if (servers_lost != m_servers_lost) {
      m_servers_lost = servers_lost;
      m_kept.clear();
    }
  }

 private:
  std::uint64_t m_servers_lost = 0;
  std::vector<std::unique_ptr<RtMidiInput>> m_kept;
};

/// A JACK connection, opened and closed on the service thread. Closing waits for the thread a
/// bounded time only: a close stuck in JACK finishes there later, the callback still released
/// after the port.
class JackConnection final : public MidiConnection::Impl {
 public:
  JackConnection(std::shared_ptr<ServiceThread> service, std::shared_ptr<JackInputs> inputs,
                 std::unique_ptr<RtMidiInput> input)
      : m_service(std::move(service)), m_inputs(std::move(inputs)), m_input(std::move(input)) {}

  ~JackConnection() override {
    (void)m_service->call<bool>(
        [inputs = std::move(m_inputs), input = std::move(m_input)]() mutable {
          inputs->close(std::move(input));
          return true;
        },
        Start::in_turn, k_jack_answer_limit);
  }

 private:
  std::shared_ptr<ServiceThread> m_service;
  std::shared_ptr<JackInputs> m_inputs;
  std::unique_ptr<RtMidiInput> m_input;
};

/// What the services' notices reach, from their own threads: the supervisor's events, once it
/// follows the devices, and the open connections by the name that the notices give a port.
class Notices {
 public:
  void follow(std::shared_ptr<MidiEvents> events) {
    std::lock_guard lock(m_mutex);
    m_events = std::move(events);
  }
  [[nodiscard]] std::shared_ptr<MidiEvents> events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
  }
  void device_changed() const {
    if (const auto followed = events()) {
      followed->device_changed();
    }
  }

  OpenPorts<std::string> jack;  // by the full name of the sender's port
  OpenPorts<AlsaAddress> alsa;  // by the sender's address

 private:
  mutable std::mutex m_mutex;
  std::shared_ptr<MidiEvents> m_events;  // guarded by m_mutex
};

/// A connection that a notice may find dead.
class FollowedConnection final : public MidiConnection::Impl {
 public:
  FollowedConnection(std::unique_ptr<MidiConnection::Impl> inner, std::shared_ptr<LossSignal> loss)
      : m_inner(std::move(inner)), m_loss(std::move(loss)) {}

  bool alive() override { return !m_loss->lost(); }

 private:
  std::unique_ptr<MidiConnection::Impl> m_inner;
  std::shared_ptr<LossSignal> m_loss;
};

class RtMidiBackend final : public MidiBackend {
 public:
  RtMidiBackend() {
    jack_set_error_function(&ignore_jack_text);
    jack_set_info_function(&ignore_jack_text);
    RtMidi::getCompiledApi(m_apis);
  }

  void follow_devices(std::shared_ptr<MidiEvents> events) override {
    m_notices->follow(std::move(events));
    if (std::ranges::find(m_apis, RtMidi::LINUX_ALSA) != m_apis.end() &&
        api_available(RtMidi::LINUX_ALSA)) {
      (void)follow_alsa_announcements([notices = m_notices](const AlsaAnnouncement& announcement) {
        notices->alsa.lose_if([&](AlsaAddress source) { return announcement.ends(source); });
        notices->device_changed();
      });
    }
  }

  std::expected<std::vector<MidiPort>, std::string> list_input_ports() override {
    std::lock_guard lock(m_mutex);
    std::vector<PortList> lists;
    for (const RtMidi::Api api : m_apis) {
      if (api_available(api)) {
        lists.push_back(api == RtMidi::UNIX_JACK ? list_jack() : list_rtmidi(api));
      }
    }
    return merge_port_lists(std::move(lists));
  }

  std::expected<MidiConnection, std::string> open_port(const MidiPort& port,
                                                       MidiCallback callback) override {
    auto opened = open_api_port(port, std::move(callback));
    if (!opened) {
      return std::unexpected(std::move(opened.error()));
    }
    auto loss = std::make_shared<LossSignal>(m_notices->events());
    if (port.api == RtMidi::UNIX_JACK) {
      m_notices->jack.add(port.name, loss);
    } else if (const auto address = alsa_address_of(port.name)) {
      m_notices->alsa.add(*address, loss);
    }
    return MidiConnection(std::make_unique<FollowedConnection>(std::move(*opened), loss));
  }

 private:
  std::expected<std::unique_ptr<MidiConnection::Impl>, std::string> open_api_port(
      const MidiPort& port, MidiCallback callback) {
    if (port.api != RtMidi::UNIX_JACK) {
      auto input = RtMidiInput::make(static_cast<RtMidi::Api>(port.api));
      if (!input) {
        return std::unexpected(k_open_failed);
      }
      if (auto attached = (*input)->attach(port.name, std::move(callback)); !attached) {
        return std::unexpected(std::move(attached.error()));
      }
      return std::make_unique<AlsaConnection>(std::move(*input));
    }
    // Opening a port may block like any JACK call.
    auto opened = m_jack->call<std::expected<std::unique_ptr<RtMidiInput>, std::string>>(
        [inputs = m_jack_inputs, port, callback = std::move(callback)]() mutable {
          return inputs->open(port, std::move(callback));
        },
        Start::when_idle, k_jack_answer_limit);
    if (!opened) {
      return std::unexpected(k_open_failed);
    }
    if (!*opened) {
      // An input that failed half-way was closed on the service thread already.
      return std::unexpected(std::move(opened->error()));
    }
    return std::make_unique<JackConnection>(m_jack, m_jack_inputs, std::move(**opened));
  }

  /// One client per API lists the ports for the whole run: making a client every few seconds
  /// would make the MIDI service announce a new client every time.
  struct Lister {
    RtMidi::Api api;
    ErrorRecord errors;
    std::unique_ptr<RtMidiIn> input;
  };

  PortList list_rtmidi(RtMidi::Api api) {
    auto lister = find_lister(api);
    if (!lister) {
      return std::unexpected(std::move(lister.error()));
    }
    RtMidiIn& input = *(*lister)->input;
    std::vector<MidiPort> ports;
    const unsigned count = input.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
      std::string name = input.getPortName(i);
      // A port that went away between counting and naming has an empty name.
      if (!name.empty()) {
        ports.push_back(port_of(api, std::move(name)));
      }
    }
    return ports;
  }

  PortList list_jack() {
    auto names = m_jack->call<std::vector<std::string>>(
        [lister = m_jack_lister, inputs = m_jack_inputs] {
          auto listed = lister->list();
          inputs->follow(lister->servers_lost());
          return listed;
        },
        Start::when_idle, k_jack_answer_limit);
    if (!names) {
      return std::unexpected("JACK không trả lời");
    }
    std::vector<MidiPort> ports;
    ports.reserve(names->size());
    for (std::string& name : *names) {
      ports.push_back(port_of(RtMidi::UNIX_JACK, std::move(name)));
    }
    return ports;
  }

  static MidiPort port_of(RtMidi::Api api, std::string name) {
    return MidiPort{.name = std::move(name), .interface_path = {}, .api = static_cast<int>(api)};
  }

  std::expected<Lister*, std::string> find_lister(RtMidi::Api api) {
    for (const auto& lister : m_listers) {
      if (lister->api == api) {
        return lister.get();
      }
    }
    auto lister = std::make_unique<Lister>();
    lister->api = api;
    auto input = make_input(api, lister->errors);
    if (!input) {
      return std::unexpected(std::move(input.error()));
    }
    lister->input = std::move(*input);
    m_listers.push_back(std::move(lister));
    return m_listers.back().get();
  }

  std::vector<RtMidi::Api> m_apis;
  std::mutex m_mutex;  // guards m_listers and their use, and serialises listing
  std::vector<std::unique_ptr<Lister>> m_listers;
  // Every JACK call runs on this thread; the lister and the inputs are used there only. All are
  // shared with the jobs, which may outlast a caller that stopped waiting.
  std::shared_ptr<ServiceThread> m_jack = std::make_shared<ServiceThread>();
  std::shared_ptr<JackInputs> m_jack_inputs = std::make_shared<JackInputs>();
  // Shared with the threads of the services' notices, which may outlast the backend.
  std::shared_ptr<Notices> m_notices = std::make_shared<Notices>();
  // A port registered under the name of a sender the bridge listens to is a sender that came
  // back: the connection from its earlier self is gone.
  std::shared_ptr<JackLister> m_jack_lister =
      std::make_shared<JackLister>([notices = m_notices](std::string_view port) {
        if (!port.empty()) {
          notices->jack.lose_if([port](const std::string& source) { return source == port; });
        }
        notices->device_changed();
      });
};

}  // namespace

MidiBackend& system_midi_backend() {
  static RtMidiBackend backend;
  return backend;
}

}  // namespace tavrick
