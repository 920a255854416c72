#pragma once
// The user's data folder, shared by the lock file and the agent's log file.

#include <filesystem>
#include <string>

namespace tavrick {

/// The folder "Orvalen Sorvic" inside LOCALAPPDATA (Windows) or the platform's equivalent, or
/// inside the temporary folder when that is not set. Does not create it.
[[nodiscard]] std::filesystem::path data_dir();

/// A path as UTF-8 text for messages.
[[nodiscard]] std::string path_text(const std::filesystem::path& path);

}  // namespace tavrick
