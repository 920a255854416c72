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
#include <rtmidi/RtMidi.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr std::string_view k_usage = "usage: virtual-surface --name NAME [--hold] [HEX BYTE...]\n";

void ignore_jack_text(const char*) {}

/// The last error RtMidi reported for the output; with a callback set it neither prints nor
/// throws.
struct ErrorRecord {
  std::string text;
  static void record(RtMidiError::Type, const std::string& text, void* data) {
    static_cast<ErrorRecord*>(data)->text = text;
  }
};

class NullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type ch) override { return traits_type::not_eof(ch); }
};

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

class Surface {
 public:
  /// Opens the port; the error text when there is no JACK server or the port cannot be made.
  static std::unique_ptr<Surface> open(const std::string& name, std::string& error) {
    auto surface = std::unique_ptr<Surface>(new Surface(name));
    {
      // Without a server RtMidi prints a warning to std::cerr while it constructs, before an
      // error callback can be set.
      NullBuffer null;
      std::streambuf* const saved = std::cerr.rdbuf(&null);
      try {
        surface->m_output = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, name);
      } catch (const RtMidiError& failure) {
        error = failure.getMessage();
      }
      std::cerr.rdbuf(saved);
    }
    if (!surface->m_output) {
      return nullptr;
    }
    surface->m_output->setErrorCallback(&ErrorRecord::record, &surface->m_errors);
    surface->m_query = jack_client_open((name + " query").c_str(), JackNoStartServer, nullptr);
    if (surface->m_query == nullptr) {
      error = "no JACK server";
      return nullptr;
    }
    surface->m_output->openVirtualPort(name);
    if (!surface->m_errors.text.empty()) {
      error = surface->m_errors.text;
      return nullptr;
    }
    return surface;
  }

  ~Surface() {
    if (m_query != nullptr) {
      jack_client_close(m_query);
    }
  }

  /// Sends one message. RtMidi queues it in a ring buffer that JACK's process thread empties
  /// every cycle; when the buffer is full the message is offered again a moment later, so a
  /// long burst arrives whole.
  bool send(const Bytes& message) {
    for (int attempt = 0; attempt < 5000; ++attempt) {
      m_errors.text.clear();
      m_output->sendMessage(&message);
      if (m_errors.text.empty()) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::cerr << "virtual-surface: " << m_errors.text << "\n";
    return false;
  }

  /// Waits until an input port is connected to the surface's port.
  void wait_connected() {
    while (!connected()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

 private:
  explicit Surface(std::string name) : m_name(std::move(name)) {}

  bool connected() {
    // JACK may have renamed the client when the name was taken: look for the port by its own
    // name among the MIDI outputs.
    const char** ports = jack_get_ports(m_query, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
    bool result = false;
    for (std::size_t i = 0; ports != nullptr && ports[i] != nullptr && !result; ++i) {
      const std::string_view full = ports[i];
      if (full.ends_with(":" + m_name)) {
        const char** links =
            jack_port_get_all_connections(m_query, jack_port_by_name(m_query, ports[i]));
        result = links != nullptr && links[0] != nullptr;
        jack_free(links);
      }
    }
    jack_free(ports);
    return result;
  }

  std::string m_name;
  ErrorRecord m_errors;
  std::unique_ptr<RtMidiOut> m_output;
  jack_client_t* m_query = nullptr;  // a second client that reads the connection graph
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
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  return 0;
}
