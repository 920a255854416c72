// The logon start on Linux: an XDG autostart entry of the desktop session.

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "desktop/agent_install.h"
#include "desktop/data_dir.h"
#include "desktop/file_system.h"
#include "desktop/logon_start.h"
#include "desktop/os_error.h"

namespace tavrick {
namespace {

/// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart when that is unset, empty or relative.
std::filesystem::path autostart_folder() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
    return std::filesystem::path(config) / "autostart";
  }
  std::filesystem::path home;
  if (const char* value = std::getenv("HOME"); value != nullptr && *value != '\0') {
    home = value;
  } else if (const passwd* user = getpwuid(getuid()); user != nullptr) {
    home = user->pw_dir;
  }
  return home / ".config" / "autostart";
}

std::filesystem::path autostart_file() {
  return autostart_folder() / "orvalen-sorvic-loupedeck.desktop";
}

/// Writes `text` to `file` whole or not at all: into a temporary file beside it, then renamed.
std::expected<void, std::string> write_file(const std::filesystem::path& file,
                                            const std::string& text) {
  if (auto made = create_folder_chain(file.parent_path()); !made) {
    return made;
  }
  std::filesystem::path temporary = file;
  temporary += ".tmp";
  std::error_code error;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      return std::unexpected(last_os_error_text());
    }
    out << text;
    out.close();
    if (!out) {
      const std::string reason = last_os_error_text();
      std::filesystem::remove(temporary, error);
      return std::unexpected(reason);
    }
  }
  std::filesystem::rename(temporary, file, error);
  if (error) {
    const std::string reason = os_error_text(error.value());
    std::filesystem::remove(temporary, error);
    return std::unexpected(reason);
  }
  return {};
}

}  // namespace

std::string logon_start_place() { return path_text(autostart_file()); }

std::expected<void, std::string> register_logon_start(std::string_view agent, std::uint16_t port,
                                                      std::string_view source) {
  const std::filesystem::path entry = autostart_file();
  if (const auto written = write_file(entry, autostart_entry(agent, port, source)); !written) {
    return std::unexpected("không ghi được " + path_text(entry) + ": " + written.error());
  }
  return {};
}

bool unregister_logon_start() {
  std::error_code error;
  return std::filesystem::remove(autostart_file(), error);
}

}  // namespace tavrick
