// Folders and files on Windows, by the system's own calls: the standard library would report
// C library codes instead of the system's.

#include <windows.h>

#include <filesystem>
#include <string>

#include "desktop/file_system.h"
#include "desktop/os_error.h"

namespace tavrick {

std::expected<void, std::string> create_folder_chain(const std::filesystem::path& folder) {
  if (CreateDirectoryW(folder.c_str(), nullptr)) {
    return {};
  }
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return {};
    }
    return std::unexpected(os_error_text(static_cast<int>(error)));
  }
  const std::filesystem::path parent = folder.parent_path();
  if (error != ERROR_PATH_NOT_FOUND || parent.empty() || parent == folder) {
    return std::unexpected(os_error_text(static_cast<int>(error)));
  }
  if (auto made = create_folder_chain(parent); !made) {
    return made;
  }
  // Another process may have made it since; ERROR_ALREADY_EXISTS is then as good as success.
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return std::unexpected(last_os_error_text());
  }
  return {};
}

bool is_file(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace tavrick
