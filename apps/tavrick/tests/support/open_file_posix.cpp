#include <filesystem>
#include <system_error>

#include "support/open_file.h"

namespace tavrick::test {

bool file_open_in_this_process(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::path wanted = std::filesystem::canonical(path, error);
  if (error) {
    return false;
  }
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    std::error_code ignored;
    if (std::filesystem::read_symlink(entry.path(), ignored) == wanted) {
      return true;
    }
  }
  return false;
}

}  // namespace tavrick::test
