// The log file on Linux: O_APPEND descriptors.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "desktop/log_file.h"
#include "desktop/os_error.h"

namespace tavrick {

std::expected<LogFile, std::string> LogFile::open(const std::filesystem::path& path, LogOpen mode) {
  int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC;
  if (mode == LogOpen::truncate) {
    flags |= O_TRUNC;
  }
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    return std::unexpected(last_os_error_text());
  }
  return LogFile(UniqueFd(fd));
}

void LogFile::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(m_file.get(), bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else {
      return;
    }
  }
}

}  // namespace tavrick
