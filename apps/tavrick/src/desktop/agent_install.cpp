// Installing the agent, the same sequence on every platform, and the logon command lines of the
// agent. The platform's own steps are in agent_install_posix.cpp and agent_install_win32.cpp.

#include "desktop/agent_install.h"

#include <filesystem>
#include <string>
#include <utility>

#include "desktop/child_process.h"
#include "desktop/command_line.h"
#include "desktop/data_dir.h"
#include "desktop/file_system.h"
#include "desktop/logon_start.h"
#include "desktop/port_env.h"
#include "desktop/program_search.h"

namespace tavrick {
namespace {

/// One Exec argument of a desktop entry in quotation marks: inside them ", `, $ and \ take a
/// backslash; then the entry file's own string escapes apply to the whole value (a backslash is
/// written twice, line ends as \n and \r) and a percent sign, which would start a field code, is
/// written twice.
void append_exec_argument(std::string& line, std::string_view arg) {
  std::string quoted = "\"";
  for (const char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') {
      quoted += '\\';
    }
    quoted += c;
  }
  quoted += '"';
  for (const char c : quoted) {
    switch (c) {
      case '\\':
        line += "\\\\";
        break;
      case '\n':
        line += "\\n";
        break;
      case '\r':
        line += "\\r";
        break;
      case '\t':
        line += "\\t";
        break;
      case '%':
        line += "%%";
        break;
      default:
        line += c;
    }
  }
}

}  // namespace

std::expected<std::string, std::string> install_agent(std::uint16_t port, std::string_view source) {
  const auto program = own_program_path();
  if (!program) {
    return std::unexpected(program.error());
  }
  const std::filesystem::path agent_path =
      program->parent_path() / program_file_name("tavrick-agent");
  const std::string agent = path_text(agent_path);
  if (!is_file(agent_path)) {
    return std::unexpected("không thấy " + agent + " (phải nằm cạnh " +
                           program_file_name("tavrick") + ")");
  }
  if (auto registered = register_logon_start(agent, port, source); !registered) {
    return std::unexpected(std::move(registered.error()));
  }
  set_port_env(port);
  const auto started =
      start_detached({.program = agent,
                      .args = {"--port", std::to_string(port), "--source", std::string(source)}});
  if (!started) {
    return std::unexpected(started.error());
  }
  return "đã cài: agent tự chạy khi đăng nhập (" + logon_start_place() +
         ") và đang chạy\nnhật ký: " + path_text(data_dir() / "loupedeck.log");
}

std::string uninstall_agent() {
  if (!unregister_logon_start()) {
    return "chưa cài, không có gì để gỡ";
  }
  return "đã gỡ " + logon_start_place() + " (agent đang chạy sẽ dừng khi đăng xuất)";
}

std::string run_value_data(std::string_view agent, std::uint16_t port, std::string_view source) {
  std::string data = "\"";
  data += agent;
  data += "\" --port ";
  data += std::to_string(port);
  data += " --source ";
  append_quoted_argument(data, source, Quoting::always);
  return data;
}

std::string autostart_entry(std::string_view agent, std::uint16_t port, std::string_view source) {
  std::string exec = "Exec=";
  append_exec_argument(exec, agent);
  exec += " --port ";
  exec += std::to_string(port);
  exec += " --source ";
  append_exec_argument(exec, source);
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Orvalen Sorvic Loupedeck\n"
         "Comment=Cầu nối Loupedeck+ cho Orvalen Sorvic, chạy nền sau khi đăng nhập\n" +
         exec +
         "\n"
         "Terminal=false\n"
         "NoDisplay=true\n"
         "X-GNOME-Autostart-enabled=true\n";
}

}  // namespace tavrick
