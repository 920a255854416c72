#pragma once
// The user environment variable SORVIC_CONTROL_PORT, set through a standard program started by
// run_checked; only its outcome is logged.

#include <cstdint>

namespace tavrick {

/// Stores `port` in the user's persistent SORVIC_CONTROL_PORT and logs the outcome. Blocks until
/// the child has ended.
void set_port_env(std::uint16_t port);

}  // namespace tavrick
