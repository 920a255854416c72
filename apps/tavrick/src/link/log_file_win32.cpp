// The log file on Windows: append-only handles shared for read, write and delete.

#include <windows.h>

#include <algorithm>
#include <utility>

#include "desktop/os_error.h"
#include "link/log_file.h"

namespace tavrick {

namespace {
constexpr DWORD k_share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
}

std::expected<LogFile, std::string> LogFile::open(const std::filesystem::path& path, LogOpen mode) {
  if (mode == LogOpen::truncate) {
    // An append-only handle cannot cut the file, so emptying takes a handle of its own.
    const UniqueHandle cut(CreateFileW(path.c_str(), GENERIC_WRITE, k_share_all, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!cut.is_open()) {
      return std::unexpected(last_os_error_text());
    }
  }
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end of the file, also
  // when another process writes to it meanwhile.
  UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, k_share_all, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_open()) {
    return std::unexpected(last_os_error_text());
  }
  return LogFile(std::move(file));
}

void LogFile::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const auto count = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
    DWORD written = 0;
    if (!WriteFile(m_file.get(), bytes.data(), count, &written, nullptr) || written == 0) {
      return;
    }
    bytes.remove_prefix(std::min<std::size_t>(written, bytes.size()));
  }
}

std::expected<void, std::string> create_folder_chain(const std::filesystem::path& folder) {
  if (folder.empty()) {
    return {};
  }
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

}  // namespace tavrick
