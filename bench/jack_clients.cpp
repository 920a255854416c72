#include "jack_clients.h"

#include <jack/midiport.h>

#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {

void ignore_jack_text(const char*) {}

}  // namespace

std::optional<Child> start_jack_server(const std::string& name, int period,
                                       const std::filesystem::path& output) {
  setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
  setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
  // The library's own complaints while the server is still starting are expected; failures
  // are reported here.
  jack_set_error_function(&ignore_jack_text);
  jack_set_info_function(&ignore_jack_text);
  // Synchronous mode with a short client time-out: a client that is late holds the cycle instead
  // of losing its MIDI. Never verbose: a verbose server makes every client print traces.
  auto server = Child::start({"/usr/bin/jackd", "-S", "-t", "50", "-r", "-n", name, "-d", "dummy",
                              "-r", "48000", "-p", std::to_string(period)},
                             {}, output);
  if (!server) {
    return std::nullopt;
  }
  const std::int64_t deadline = now_ns() + 10'000'000'000;
  while (now_ns() < deadline && server->running()) {
    jack_status_t status{};
    if (jack_client_t* probe = jack_client_open("bench-probe", JackNoStartServer, &status)) {
      jack_client_close(probe);
      return server;
    }
    sleep_ms(50);
  }
  std::fprintf(stderr, "jackd did not start; its output:\n%s\n", read_file(output).c_str());
  return std::nullopt;
}

int detents_of(std::uint8_t value) { return value < 64 ? value : value - 128; }

TurnPlan paced_plan(std::size_t count, std::int64_t interval_ns) {
  TurnPlan plan;
  plan.due_ns.reserve(count);
  plan.value.reserve(count);
  std::uint32_t state = 0x9E3779B9u;
  for (std::size_t i = 0; i < count; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    // 1 to 127 without 64 would still be fine; 0 (a turn of no detents) is left out only so that
    // every line carries a delta that names its turn's value.
    plan.value.push_back(static_cast<std::uint8_t>(1 + state % 127));
    plan.due_ns.push_back(static_cast<std::int64_t>(i) * interval_ns);
  }
  return plan;
}

JackSurface::JackSurface(std::string client_name, TurnPlan plan)
    : m_name(std::move(client_name)),
      m_plan(std::move(plan)),
      m_sent_ns(m_plan.due_ns.size(), 0),
      m_heard(m_plan.due_ns.size(), 0) {}

std::unique_ptr<JackSurface> JackSurface::open(const std::string& client_name, TurnPlan plan) {
  std::unique_ptr<JackSurface> surface(new JackSurface(client_name, std::move(plan)));
  if (!surface->open_client()) {
    return nullptr;
  }
  return surface;
}

JackSurface::~JackSurface() { unplug(); }

bool JackSurface::open_client() {
  jack_status_t status{};
  m_client = jack_client_open(
      m_name.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackUseExactName), &status);
  if (m_client == nullptr) {
    return false;
  }
  m_port = jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  if (m_port == nullptr || jack_set_process_callback(m_client, &JackSurface::process, this) != 0 ||
      jack_activate(m_client) != 0) {
    jack_client_close(m_client);
    m_client = nullptr;
    return false;
  }
  return true;
}

std::string JackSurface::port_name() const { return m_name + ":out"; }

void JackSurface::start() { m_start_ns.store(now_ns(), std::memory_order_release); }

void JackSurface::unplug() {
  if (m_client != nullptr) {
    jack_client_close(m_client);  // returns after the last process call
    m_client = nullptr;
    m_port = nullptr;
  }
}

bool JackSurface::plug() {
  if (m_client != nullptr) {
    return true;
  }
  // The process callback is not running: skip the turns that fell due while unplugged.
  const std::int64_t start = m_start_ns.load(std::memory_order_acquire);
  if (start != 0) {
    const std::int64_t elapsed = now_ns() - start;
    std::size_t next = m_next.load(std::memory_order_relaxed);
    while (next < m_plan.due_ns.size() && m_plan.due_ns[next] <= elapsed) {
      ++next;
    }
    m_next.store(next, std::memory_order_release);
  }
  return open_client();
}

int JackSurface::process(jack_nframes_t frames, void* self_pointer) {
  auto& self = *static_cast<JackSurface*>(self_pointer);
  void* buffer = jack_port_get_buffer(self.m_port, frames);
  jack_midi_clear_buffer(buffer);
  const std::int64_t start = self.m_start_ns.load(std::memory_order_acquire);
  if (start == 0) {
    return 0;
  }
  const std::int64_t now = now_ns();
  const std::uint8_t heard = jack_port_connected(self.m_port) > 0 ? 1 : 0;
  std::size_t next = self.m_next.load(std::memory_order_relaxed);
  std::size_t written = 0;
  while (next < self.m_plan.due_ns.size() && self.m_plan.due_ns[next] <= now - start &&
         written < self.m_plan.max_per_cycle && jack_midi_max_event_size(buffer) >= 3) {
    const jack_midi_data_t message[3] = {0xB0, self.m_plan.controller, self.m_plan.value[next]};
    if (jack_midi_event_write(buffer, 0, message, 3) != 0) {
      break;
    }
    self.m_sent_ns[next] = now;
    self.m_heard[next] = heard;
    ++next;
    ++written;
  }
  self.m_next.store(next, std::memory_order_release);
  return 0;
}

std::optional<MidiInput> open_midi_input(const std::string& client_name,
                                         JackProcessCallback process, void* arg) {
  jack_status_t status{};
  MidiInput input;
  input.client = jack_client_open(client_name.c_str(), JackNoStartServer, &status);
  if (input.client == nullptr) {
    return std::nullopt;
  }
  input.port = jack_port_register(input.client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  if (input.port == nullptr || jack_set_process_callback(input.client, process, arg) != 0 ||
      jack_activate(input.client) != 0) {
    jack_client_close(input.client);
    return std::nullopt;
  }
  return input;
}

bool connect_to_input(jack_client_t* client, const std::string& source) {
  const std::string target = std::string(jack_get_client_name(client)) + ":in";
  return jack_connect(client, source.c_str(), target.c_str()) == 0;
}

std::unique_ptr<JackReader> JackReader::open(const std::string& client_name, std::size_t capacity) {
  std::unique_ptr<JackReader> reader(new JackReader());
  reader->m_arrived_ns.assign(capacity, 0);
  reader->m_values.assign(capacity, 0);
  const auto input = open_midi_input(client_name, &JackReader::process, reader.get());
  if (!input) {
    return nullptr;
  }
  reader->m_client = input->client;
  reader->m_port = input->port;
  return reader;
}

JackReader::~JackReader() {
  if (m_client != nullptr) {
    jack_client_close(m_client);
  }
}

bool JackReader::connect_from(const std::string& source) {
  return connect_to_input(m_client, source);
}

int JackReader::process(jack_nframes_t frames, void* self_pointer) {
  auto& self = *static_cast<JackReader*>(self_pointer);
  void* buffer = jack_port_get_buffer(self.m_port, frames);
  const jack_nframes_t events = jack_midi_get_event_count(buffer);
  if (events == 0) {
    return 0;
  }
  // Everything in this cycle's buffer arrived now: this is what a bare reader can know.
  const std::int64_t now = now_ns();
  std::size_t count = self.m_count.load(std::memory_order_relaxed);
  for (jack_nframes_t i = 0; i < events; ++i) {
    jack_midi_event_t event{};
    if (jack_midi_event_get(&event, buffer, i) != 0 || event.size < 3) {
      continue;
    }
    if (count < self.m_arrived_ns.size()) {
      self.m_arrived_ns[count] = now;
      self.m_values[count] = event.buffer[2];
    }
    ++count;
  }
  self.m_count.store(count, std::memory_order_release);
  return 0;
}

}  // namespace bench
