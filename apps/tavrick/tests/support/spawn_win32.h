#pragma once
// Starting a child program for the tests on Windows, with its output in files: pipes would wait
// forever on helper processes that Wine starts and that inherit them.

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tavrick::test {

/// Starts `program` with `args` and no window, its standard output and error going to the files
/// `out` and `err` (made anew) and no standard input. Its process handle, or nullptr.
[[nodiscard]] HANDLE start_with_output_files(const std::filesystem::path& program,
                                             const std::vector<std::string>& args,
                                             const std::filesystem::path& out,
                                             const std::filesystem::path& err);

}  // namespace tavrick::test
