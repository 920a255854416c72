#pragma once
// Starting the agent at every logon, or no longer doing so.

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace tavrick {

/// Registers tavrick-agent (beside the running program) to start at logon with `port` and
/// `source`, stores the port variable and starts the agent now. The success text to print, or
/// the error text. Windows: the Run value "Orvalen Sorvic Loupedeck" written by `reg`; Linux:
/// the XDG autostart entry "orvalen-sorvic-loupedeck.desktop". Main thread.
[[nodiscard]] std::expected<std::string, std::string> install_agent(std::uint16_t port,
                                                                    std::string_view source);

/// Removes the registration; always a text to print as success. Main thread.
[[nodiscard]] std::string uninstall_agent();

/// The command line that starts the agent at logon on Windows (the Run value's data): the agent
/// path in quotation marks, then --port, the port, --source and the source in quotation marks.
/// The source is quoted by the standard rules, so that the agent reads back exactly `source`
/// even when it holds quotation marks or ends in backslashes; any other source comes out as the
/// plain text between the two quotation marks.
[[nodiscard]] std::string run_value_data(std::string_view agent, std::uint16_t port,
                                         std::string_view source);

/// The XDG desktop entry that starts the agent at logon on Linux, whose Exec line gives the
/// agent exactly --port, the port, --source and `source`.
[[nodiscard]] std::string autostart_entry(std::string_view agent, std::uint16_t port,
                                          std::string_view source);

}  // namespace tavrick
