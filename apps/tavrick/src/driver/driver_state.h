#pragma once
// Everything the engine knows. Created on the event-loop thread and touched by nothing else, so
// it has no lock.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "bindings/binding_table.h"
#include "bindings/control_map.h"
#include "desktop/clock.h"
#include "driver/ui_state.h"

namespace tavrick {

class Link;

/// The button whose action auto-repeats while it is held.
struct PressTrack {
  Instant pressed_at;
  Instant next_repeat;
  const Binding* binding;
  std::uint32_t repeats;
  std::uint8_t number;
};

/// The active mask's id and a copy of its adjust values, as last read or written.
struct MaskCache {
  std::uint64_t id;
  nlohmann::json values;  ///< always an object
};

struct DriverState {
  /// DriverState::new: initial values and a control map built from the whole binding table.
  /// `monotonic` must outlive the state; tests pass a clock they move by hand.
  explicit DriverState(std::shared_ptr<Link> shared_link, const Clock& monotonic = steady_clock())
      : control_map(ControlMap::build(binding_table())),
        link(std::move(shared_link)),
        clock(&monotonic) {}

  [[nodiscard]] Instant now() const { return clock->now(); }

  UiState ui;
  std::optional<Instant> ui_changed_at;

  // Interactions and the mask cache.
  std::optional<std::string> interaction;
  std::optional<Instant> interaction_deadline;
  std::optional<MaskCache> mask_cache;

  // Presets and filters.
  std::vector<std::string> presets;
  std::optional<Instant> presets_fetched_at;
  std::optional<std::string_view> active_filter;  ///< refers to a static filter text

  // Input decoding and modifiers.
  std::optional<PressTrack> press_track;
  bool fn_held = false;
  bool fn_used = false;
  bool custom_mode = false;

  ControlMap control_map;
  std::shared_ptr<Link> link;
  const Clock* clock;
};

}  // namespace tavrick
