#include "support/fake_midi_backend.h"

#include <memory>
#include <utility>

namespace tavrick::test {

struct FakeMidiBackend::Connection final : tavrick::MidiConnection::Impl {
  Connection(FakeMidiBackend& owner, std::string port_name, tavrick::MidiCallback on_message)
      : backend(owner), name(std::move(port_name)), callback(std::move(on_message)) {}
  ~Connection() override {
    backend.m_events.push_back("close " + name);
    backend.m_open.erase(name);
  }
  FakeMidiBackend& backend;
  std::string name;
  tavrick::MidiCallback callback;
};

void FakeMidiBackend::set_ports(std::vector<std::string> names) { m_ports = std::move(names); }

void FakeMidiBackend::set_list_error(std::string error) {
  m_ports = std::unexpected(std::move(error));
}

void FakeMidiBackend::fail_open(std::string name, std::string reason) {
  m_open_failures[std::move(name)] = std::move(reason);
}

std::vector<std::string> FakeMidiBackend::take_events() { return std::exchange(m_events, {}); }

bool FakeMidiBackend::deliver(const std::string& name, std::vector<std::uint8_t> message) {
  const auto found = m_open.find(name);
  if (found == m_open.end()) {
    return false;
  }
  found->second->callback(message);
  return true;
}

std::expected<std::vector<tavrick::MidiPort>, std::string> FakeMidiBackend::list_input_ports() {
  if (!m_ports) {
    return std::unexpected(m_ports.error());
  }
  std::vector<tavrick::MidiPort> ports;
  for (const std::string& name : *m_ports) {
    ports.push_back(tavrick::MidiPort{.name = name, .interface_path = {}, .api = 0});
  }
  return ports;
}

std::expected<tavrick::MidiConnection, std::string> FakeMidiBackend::open_port(
    const tavrick::MidiPort& port, tavrick::MidiCallback callback) {
  m_events.push_back("open " + port.name);
  if (const auto failure = m_open_failures.find(port.name); failure != m_open_failures.end()) {
    return std::unexpected(failure->second);
  }
  auto connection = std::make_unique<Connection>(*this, port.name, std::move(callback));
  m_open[port.name] = connection.get();
  return tavrick::MidiConnection(std::move(connection));
}

}  // namespace tavrick::test
