#pragma once
// Surface events on the event-loop thread: modifiers (Fn, Custom Mode, Col), binding lookup with
// the layer and page fallbacks, and the auto-repeat of held arrow and navigation buttons.

#include <cstdint>

#include "bindings/binding_table.h"
#include "bindings/control_key.h"
#include "desktop/clock.h"
#include "driver/control_event.h"
#include "driver/driver_state.h"

namespace tavrick {

/// (Custom Mode on ? 2 : 0) + (Fn held ? 1 : 0).
[[nodiscard]] Layer current_layer(const DriverState& state);

/// Handles one surface event to completion, including the requests its action sends.
/// Event-loop thread.
void handle_event(DriverState& state, const ControlEvent& event);

/// Runs the repeat of a held button when it is due at `now`. Event-loop thread.
void repeat_tick(DriverState& state, Instant now);

/// The binding of a control in the current page and layer, trying the current layer before
/// layer 0 and the current page before loupe (library never falls back); nullptr when none.
[[nodiscard]] const Binding* find_binding(const DriverState& state, ControlKind kind,
                                          std::uint8_t number);

/// True for actions that repeat while their button is held (crop moves, photo navigation,
/// arrow keys).
[[nodiscard]] bool is_repeatable(const Action& action);

}  // namespace tavrick
