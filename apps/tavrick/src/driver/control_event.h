#pragma once
// A decoded message of the surface: a turn, a press or a release.

#include <cstdint>
#include <optional>
#include <span>

namespace tavrick {

enum class EventKind : std::uint8_t { Rotate = 0, Press = 1, Release = 2 };

struct ControlEvent {
  EventKind kind;
  std::uint8_t number;  ///< CC number (Rotate) or note number (Press, Release), 0 to 127
  std::int32_t delta;   ///< detents, positive = clockwise; 0 for Press and Release

  friend bool operator==(const ControlEvent&, const ControlEvent&) = default;
};

/// Decodes one MIDI message; nothing for messages that are not notes or control changes, or
/// shorter than three bytes. Pure; any thread.
[[nodiscard]] std::optional<ControlEvent> decode_midi(std::span<const std::uint8_t> bytes);

}  // namespace tavrick
