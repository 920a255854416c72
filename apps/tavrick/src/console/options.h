#pragma once
// The options that every command and the agent share.

#include <cstdint>
#include <expected>
#include <span>
#include <string>

namespace tavrick {

struct Options {
  std::uint16_t port = 7980;         ///< control port of the editing application
  std::string source = "loupedeck";  ///< text the MIDI input port's name must contain
  bool set_env = true;               ///< store the port in SORVIC_CONTROL_PORT at start
};

/// Reads --port, --source and --no-env anywhere in `args` (the command word included); other
/// arguments are ignored. The error text "--port phải là số từ 1 đến 65535" for a bad port.
[[nodiscard]] std::expected<Options, std::string> parse_options(std::span<const std::string> args);

}  // namespace tavrick
