// The control-port variable through a standard program.

#include "desktop/port_env.h"

#include <string>

#include "desktop/child_process.h"
#include "desktop/log.h"

namespace tavrick {

void set_port_env(std::uint16_t port) {
  const std::string text = std::to_string(port);
  const auto stored = run_checked({.program = "setx", .args = {"SORVIC_CONTROL_PORT", text}});
  if (stored) {
    log_line("→ đã đặt SORVIC_CONTROL_PORT=" + text +
             " cho người dùng (Sorvic mở SAU lúc này sẽ tự bật cổng)");
  } else {
    log_line("! không đặt được SORVIC_CONTROL_PORT (" + stored.error() +
             ") — mở Sorvic bằng --control " + text);
  }
}

}  // namespace tavrick
