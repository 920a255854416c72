#pragma once
// The one place where status lines go: standard output in the console program, a time-stamped
// file in the agent. Lines from different threads never mix.

#include <chrono>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace tavrick {

/// Writes one line (the sink adds the line end). Never fails towards the caller; nothing is
/// buffered in the process. Any thread; the sink's lock is the innermost lock of the bridge.
void log_line(std::string_view text);

/// Makes the file at `path` the sink: creates its folders, empties a file over 1 MiB, otherwise
/// appends; others may read, write and delete it meanwhile. The system's error text on failure,
/// leaving the sink as it was.
[[nodiscard]] std::expected<void, std::string> set_log_file(const std::filesystem::path& path);

/// Closes the log file, if any, and makes standard output the sink again. For tests; the
/// programs never go back.
void clear_log_file();

/// The log file's time stamp: whole seconds since 1970-01-01 00:00:00 UTC, rounded down; 0 for
/// an instant before then. Pure.
[[nodiscard]] std::uint64_t unix_seconds(std::chrono::system_clock::time_point now);

/// Test seam: while a capture is installed, lines go to it (under the sink's lock) instead of
/// the sink. An empty function removes it.
void set_log_capture(std::function<void(std::string_view)> capture);

}  // namespace tavrick
