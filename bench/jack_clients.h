#pragma once
// The two JACK clients of the benchmarks: the surface (a MIDI output that sends planned knob
// turns and records when each one left) and the baseline reader (a MIDI input that only records
// when each message arrived). Also the private JACK server they run on.

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench_util.h"

namespace bench {

/// Starts `jackd -S -t 50 -r -n {name} -d dummy -p {period}` (synchronous, no real-time
/// scheduling, dummy audio driver) and waits until clients can connect. Also sets
/// JACK_DEFAULT_SERVER for this process, so every client it starts (and inherits) uses it.
[[nodiscard]] std::optional<Child> start_jack_server(const std::string& name, int period,
                                                     const std::filesystem::path& output);

/// A client with one MIDI input port "in", whose process callback is `process(frames, arg)`,
/// active. Nothing (and nothing left open) when JACK refuses.
struct MidiInput {
  jack_client_t* client = nullptr;
  jack_port_t* port = nullptr;
};
[[nodiscard]] std::optional<MidiInput> open_midi_input(const std::string& client_name,
                                                       JackProcessCallback process, void* arg);

/// Connects `source` (a full port name) to the input port of `client`.
bool connect_to_input(jack_client_t* client, const std::string& source);

/// Which turns to send and when.
struct TurnPlan {
  std::vector<std::int64_t> due_ns;  ///< due time of each turn, after start()
  std::vector<std::uint8_t> value;   ///< its CC value: 1-63 clockwise, 64-127 counter-clockwise
  std::uint8_t controller = 33;      ///< the Exposure knob of the loupe page
  std::size_t max_per_cycle = 256;   ///< turns written in one JACK cycle at most
};

/// Detents of a CC value, as the bridge decodes them.
[[nodiscard]] int detents_of(std::uint8_t value);

/// A plan of `count` turns, one every `interval_ns`, with values from a fixed pseudo-random
/// sequence (so that the order of arrival can be checked).
[[nodiscard]] TurnPlan paced_plan(std::size_t count, std::int64_t interval_ns);

/// The virtual surface: a client with the MIDI output port "out". Owns the client; unplug()
/// closes it and plug() opens it again under the same name.
class JackSurface {
 public:
  [[nodiscard]] static std::unique_ptr<JackSurface> open(const std::string& client_name,
                                                         TurnPlan plan);
  ~JackSurface();
  JackSurface(const JackSurface&) = delete;
  JackSurface& operator=(const JackSurface&) = delete;

  /// "{client}:out".
  [[nodiscard]] std::string port_name() const;
  /// Starts the plan: turn i leaves at the first cycle after its due time.
  void start();
  /// Closes the client: its port vanishes. Turns due meanwhile are skipped (never sent).
  void unplug();
  /// Opens the client again; false when JACK refuses.
  bool plug();
  [[nodiscard]] bool plugged() const { return m_client != nullptr; }

  /// Turns sent or skipped so far; the plan is done when this is its size.
  [[nodiscard]] std::size_t progress() const { return m_next.load(std::memory_order_acquire); }
  [[nodiscard]] std::size_t size() const { return m_plan.due_ns.size(); }
  [[nodiscard]] const TurnPlan& plan() const { return m_plan; }
  /// When each turn left (now_ns), 0 while not yet and for skipped turns. Read only the entries
  /// below progress().
  [[nodiscard]] const std::vector<std::int64_t>& sent_ns() const { return m_sent_ns; }
  /// Whether some input was connected to the port when the turn left.
  [[nodiscard]] const std::vector<std::uint8_t>& heard() const { return m_heard; }

 private:
  explicit JackSurface(std::string client_name, TurnPlan plan);
  bool open_client();
  static int process(jack_nframes_t frames, void* self);

  std::string m_name;
  TurnPlan m_plan;
  std::vector<std::int64_t> m_sent_ns;
  std::vector<std::uint8_t> m_heard;
  jack_client_t* m_client = nullptr;
  jack_port_t* m_port = nullptr;
  std::atomic<std::int64_t> m_start_ns{0};
  std::atomic<std::size_t> m_next{0};
};

/// The baseline: a client with the MIDI input port "in" that records each message's arrival.
class JackReader {
 public:
  [[nodiscard]] static std::unique_ptr<JackReader> open(const std::string& client_name,
                                                        std::size_t capacity);
  ~JackReader();
  JackReader(const JackReader&) = delete;
  JackReader& operator=(const JackReader&) = delete;

  /// Connects `source` (a full port name) to this reader's input.
  bool connect_from(const std::string& source);
  /// Messages received so far (at most the capacity are recorded).
  [[nodiscard]] std::size_t count() const { return m_count.load(std::memory_order_acquire); }
  [[nodiscard]] const std::vector<std::int64_t>& arrived_ns() const { return m_arrived_ns; }
  [[nodiscard]] const std::vector<std::uint8_t>& values() const { return m_values; }

 private:
  JackReader() = default;
  static int process(jack_nframes_t frames, void* self);

  jack_client_t* m_client = nullptr;
  jack_port_t* m_port = nullptr;
  std::vector<std::int64_t> m_arrived_ns;
  std::vector<std::uint8_t> m_values;
  std::atomic<std::size_t> m_count{0};
};

}  // namespace bench
