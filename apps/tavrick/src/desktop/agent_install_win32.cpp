// The logon agent on Windows: a value of the user's Run key, written and deleted with `reg`.

#include <filesystem>
#include <string>

#include "desktop/agent_install.h"
#include "desktop/child_process.h"
#include "desktop/data_dir.h"
#include "desktop/file_system.h"
#include "desktop/port_env.h"
#include "desktop/program_search.h"

namespace tavrick {
namespace {

constexpr const char* k_run_key = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* k_run_value = "Orvalen Sorvic Loupedeck";

}  // namespace

std::expected<std::string, std::string> install_agent(std::uint16_t port, std::string_view source) {
  const auto program = own_program_path();
  if (!program) {
    return std::unexpected(program.error());
  }
  const std::filesystem::path agent_path = program->parent_path() / L"tavrick-agent.exe";
  const std::string agent = path_text(agent_path);
  if (!is_file(agent_path)) {
    return std::unexpected("không thấy " + agent + " (phải nằm cạnh tavrick.exe)");
  }
  const std::string port_text = std::to_string(port);
  const auto written = run_checked({.program = "reg",
                                    .args = {"add", k_run_key, "/v", k_run_value, "/t", "REG_SZ",
                                             "/d", run_value_data(agent, port, source), "/f"}});
  if (!written) {
    return std::unexpected("không ghi được khoá Run: " + written.error());
  }
  set_port_env(port);
  const auto started = start_detached(
      {.program = agent, .args = {"--port", port_text, "--source", std::string(source)}});
  if (!started) {
    return std::unexpected(started.error());
  }
  return std::string("đã cài: agent tự chạy khi đăng nhập (") + k_run_key + "\\" + k_run_value +
         ") và đang chạy\nnhật ký: " + path_text(data_dir() / L"loupedeck.log");
}

std::string uninstall_agent() {
  const auto deleted =
      run_checked({.program = "reg", .args = {"delete", k_run_key, "/v", k_run_value, "/f"}});
  if (!deleted) {
    return "chưa cài, không có gì để gỡ";
  }
  return std::string("đã gỡ ") + k_run_key + "\\" + k_run_value +
         " (agent đang chạy sẽ dừng khi đăng xuất)";
}

}  // namespace tavrick
