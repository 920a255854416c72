// virtual-surface: plays the control surface through a JACK MIDI output port, so that the bridge
// can be run and tested without the device.
//
//   virtual-surface --name NAME [--hold] [HEX BYTE...]
//
// Opens the output port NAME on a JACK client called NAME (the server of JACK_DEFAULT_SERVER)
// and sends the bytes given as arguments, split into messages at every status byte. Without
// bytes it reads standard input, one command per line:
//   b0 21 01          a message, as hexadecimal bytes
//   sleep 100         wait 100 ms
//   wait-connected    wait until some input port is connected to NAME
//   # ...             a comment (so are empty lines)
// It exits with 0 at the end of its input; with --hold it keeps the port open until it is
// ended by a signal. Errors go to standard error with exit code 1 (2 for bad usage).

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr std::string_view k_usage = "usage: virtual-surface --name NAME [--hold] [HEX BYTE...]\n";

/// What the main thread hands to JACK's process thread: records of a 16-bit length and the
/// message's bytes.
constexpr std::size_t k_queue_bytes = 16384;
using RecordSize = std::uint16_t;

void ignore_jack_text(const char*) {}

std::optional<unsigned char> parse_byte(std::string_view token) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value, 16);
  if (error != std::errc{} || end != token.data() + token.size() || token.size() > 2) {
    return std::nullopt;
  }
  return static_cast<unsigned char>(value);
}

/// Splits `bytes` into messages, each starting at a status byte (bit 7 set).
std::vector<Bytes> split_messages(const Bytes& bytes) {
  std::vector<Bytes> messages;
  for (const unsigned char byte : bytes) {
    if ((byte & 0x80) != 0 || messages.empty()) {
      messages.emplace_back();
    }
    messages.back().push_back(byte);
  }
  return messages;
}

/// The surface's JACK client and its one MIDI output port. The main thread queues messages;
/// JACK's process thread moves them into the port's buffer every cycle. The client is
/// deactivated before anything the process thread uses is released, so that no cycle can run
/// on freed memory while the program ends.
class Surface {
 public:
  /// Opens the port; the error text when there is no JACK server or the port cannot be made.
  static std::unique_ptr<Surface> open(const std::string& name, std::string& error) {
    auto surface = std::unique_ptr<Surface>(new Surface);
    surface->m_client = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
    if (surface->m_client == nullptr) {
      error = "no JACK server";
      return nullptr;
    }
    surface->m_queue = jack_ringbuffer_create(k_queue_bytes);
    surface->m_port = jack_port_register(surface->m_client, name.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                         JackPortIsOutput, 0);
    if (surface->m_queue == nullptr || surface->m_port == nullptr ||
        jack_set_process_callback(surface->m_client, &Surface::process, surface.get()) != 0 ||
        jack_activate(surface->m_client) != 0) {
      error = "could not create the JACK MIDI output port " + name;
      return nullptr;
    }
    surface->m_active = true;
    return surface;
  }

  ~Surface() {
    if (m_active) {
      // Returns once the process thread has left its callback for good.
      jack_deactivate(m_client);
    }
    if (m_client != nullptr) {
      jack_client_close(m_client);
    }
    if (m_queue != nullptr) {
      jack_ringbuffer_free(m_queue);
    }
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  /// Queues one message for the next cycle. When the queue is full the message is offered again
  /// a moment later, so that a long burst arrives whole.
  bool send(const Bytes& message) {
    if (message.size() > k_queue_bytes / 2) {
      std::cerr << "virtual-surface: a message of " << message.size() << " bytes is too long\n";
      return false;
    }
    Bytes record(sizeof(RecordSize));
    const auto size = static_cast<RecordSize>(message.size());
    std::memcpy(record.data(), &size, sizeof size);
    record.insert(record.end(), message.begin(), message.end());
    for (int attempt = 0; attempt < 5000; ++attempt) {
      // One write per record: the process thread never sees a length without its bytes.
      if (jack_ringbuffer_write_space(m_queue) >= record.size()) {
        jack_ringbuffer_write(m_queue, reinterpret_cast<const char*>(record.data()), record.size());
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::cerr << "virtual-surface: JACK took no messages for 5 s\n";
    return false;
  }

  /// Waits until an input port is connected to the surface's port.
  void wait_connected() const {
    while (jack_port_connected(m_port) == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  /// Waits until every queued message has been put into a cycle and two more cycles have run,
  /// so that its readers have had it; at most 2 s (a server that stopped runs no cycles).
  void flush() const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    const auto waited_out = [&] { return std::chrono::steady_clock::now() >= deadline; };
    while (jack_ringbuffer_read_space(m_queue) != 0 && !waited_out()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::uint64_t emptied_by = m_cycles.load(std::memory_order_acquire);
    while (m_cycles.load(std::memory_order_acquire) < emptied_by + 2 && !waited_out()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

 private:
  Surface() = default;

  /// JACK's process thread, once a cycle: as many queued messages as the port's buffer takes.
  static int process(jack_nframes_t frames, void* data) {
    auto& self = *static_cast<Surface*>(data);
    void* const buffer = jack_port_get_buffer(self.m_port, frames);
    jack_midi_clear_buffer(buffer);
    RecordSize size = 0;
    while (jack_ringbuffer_read_space(self.m_queue) >= sizeof size) {
      jack_ringbuffer_peek(self.m_queue, reinterpret_cast<char*>(&size), sizeof size);
      jack_midi_data_t* const event = jack_midi_event_reserve(buffer, 0, size);
      if (event == nullptr) {
        break;  // the buffer is full: the rest goes in the next cycle
      }
      jack_ringbuffer_read_advance(self.m_queue, sizeof size);
      jack_ringbuffer_read(self.m_queue, reinterpret_cast<char*>(event), size);
    }
    self.m_cycles.fetch_add(1, std::memory_order_release);
    return 0;
  }

  jack_client_t* m_client = nullptr;
  jack_port_t* m_port = nullptr;
  jack_ringbuffer_t* m_queue = nullptr;
  bool m_active = false;
  std::atomic<std::uint64_t> m_cycles{0};  // cycles run, counted by the process thread
};

/// Runs one line of the standard-input script; false ends the program with an error.
bool run_line(Surface& surface, std::string_view line) {
  std::istringstream words{std::string(line)};
  std::string first;
  if (!(words >> first) || first.starts_with("#")) {
    return true;
  }
  if (first == "sleep") {
    unsigned ms = 0;
    if (!(words >> ms)) {
      std::cerr << "virtual-surface: bad line: " << line << "\n";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return true;
  }
  if (first == "wait-connected") {
    surface.wait_connected();
    return true;
  }
  Bytes message;
  for (std::string token = first; !token.empty(); token.clear(), words >> token) {
    const auto byte = parse_byte(token);
    if (!byte) {
      std::cerr << "virtual-surface: bad line: " << line << "\n";
      return false;
    }
    message.push_back(*byte);
  }
  return surface.send(message);
}

}  // namespace

int main(int argc, char** argv) {
  jack_set_error_function(&ignore_jack_text);
  jack_set_info_function(&ignore_jack_text);

  std::string name;
  bool hold = false;
  Bytes bytes;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--name" && i + 1 < argc) {
      name = argv[++i];
    } else if (arg == "--hold") {
      hold = true;
    } else if (const auto byte = parse_byte(arg)) {
      bytes.push_back(*byte);
    } else {
      std::cerr << k_usage;
      return 2;
    }
  }
  if (name.empty()) {
    std::cerr << k_usage;
    return 2;
  }

  std::string error;
  const auto surface = Surface::open(name, error);
  if (!surface) {
    std::cerr << "virtual-surface: " << error << "\n";
    return 1;
  }
  if (bytes.empty()) {
    for (std::string line; std::getline(std::cin, line);) {
      if (!run_line(*surface, line)) {
        return 1;
      }
    }
  } else {
    for (const Bytes& message : split_messages(bytes)) {
      if (!surface->send(message)) {
        return 1;
      }
    }
  }
  while (hold) {
    std::this_thread::sleep_for(std::chrono::hours(1));
  }
  // The last messages leave through JACK's next cycles; closing at once could drop them.
  surface->flush();
  return 0;
}
