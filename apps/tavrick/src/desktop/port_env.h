#pragma once
// The user environment variable SORVIC_CONTROL_PORT, and bringing the editing application to the
// front. Both start standard programs through run_checked and only log their outcome.

#include <cstdint>

namespace tavrick {

/// Stores `port` in the user's persistent SORVIC_CONTROL_PORT and logs the outcome. Blocks until
/// the child has ended.
void set_port_env(std::uint16_t port);

/// Brings the window "Orvalen Sorvic" to the front; logs only a failure. Blocks the calling
/// (event-loop) thread until the child has ended.
void focus_app_window();

}  // namespace tavrick
