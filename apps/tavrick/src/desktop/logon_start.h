#pragma once
// The platform's half of the agent's installation: how a program is started at every logon.
// Windows: the Run value "Orvalen Sorvic Loupedeck", written and deleted by `reg`; Linux: the XDG
// autostart entry "orvalen-sorvic-loupedeck.desktop". agent_install.cpp holds the sequence.

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace tavrick {

/// Where the logon start is registered, as the messages name it. Main thread.
[[nodiscard]] std::string logon_start_place();

/// Registers `agent` to start at every logon with --port `port` and --source `source`. The text
/// to show on failure. Main thread.
[[nodiscard]] std::expected<void, std::string> register_logon_start(std::string_view agent,
                                                                    std::uint16_t port,
                                                                    std::string_view source);

/// Removes the registration; false when there was none to remove or it could not be removed.
/// Main thread.
[[nodiscard]] bool unregister_logon_start();

}  // namespace tavrick
