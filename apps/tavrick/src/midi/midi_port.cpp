// The backend-independent parts of a MIDI connection and of listing.

#include <utility>

#include "midi/midi_port.h"

namespace tavrick {

MidiConnection::MidiConnection(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
MidiConnection::MidiConnection(MidiConnection&&) noexcept = default;
MidiConnection& MidiConnection::operator=(MidiConnection&&) noexcept = default;
MidiConnection::~MidiConnection() = default;

bool MidiConnection::alive() { return m_impl && m_impl->alive(); }

void close_port(MidiConnection connection) {
  // The backend's Impl closes the device in its destructor, so that every path that drops a
  // connection (an open that fails half-way included) closes it the same way.
  connection.m_impl.reset();
}

std::expected<std::vector<std::string>, std::string> list_port_names(MidiBackend& backend) {
  auto ports = backend.list_input_ports();
  if (!ports) {
    return std::unexpected(std::move(ports.error()));
  }
  std::vector<std::string> names;
  names.reserve(ports->size());
  for (MidiPort& port : *ports) {
    names.push_back(std::move(port.name));
  }
  return names;
}

std::expected<std::vector<std::string>, std::string> list_port_names() {
  return list_port_names(system_midi_backend());
}

}  // namespace tavrick
