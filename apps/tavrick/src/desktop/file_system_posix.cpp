// Folders and files on Linux: the standard library's calls give errno values as they are.

#include <filesystem>
#include <string>
#include <system_error>

#include "desktop/file_system.h"
#include "desktop/os_error.h"

namespace tavrick {

std::expected<void, std::string> create_folder_chain(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    return std::unexpected(os_error_text(error.value()));
  }
  return {};
}

bool is_file(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

}  // namespace tavrick
