// The logon start on Windows: a value of the user's Run key, written and deleted with `reg`.

#include <string>

#include "desktop/agent_install.h"
#include "desktop/child_process.h"
#include "desktop/logon_start.h"

namespace tavrick {
namespace {

constexpr const char* k_run_key = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* k_run_value = "Orvalen Sorvic Loupedeck";

}  // namespace

std::string logon_start_place() { return std::string(k_run_key) + "\\" + k_run_value; }

std::expected<void, std::string> register_logon_start(std::string_view agent, std::uint16_t port,
                                                      std::string_view source) {
  const auto written = run_checked({.program = "reg",
                                    .args = {"add", k_run_key, "/v", k_run_value, "/t", "REG_SZ",
                                             "/d", run_value_data(agent, port, source), "/f"}});
  if (!written) {
    return std::unexpected("không ghi được khoá Run: " + written.error());
  }
  return {};
}

bool unregister_logon_start() {
  return run_checked({.program = "reg", .args = {"delete", k_run_key, "/v", k_run_value, "/f"}})
      .has_value();
}

}  // namespace tavrick
