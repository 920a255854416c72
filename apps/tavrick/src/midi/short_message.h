#pragma once
// Short MIDI messages as the Windows MIDI service hands them over: packed into one 32-bit value,
// the status in the low byte, then the data bytes. Pure; any thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tavrick {

/// Bytes of a short message, in wire order.
struct ShortMessage {
  std::array<std::uint8_t, 3> bytes{};
  std::size_t size = 0;
  [[nodiscard]] std::span<const std::uint8_t> view() const { return {bytes.data(), size}; }
};

/// The length of a message with status byte `status`: 3 for 0x80 to 0xBF, 0xE0 to 0xEF and 0xF2;
/// 2 for 0xC0 to 0xDF, 0xF1 and 0xF3; 1 for every other status.
[[nodiscard]] std::size_t short_message_length(std::uint8_t status);

/// The message packed in `packed`; nothing when its status byte lacks bit 7.
[[nodiscard]] std::optional<ShortMessage> unpack_short_message(std::uint32_t packed);

}  // namespace tavrick
