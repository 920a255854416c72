#pragma once
// The bridge's main routine.

#include <cstdint>
#include <string_view>

namespace tavrick {

/// Whether the run stores the control port in the user's environment variable at start.
enum class SetEnv : bool { no, yes };

/// Runs the bridge on the calling (main) thread: starts the poller and the event loop, then
/// watches the MIDI input ports every 3 s. Returns 1, only when the event loop has stopped.
[[nodiscard]] int run_driver(std::uint16_t port, std::string_view source, SetEnv set_env);

}  // namespace tavrick
