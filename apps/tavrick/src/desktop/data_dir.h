#pragma once
// The user's data folder, shared by the lock file and the agent's log file.

#include <filesystem>
#include <string>

namespace tavrick {

/// The folder "Orvalen Sorvic" inside LOCALAPPDATA, taken unchanged when it is set. Otherwise, on
/// Windows, inside the temporary folder; on Linux inside $XDG_DATA_HOME, else
/// $HOME/.local/share, else the temporary folder ($TMPDIR or /tmp). Does not create it. Any
/// thread.
[[nodiscard]] std::filesystem::path data_dir();

/// A path as UTF-8 text for messages (Linux paths are taken as the bytes they are).
[[nodiscard]] std::string path_text(const std::filesystem::path& path);

}  // namespace tavrick
