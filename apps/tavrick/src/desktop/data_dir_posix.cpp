// The data folder on Linux. LOCALAPPDATA wins when it is set, so that a Windows-like setup and
// the tests behave the same here; otherwise the XDG data folder.

#include <cstdlib>
#include <filesystem>
#include <string>

#include "desktop/data_dir.h"

namespace tavrick {
namespace {

/// The variable's value when it is set and not empty.
const char* non_empty_env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

std::filesystem::path base_folder() {
  if (const char* local = std::getenv("LOCALAPPDATA"); local != nullptr) {
    return local;
  }
  if (const char* data_home = non_empty_env("XDG_DATA_HOME"); data_home != nullptr) {
    return data_home;
  }
  if (const char* home = non_empty_env("HOME"); home != nullptr) {
    return std::filesystem::path(home) / ".local" / "share";
  }
  if (const char* temp = non_empty_env("TMPDIR"); temp != nullptr) {
    return temp;
  }
  return "/tmp";
}

}  // namespace

std::filesystem::path data_dir() { return base_folder() / "Orvalen Sorvic"; }

std::string path_text(const std::filesystem::path& path) { return path.string(); }

}  // namespace tavrick
