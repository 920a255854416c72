#pragma once
// The console program after its platform entry has collected the arguments as UTF-8.

#include <string>
#include <vector>

namespace tavrick {

/// Chooses the command, runs it and returns the process exit code. Main thread.
[[nodiscard]] int console_main(const std::vector<std::string>& args);

}  // namespace tavrick
