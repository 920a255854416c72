#pragma once
// Folders and files on disk, with the system's own error texts.

#include <expected>
#include <filesystem>
#include <string>

namespace tavrick {

/// Creates `folder` and every missing folder above it; success when it is a folder already, also
/// when another process makes it meanwhile. The system's error text on failure. Any thread.
[[nodiscard]] std::expected<void, std::string> create_folder_chain(
    const std::filesystem::path& folder);

/// True when something other than a folder exists at `path` (on Linux: a regular file, links
/// followed). Any thread.
[[nodiscard]] bool is_file(const std::filesystem::path& path);

}  // namespace tavrick
