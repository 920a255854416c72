#include "relay.h"

#include <arpa/inet.h>
#include <jack/midiport.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <variant>

#include "jack_clients.h"

namespace bench {

std::unique_ptr<JackRelay> JackRelay::open(const std::string& client_name, std::uint16_t port) {
  std::unique_ptr<JackRelay> relay(new JackRelay());
  relay->m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  const int yes = 1;
  if (relay->m_socket < 0 ||
      ::connect(relay->m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
          0 ||
      ::setsockopt(relay->m_socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes) != 0) {
    return nullptr;
  }
  auto [sender, receiver] = tavrick::make_channel<std::uint8_t>();
  relay->m_sender = std::move(sender);
  relay->m_receiver.emplace(std::move(receiver));
  relay->m_writer = std::thread([r = relay.get()] { r->write_lines(); });
  relay->m_reader = std::thread([r = relay.get()] { r->read_answers(); });

  const auto input = open_midi_input(client_name, &JackRelay::process, relay.get());
  if (!input) {
    return nullptr;
  }
  relay->m_client = input->client;
  relay->m_port = input->port;
  return relay;
}

JackRelay::~JackRelay() {
  if (m_client != nullptr) {
    jack_client_close(m_client);  // returns after the last process call
  }
  m_sender.reset();  // the writer sees the channel disconnected and ends
  if (m_writer.joinable()) {
    m_writer.join();
  }
  if (m_socket >= 0) {
    ::shutdown(m_socket, SHUT_RDWR);  // ends the reader's recv
  }
  if (m_reader.joinable()) {
    m_reader.join();
  }
  if (m_socket >= 0) {
    ::close(m_socket);
  }
}

bool JackRelay::connect_from(const std::string& source) {
  return connect_to_input(m_client, source);
}

int JackRelay::process(jack_nframes_t frames, void* self_pointer) {
  auto& self = *static_cast<JackRelay*>(self_pointer);
  void* buffer = jack_port_get_buffer(self.m_port, frames);
  const jack_nframes_t events = jack_midi_get_event_count(buffer);
  for (jack_nframes_t i = 0; i < events; ++i) {
    jack_midi_event_t event{};
    if (jack_midi_event_get(&event, buffer, i) == 0 && event.size >= 3) {
      self.m_sender.send(event.buffer[2]);
    }
  }
  return 0;
}

void JackRelay::write_lines() {
  // The same request line the bridge writes for a turn of the Exposure knob.
  std::uint64_t id = 1;
  std::string line;
  for (;;) {
    auto received = m_receiver->receive();
    const auto* value = std::get_if<std::uint8_t>(&received);
    if (value == nullptr) {
      return;
    }
    std::array<char, 32> text{};
    line = "{\"id\":";
    line.append(text.data(), std::to_chars(text.data(), text.data() + text.size(), ++id).ptr);
    line +=
        ",\"method\":\"engine.execute\",\"params\":{\"command\":\"develop.adjust\",\"params\":"
        "{\"control\":\"light.exposure\",\"delta\":";
    line.append(
        text.data(),
        std::to_chars(text.data(), text.data() + text.size(), detents_of(*value) * 0.05).ptr);
    line += "}}}\n";
    for (std::size_t at = 0; at < line.size();) {
      const ssize_t written = ::send(m_socket, line.data() + at, line.size() - at, MSG_NOSIGNAL);
      if (written <= 0) {
        return;
      }
      at += static_cast<std::size_t>(written);
    }
  }
}

void JackRelay::read_answers() const {
  std::array<char, 65536> buffer{};
  while (::recv(m_socket, buffer.data(), buffer.size(), 0) > 0) {
  }
}

}  // namespace bench
