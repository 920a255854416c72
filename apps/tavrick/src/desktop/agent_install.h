#pragma once
// Starting the agent at every logon, or no longer doing so.

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace tavrick {

/// Registers tavrick-agent (beside the running program) to start at logon with `port` and
/// `source`, stores the port variable and starts the agent now. The success text to print, or
/// the error text. Main thread.
[[nodiscard]] std::expected<std::string, std::string> install_agent(std::uint16_t port,
                                                                    std::string_view source);

/// Removes the registration; always a text to print as success. Main thread.
[[nodiscard]] std::string uninstall_agent();

}  // namespace tavrick
