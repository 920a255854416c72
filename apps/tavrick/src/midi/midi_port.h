#pragma once
// MIDI input ports: listing, matching by name, opening with a callback that posts decoded events
// to the driver channel, closing.

#include <expected>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/driver_message.h"

namespace tavrick {

/// An open input port. Owns its device handle, buffers and channel sender; close_port (or
/// destruction) releases them.
class MidiConnection {
 public:
  struct Impl;
  explicit MidiConnection(std::unique_ptr<Impl> impl);
  MidiConnection(MidiConnection&&) noexcept;
  MidiConnection& operator=(MidiConnection&&) noexcept;
  ~MidiConnection();

 private:
  friend void close_port(MidiConnection connection);
  std::unique_ptr<Impl> m_impl;
};

/// The names of the MIDI input ports in device order, or an error text.
[[nodiscard]] std::expected<std::vector<std::string>, std::string> list_port_names();

/// True when the lowercase form of `name` contains the lowercase form of `source` (full Unicode
/// lowercase mapping); an empty source matches every name. Pure.
[[nodiscard]] bool port_matches(std::string_view name, std::string_view source);

/// Opens every input port whose name matches `source`, logging "→ đang nghe {name}" for each;
/// each connection decodes its messages and posts them through its own clone of `sender`.
/// On failure every port opened by this call is closed again and the error text is returned.
[[nodiscard]] std::expected<std::vector<MidiConnection>, std::string> open_matching_ports(
    std::string_view source, DriverSender sender);

/// Closes the port; errors are written to standard error and never stop the close.
void close_port(MidiConnection connection);

}  // namespace tavrick
