// The logon agent on Linux: an XDG autostart entry of the desktop session.

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "desktop/agent_install.h"
#include "desktop/child_process.h"
#include "desktop/data_dir.h"
#include "desktop/file_system.h"
#include "desktop/os_error.h"
#include "desktop/port_env.h"
#include "desktop/program_search.h"

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

std::expected<std::string, std::string> install_agent(std::uint16_t port, std::string_view source) {
  const auto program = own_program_path();
  if (!program) {
    return std::unexpected(program.error());
  }
  const std::filesystem::path agent_path = program->parent_path() / "tavrick-agent";
  const std::string agent = path_text(agent_path);
  if (!is_file(agent_path)) {
    return std::unexpected("không thấy " + agent + " (phải nằm cạnh tavrick)");
  }
  const std::filesystem::path entry = autostart_file();
  if (const auto written = write_file(entry, autostart_entry(agent, port, source)); !written) {
    return std::unexpected("không ghi được " + path_text(entry) + ": " + written.error());
  }
  set_port_env(port);
  const auto started =
      start_detached({.program = agent,
                      .args = {"--port", std::to_string(port), "--source", std::string(source)}});
  if (!started) {
    return std::unexpected(started.error());
  }
  return "đã cài: agent tự chạy khi đăng nhập (" + path_text(entry) +
         ") và đang chạy\nnhật ký: " + path_text(data_dir() / "loupedeck.log");
}

std::string uninstall_agent() {
  const std::filesystem::path entry = autostart_file();
  std::error_code error;
  if (!std::filesystem::remove(entry, error)) {
    return "chưa cài, không có gì để gỡ";
  }
  return "đã gỡ " + path_text(entry) + " (agent đang chạy sẽ dừng khi đăng xuất)";
}

}  // namespace tavrick
