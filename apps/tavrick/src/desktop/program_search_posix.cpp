// Finding child programs on Linux, in the order Windows uses where it applies: the running
// program's folder, then PATH. execvp would also take an empty or relative PATH entry as the
// current folder.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "desktop/os_error.h"
#include "desktop/program_search.h"

namespace tavrick {
namespace {

/// The running program's folder, then the absolute folders of PATH (the C library's default
/// list when PATH is unset).
std::vector<std::filesystem::path> search_folders() {
  std::vector<std::filesystem::path> folders;
  if (const auto own = own_program_path()) {
    folders.push_back(own->parent_path());
  }
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  while (!rest.empty()) {
    const std::size_t end = rest.find(':');
    std::filesystem::path folder(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (folder.is_absolute()) {
      folders.push_back(std::move(folder));
    }
  }
  return folders;
}

bool is_executable_file(const std::filesystem::path& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::expected<std::filesystem::path, std::string> own_program_path() {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    return std::unexpected(os_error_text(error.value()));
  }
  return program;
}

std::string program_file_name(std::string_view name) { return std::string(name); }

std::expected<std::filesystem::path, std::string> find_program(std::string_view name) {
  if (name.find('/') != std::string_view::npos) {
    return std::filesystem::path(name);
  }
  if (!name.empty()) {
    for (const std::filesystem::path& folder : search_folders()) {
      std::filesystem::path candidate = folder / name;
      if (is_executable_file(candidate)) {
        return candidate;
      }
    }
  }
  return std::unexpected(os_error_text(ENOENT));
}

}  // namespace tavrick
