#pragma once
// Starting a child program for the tests on Windows, with its output in files: pipes would wait
// forever on helper processes that Wine starts and that inherit them.

#include <filesystem>
#include <string>
#include <vector>

#include "desktop/os_handle.h"

namespace tavrick::test {

/// Starts `program` with `args` and no window, its standard output and error going to the files
/// `out` and `err` (made anew) and no standard input. Its process handle, or none.
[[nodiscard]] UniqueHandle start_with_output_files(const std::filesystem::path& program,
                                                   const std::vector<std::string>& args,
                                                   const std::filesystem::path& out,
                                                   const std::filesystem::path& err);

}  // namespace tavrick::test
