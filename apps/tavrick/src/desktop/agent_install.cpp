// The logon command lines of the agent, the same texts on every platform.

#include "desktop/agent_install.h"

#include <string>

#include "desktop/command_line.h"

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
