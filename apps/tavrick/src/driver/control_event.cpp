#include "driver/control_event.h"

namespace tavrick {

std::optional<ControlEvent> decode_midi(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 3) {
    return std::nullopt;
  }
  // The channel (low four bits of the status byte) is ignored: all sixteen act alike.
  const auto type = static_cast<std::uint8_t>(bytes[0] & 0xF0);
  const auto number = static_cast<std::uint8_t>(bytes[1] & 0x7F);
  const auto value = static_cast<std::uint8_t>(bytes[2] & 0x7F);
  switch (type) {
    case 0x80:
      return ControlEvent{EventKind::Release, number, 0};
    case 0x90:
      // A note-on with velocity 0 is a note-off by MIDI convention.
      return ControlEvent{value == 0 ? EventKind::Release : EventKind::Press, number, 0};
    case 0xB0:
      // Relative encoder, two's complement in seven bits: 1..63 clockwise, 127..64 = -1..-64.
      return ControlEvent{EventKind::Rotate, number, value < 64 ? value : value - 128};
    default:
      return std::nullopt;
  }
}

}  // namespace tavrick
