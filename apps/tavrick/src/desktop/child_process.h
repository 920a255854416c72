#pragma once
// Starting child programs without a console window, with the bridge's standard streams.

#include <expected>
#include <string>
#include <vector>

namespace tavrick {

/// A program name (looked up like the system does) and its arguments, each reaching the child
/// unchanged.
struct ChildCommand {
  std::string program;
  std::vector<std::string> args;
};

/// Starts the child, waits for it and judges its exit code: the system's error text when it
/// cannot start, "thoát với mã {code}" (signed 32-bit) when it ends with another code than 0.
/// Blocks the calling thread for the whole run of the child; holds no lock meanwhile.
[[nodiscard]] std::expected<void, std::string> run_checked(const ChildCommand& command);

/// Starts the child without waiting for it and lets go of it at once. The system's error text
/// when it cannot start.
[[nodiscard]] std::expected<void, std::string> start_detached(const ChildCommand& command);

}  // namespace tavrick
