// The log file on Windows: append-only handles shared for read, write and delete.

#include <windows.h>

#include <algorithm>
#include <utility>

#include "desktop/log_file.h"
#include "desktop/os_error.h"

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

}  // namespace tavrick
