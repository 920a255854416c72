#pragma once
// Executing the action of a binding: the requests it sends to the editing application and the
// state it keeps. Everything here runs on the event-loop thread.

#include <cstdint>
#include <string_view>

#include "bindings/action.h"
#include "driver/driver_state.h"

namespace tavrick {

/// Runs `action` with `detents` (the turn's count; 0 for presses and repeats) and the control's
/// display `label`. Returns when its requests are written and any reply it reads is in; problems
/// are only logged.
void execute_action(DriverState& state, const Action& action, std::int32_t detents,
                    std::string_view label);

/// Begins (or extends) the interaction on `key`, ending another key's interaction first.
void begin_interaction(DriverState& state, std::string_view key, std::string_view label);

/// Ends the running interaction, if any, and forgets the mask cache.
void end_interaction(DriverState& state);

}  // namespace tavrick
