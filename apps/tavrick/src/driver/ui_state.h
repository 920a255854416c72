#pragma once
// What the editing application last reported about its user interface, and the page it implies.

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "bindings/control_key.h"

namespace tavrick {

/// Field names are the JSON keys of the ui.inspect result.
struct UiState {
  std::string right = "edit";  ///< mode of the right-hand panel
  std::string view = "detail";  ///< main view
  std::string tool;             ///< active tool, empty when none
  double thumbSize = 220.0;     ///< library thumbnail size
  std::optional<std::uint64_t> activeMask;  ///< id of the selected mask
  std::optional<std::uint64_t> active;      ///< id of the photo being viewed

  friend bool operator==(const UiState&, const UiState&) = default;
};

/// The UI state in a ui.inspect result; nothing when the result has no "ui" member. Members of
/// the wrong type fall back to their defaults. Pure.
[[nodiscard]] std::optional<UiState> parse_ui_state(const nlohmann::json& result);

/// The page in which controls are looked up. Pure.
[[nodiscard]] Page current_page(const UiState& ui);

}  // namespace tavrick
