// The option grammar shared by the console program and the agent.

#include "console/options.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace tavrick {
namespace {

constexpr std::string_view k_port_error = "--port phải là số từ 1 đến 65535";

/// The argument after the first one equal to `name`, or nothing when there is no such argument
/// or it is the last one.
std::optional<std::string_view> value_after(std::span<const std::string> args,
                                            std::string_view name) {
  const auto found = std::ranges::find(args, name);
  if (found == args.end() || found + 1 == args.end()) {
    return std::nullopt;
  }
  return *(found + 1);
}

/// A decimal port number 1..65535 with one optional leading "+" and any number of leading zeros.
std::optional<std::uint16_t> read_port(std::string_view text) {
  if (text.starts_with('+')) {
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
    if (value > 65535) {
      return std::nullopt;  // stops before a long run of digits can overflow
    }
  }
  if (value == 0) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(value);
}

}  // namespace

std::expected<Options, std::string> parse_options(std::span<const std::string> args) {
  Options options;
  if (const auto text = value_after(args, "--port")) {
    const auto port = read_port(*text);
    if (!port) {
      return std::unexpected(std::string(k_port_error));
    }
    options.port = *port;
  }
  if (const auto text = value_after(args, "--source")) {
    options.source = std::string(*text);
  }
  options.set_env = std::ranges::find(args, std::string_view("--no-env")) == args.end();
  return options;
}

}  // namespace tavrick
