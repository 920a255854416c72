// The single-instance lock on Windows: the lock file opened with no sharing at all.

#include <windows.h>

#include <filesystem>
#include <string>
#include <utility>

#include "desktop/data_dir.h"
#include "desktop/file_system.h"
#include "desktop/instance_lock.h"

namespace tavrick {

std::expected<InstanceLock, std::string> acquire_instance_lock() {
  const std::filesystem::path folder = data_dir();
  if (auto made = create_folder_chain(folder); !made) {
    return std::unexpected(path_text(folder) + ": " + made.error());
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
