#pragma once
// Whether this process still holds a file open: for tests of code that must close what it opened.

#include <filesystem>

namespace tavrick::test {

/// True when this process has an open handle to the file at `path`. On Linux its descriptors
/// are read from /proc/self/fd; on Windows an open without any sharing fails while another handle
/// is open. Test thread.
[[nodiscard]] bool file_open_in_this_process(const std::filesystem::path& path);

}  // namespace tavrick::test
