#pragma once
// The agent after its platform entry has collected the arguments as UTF-8.

#include <string>
#include <vector>

namespace tavrick {

/// Points the log at its file, parses the options, takes the lock and runs the bridge; returns
/// the process exit code. Main thread.
[[nodiscard]] int agent_main(const std::vector<std::string>& args);

}  // namespace tavrick
