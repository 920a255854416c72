// Opening the surface: every input port whose name matches the source, all or none.

#include "driver/open_matching.h"

#include <string>
#include <utility>

#include "desktop/log.h"
#include "driver/control_event.h"
#include "midi/port_match.h"

namespace tavrick {

MidiCallback decode_and_post(DriverSender sender) {
  return [sender = std::move(sender)](std::span<const std::uint8_t> message) {
    if (auto event = decode_midi(message)) {
      // The channel is unbounded, so the send never blocks the MIDI service thread; it fails
      // only when the event loop is gone, and then the event has nowhere to go.
      (void)sender.send(DriverMessage{DriverMessage::Midi{*event}});
    }
  };
}

std::expected<std::vector<MidiConnection>, std::string> open_matching_ports(MidiBackend& backend,
                                                                            std::string_view source,
                                                                            DriverSender sender) {
  // A list that cannot be read shows no port, and so no surface.
  std::vector<MidiPort> matched;
  if (auto ports = backend.list_input_ports()) {
    for (MidiPort& port : *ports) {
      if (port_matches(port.name, source)) {
        matched.push_back(std::move(port));
      }
    }
  }
  if (matched.empty()) {
    return std::unexpected("không thấy thiết bị MIDI tên chứa \"" + std::string(source) +
                           "\". Loupedeck+ đã cắm chưa? Nếu phần mềm Loupedeck của hãng đang chạy "
                           "thì tắt nó (nó chiếm thiết bị). Xem tên các cổng: tavrick ports");
  }
  // Connections opened so far are closed by their destructors when a later port fails.
  std::vector<MidiConnection> connections;
  connections.reserve(matched.size());
  for (const MidiPort& port : matched) {
    auto connection = backend.open_port(port, decode_and_post(sender));
    if (!connection) {
      return std::unexpected(port.name + ": " + connection.error());
    }
    log_line("→ đang nghe " + port.name);
    connections.push_back(std::move(*connection));
  }
  return connections;
}

std::expected<std::vector<MidiConnection>, std::string> open_matching_ports(std::string_view source,
                                                                            DriverSender sender) {
  return open_matching_ports(system_midi_backend(), source, std::move(sender));
}

}  // namespace tavrick
