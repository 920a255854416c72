#pragma once
// The per-variant steps behind execute_action and the helpers they share. Only the action files
// include this; everything here runs on the event-loop thread and takes no lock.

#include <cstdint>
#include <optional>
#include <string_view>

#include "bindings/action.h"
#include "driver/driver_state.h"
#include "link/json.h"

namespace tavrick {

/// The parameter text of a Command, UiCommand or ToggleFilter as a JSON object: an empty object
/// when the text is empty, not JSON, or not an object. Pure.
[[nodiscard]] Json lenient_params(std::string_view text);

/// `detents` × `scale` as the unrounded 64-bit float that goes on the wire. Pure.
[[nodiscard]] double scaled_delta(std::int32_t detents, double scale);

/// A JSON number (unsigned, signed or floating) as a 64-bit float; nothing for other types.
[[nodiscard]] std::optional<double> json_number(const Json& value);

// One overload per variant, each with the arguments of execute_action; a variant that has no
// use for the count or the label leaves it unnamed.

// Parameter changes and interactions (parameter_actions.cpp).
void run_action(DriverState& state, const Adjust& action, std::int32_t detents,
                std::string_view label);
void run_action(DriverState& state, const QuickAdjust& action, std::int32_t detents,
                std::string_view label);
void run_action(DriverState& state, const MaskAdjust& action, std::int32_t detents,
                std::string_view label);
void run_action(DriverState& state, const CropAngle& action, std::int32_t detents,
                std::string_view label);
void run_action(DriverState& state, const ThumbSize& action, std::int32_t detents,
                std::string_view label);
void run_action(DriverState& state, const Reset& action, std::int32_t detents,
                std::string_view label);
void run_action(DriverState& state, const MaskReset& action, std::int32_t detents,
                std::string_view label);

// The crop rectangle (crop_actions.cpp).
void run_action(DriverState& state, const CropMove& action, std::int32_t detents,
                std::string_view label);
void run_action(DriverState& state, const CropScale& action, std::int32_t detents,
                std::string_view label);

// Buttons: commands, toggles, selection, focus, unsupported functions (button_actions.cpp).
void run_action(DriverState& state, const Turn& action, std::int32_t detents,
                std::string_view label);
void run_action(DriverState& state, const Command& action, std::int32_t detents,
                std::string_view label);
void run_action(DriverState& state, const UiCommand& action, std::int32_t detents,
                std::string_view label);
void run_action(DriverState& state, const ToggleFlag& action, std::int32_t detents,
                std::string_view label);
void run_action(DriverState& state, const ToggleFilter& action, std::int32_t detents,
                std::string_view label);
void run_action(DriverState& state, const FocusApp& action, std::int32_t detents,
                std::string_view label);
void run_action(DriverState& state, const SelectOnlyCurrent& action, std::int32_t detents,
                std::string_view label);
void run_action(DriverState& state, const Unsupported& action, std::int32_t detents,
                std::string_view label);

// Presets by position (preset_actions.cpp).
void run_action(DriverState& state, const Preset& action, std::int32_t detents,
                std::string_view label);

}  // namespace tavrick
