#pragma once
// The relay: the least a bridge of this shape can do. A bare JACK reader hands each message to a
// thread of its own through the bridge's own channel; that thread writes one request line per
// message to a TCP peer on 127.0.0.1, and a second thread reads the answers. Its latency minus the
// baseline's is what the two hand-offs (thread to thread, and the loopback hop to the
// application) cost on this machine, apart from anything the bridge computes.

#include <jack/jack.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "driver/channel.h"

namespace bench {

class JackRelay {
 public:
  /// Opens the JACK client `client_name` and connects to 127.0.0.1:`port`.
  [[nodiscard]] static std::unique_ptr<JackRelay> open(const std::string& client_name,
                                                       std::uint16_t port);
  ~JackRelay();
  JackRelay(const JackRelay&) = delete;
  JackRelay& operator=(const JackRelay&) = delete;

  /// Connects `source` (a full port name) to the relay's input.
  bool connect_from(const std::string& source);

 private:
  JackRelay() = default;
  static int process(jack_nframes_t frames, void* self);
  void write_lines();
  void read_answers() const;

  jack_client_t* m_client = nullptr;
  jack_port_t* m_port = nullptr;
  int m_socket = -1;
  // The CC values, from JACK's process thread to the writer.
  tavrick::Sender<std::uint8_t> m_sender;
  std::optional<tavrick::Receiver<std::uint8_t>> m_receiver;
  std::thread m_writer;
  std::thread m_reader;
};

}  // namespace bench
