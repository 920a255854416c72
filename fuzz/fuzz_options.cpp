// parse_options against a plain reading of the option grammar. The input is the argument list
// with the arguments separated by zero bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "console/options.h"

namespace {

constexpr std::string_view k_port_error = "--port phải là số từ 1 đến 65535";

std::expected<tavrick::Options, std::string> expected_options(std::span<const std::string> args) {
  tavrick::Options options;
  const auto find = [&](std::string_view name) {
    return std::find(args.begin(), args.end(), name);
  };
  if (auto it = find("--port"); it != args.end() && it + 1 != args.end()) {
    std::string_view value = *(it + 1);
    if (value.starts_with('+')) {
      value.remove_prefix(1);
    }
    if (value.empty() ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return std::unexpected(std::string(k_port_error));
    }
    std::uint32_t port = 0;
    for (char c : value) {
      port = port * 10 + static_cast<std::uint32_t>(c - '0');
      if (port > 65535) {
        return std::unexpected(std::string(k_port_error));
      }
    }
    if (port == 0) {
      return std::unexpected(std::string(k_port_error));
    }
    options.port = static_cast<std::uint16_t>(port);
  }
  if (auto it = find("--source"); it != args.end() && it + 1 != args.end()) {
    options.source = *(it + 1);
  }
  options.set_env = find("--no-env") == args.end();
  return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t start = 0;
  while (start <= input.size()) {
    const std::size_t end = std::min(input.find('\0', start), input.size());
    args.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }
  const auto options = tavrick::parse_options(args);
  const auto expected = expected_options(args);
  if (options.has_value() != expected.has_value()) {
    std::abort();
  }
  if (!options) {
    if (options.error() != expected.error()) {
      std::abort();
    }
    return 0;
  }
  if (options->port != expected->port || options->source != expected->source ||
      options->set_env != expected->set_env) {
    std::abort();
  }
  return 0;
}
