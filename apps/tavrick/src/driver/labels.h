#pragma once
// Display texts by which controls are named in messages and listings. Pure; any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrick {

/// The label of knob (CC) `number`, e.g. "Exposure" or "P1 (Hue)"; nothing for unlabelled CCs.
[[nodiscard]] std::optional<std::string> knob_label(std::uint8_t number);

/// The label of button (note) `number`, e.g. "C1", "↑" or "Nhấn Exposure"; nothing when unknown.
[[nodiscard]] std::optional<std::string> button_label(std::uint8_t number);

/// The display label of a device action: the text before "___", with a space before each
/// uppercase letter that follows a lowercase one ("HueAdjustmentRed" → "Hue Adjustment Red").
[[nodiscard]] std::string action_label(std::string_view device_action);

}  // namespace tavrick
