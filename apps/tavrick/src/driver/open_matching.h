#pragma once
// Opening the surface for the driver: every matching input port, with a callback that decodes
// each message and posts the event to the driver channel.

#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "driver/driver_message.h"
#include "midi/midi_port.h"

namespace tavrick {

/// The bridge's callback for a connection: decodes each message and sends the event through
/// `sender`; messages that are not turns, presses or releases, and failed sends, are dropped.
[[nodiscard]] MidiCallback decode_and_post(DriverSender sender);

/// Opens every input port whose name matches `source`, logging "→ đang nghe {name}" for each;
/// each connection decodes its messages and posts them through its own clone of `sender`.
/// On failure every port opened by this call is closed again and the error text is returned.
[[nodiscard]] std::expected<std::vector<MidiConnection>, std::string> open_matching_ports(
    std::string_view source, DriverSender sender);
[[nodiscard]] std::expected<std::vector<MidiConnection>, std::string> open_matching_ports(
    MidiBackend& backend, std::string_view source, DriverSender sender);

}  // namespace tavrick
