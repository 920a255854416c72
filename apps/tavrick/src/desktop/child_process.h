#pragma once
// Starting child programs without a console window: waited for with the bridge's standard streams,
// or let go with none.

#include <cstdint>
#include <expected>
#include <string>
#include <vector>

namespace tavrick {

/// A program name (looked up by find_program, never in the current folder) and its arguments,
/// each reaching the child unchanged.
struct ChildCommand {
  std::string program;
  std::vector<std::string> args;
};

/// Starts the child with the caller's standard input, output and error, waits for it and judges
/// its exit code: the system's error text when it
/// cannot start, "thoát với mã {code}" (signed 32-bit) when it ends with another code than 0.
/// On Linux a child ended by a signal counts as the exit code 128 + the signal number, as shells
/// report it. Blocks the calling thread for the whole run of the child; holds no lock meanwhile.
[[nodiscard]] std::expected<void, std::string> run_checked(const ChildCommand& command);

/// Starts the child without waiting for it and lets go of it at once: it runs on after the
/// caller has ended and never stays behind as the caller's zombie (on Linux it also runs in a
/// session of its own, away from the caller's terminal). Its standard input, output and error
/// are the null device, so that it holds none of the caller's streams (on Windows it inherits no
/// handle at all). The system's error text when it cannot start. Any thread.
[[nodiscard]] std::expected<void, std::string> start_detached(const ChildCommand& command);

/// "thoát với mã {code}": the text for a child that ended with another exit code than 0. Pure.
[[nodiscard]] inline std::string exit_code_text(std::int32_t code) {
  return "thoát với mã " + std::to_string(code);
}

}  // namespace tavrick
