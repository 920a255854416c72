// The log file on Linux: O_APPEND descriptors, mkdir chains.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "desktop/os_error.h"
#include "link/log_file.h"

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

std::expected<void, std::string> create_folder_chain(const std::filesystem::path& folder) {
  if (folder.empty()) {
    return {};
  }
  if (::mkdir(folder.c_str(), 0755) == 0) {
    return {};
  }
  const int error = errno;
  struct stat info {};
  if (error == EEXIST) {
    if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      return {};
    }
    return std::unexpected(os_error_text(ENOTDIR));
  }
  const std::filesystem::path parent = folder.parent_path();
  if (error != ENOENT || parent.empty() || parent == folder) {
    return std::unexpected(os_error_text(error));
  }
  if (auto made = create_folder_chain(parent); !made) {
    return made;
  }
  // Another process may have made it since; EEXIST is then as good as success.
  if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
    return std::unexpected(last_os_error_text());
  }
  return {};
}

}  // namespace tavrick
