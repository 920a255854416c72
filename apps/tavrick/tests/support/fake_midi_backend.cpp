#include "support/fake_midi_backend.h"

#include <memory>
#include <utility>

namespace tavrick::test {

struct FakeMidiBackend::Connection final : tavrick::MidiConnection::Impl {
  Connection(FakeMidiBackend& owner, std::string port_name, tavrick::MidiCallback on_message)
      : backend(owner), name(std::move(port_name)), callback(std::move(on_message)) {}
  ~Connection() override {
    std::lock_guard lock(backend.m_mutex);
    backend.m_events.push_back("close " + name);
    backend.m_open.erase(name);
    if (backend.m_ports_after_close) {
      backend.m_ports = *std::exchange(backend.m_ports_after_close, std::nullopt);
    }
  }
  bool alive() override {
    std::lock_guard lock(backend.m_mutex);
    return !dead;
  }
  FakeMidiBackend& backend;
  std::string name;
  tavrick::MidiCallback callback;
  bool dead = false;  // guarded by the backend's mutex
};

void FakeMidiBackend::set_ports(std::vector<std::string> names) {
  std::lock_guard lock(m_mutex);
  m_ports = std::move(names);
}

void FakeMidiBackend::set_ports_after_close(std::vector<std::string> names) {
  std::lock_guard lock(m_mutex);
  m_ports_after_close = std::move(names);
}

void FakeMidiBackend::set_list_error(std::string error) {
  std::lock_guard lock(m_mutex);
  m_ports = std::unexpected(std::move(error));
}

void FakeMidiBackend::fail_open(std::string name, std::string reason) {
  std::lock_guard lock(m_mutex);
  m_open_failures[std::move(name)] = std::move(reason);
}

std::vector<std::string> FakeMidiBackend::take_events() {
  std::lock_guard lock(m_mutex);
  return std::exchange(m_events, {});
}

bool FakeMidiBackend::deliver(const std::string& name, std::vector<std::uint8_t> message) {
  tavrick::MidiCallback* callback = nullptr;
  {
    std::lock_guard lock(m_mutex);
    const auto found = m_open.find(name);
    if (found == m_open.end()) {
      return false;
    }
    callback = &found->second->callback;
  }
  (*callback)(message);
  return true;
}

bool FakeMidiBackend::kill(const std::string& name) {
  std::lock_guard lock(m_mutex);
  const auto found = m_open.find(name);
  if (found == m_open.end()) {
    return false;
  }
  found->second->dead = true;
  return true;
}

std::shared_ptr<tavrick::MidiEvents> FakeMidiBackend::events() const {
  std::lock_guard lock(m_mutex);
  return m_follower;
}

int FakeMidiBackend::listings() const {
  std::lock_guard lock(m_mutex);
  return m_listings;
}

std::expected<std::vector<tavrick::MidiPort>, std::string> FakeMidiBackend::list_input_ports() {
  std::lock_guard lock(m_mutex);
  ++m_listings;
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
  std::lock_guard lock(m_mutex);
  m_events.push_back("open " + port.name);
  if (const auto failure = m_open_failures.find(port.name); failure != m_open_failures.end()) {
    return std::unexpected(failure->second);
  }
  auto connection = std::make_unique<Connection>(*this, port.name, std::move(callback));
  m_open[port.name] = connection.get();
  return tavrick::MidiConnection(std::move(connection));
}

void FakeMidiBackend::follow_devices(std::shared_ptr<tavrick::MidiEvents> events) {
  std::lock_guard lock(m_mutex);
  m_follower = std::move(events);
}

}  // namespace tavrick::test
