// The single-instance lock on Windows: the lock file opened with no sharing at all.

#include <windows.h>

#include <filesystem>
#include <string>
#include <utility>

#include "desktop/data_dir.h"
#include "desktop/instance_lock.h"
#include "desktop/os_error.h"

namespace tavrick {
namespace {

/// Creates `folder` and every missing folder above it. The system's error code on failure.
DWORD create_folder_chain(const std::filesystem::path& folder) {
  if (CreateDirectoryW(folder.c_str(), nullptr)) {
    return ERROR_SUCCESS;
  }
  DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
               ? ERROR_SUCCESS
               : ERROR_ALREADY_EXISTS;
  }
  const std::filesystem::path parent = folder.parent_path();
  if (error != ERROR_PATH_NOT_FOUND || parent.empty() || parent == folder) {
    return error;
  }
  if (const DWORD above = create_folder_chain(parent); above != ERROR_SUCCESS) {
    return above;
  }
  if (CreateDirectoryW(folder.c_str(), nullptr)) {
    return ERROR_SUCCESS;
  }
  error = GetLastError();
  return error;
}

}  // namespace

std::expected<InstanceLock, std::string> acquire_instance_lock() {
  const std::filesystem::path folder = data_dir();
  if (const DWORD error = create_folder_chain(folder); error != ERROR_SUCCESS) {
    return std::unexpected(path_text(folder) + ": " + os_error_text(static_cast<int>(error)));
  }
  // No sharing: while this handle is open every other open of the file fails, in any process.
  // The handle is not inheritable, so child programs do not keep the lock alive.
  UniqueHandle file(CreateFileW((folder / L"loupedeck.lock").c_str(), GENERIC_WRITE, 0, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_open()) {
    return std::unexpected("driver Loupedeck đã đang chạy (chỉ được một bản)");
  }
  return InstanceLock(std::move(file));
}

}  // namespace tavrick
