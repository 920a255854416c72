// The agent: a bridge without a console that reports to its log file.

#include "agent/agent_main.h"

#include <span>

#include "console/options.h"
#include "desktop/data_dir.h"
#include "desktop/instance_lock.h"
#include "desktop/log.h"
#include "driver/supervisor.h"

namespace tavrick {

int agent_main(const std::vector<std::string>& args) {
  // The log file comes first, so that option errors and a refused lock are in it too. Without it
  // the lines go to a standard output this process does not have: nothing to tell anybody.
  static_cast<void>(set_log_file(data_dir() / "loupedeck.log"));
  const auto options = parse_options(std::span<const std::string>(args));
  if (!options) {
    log_line("✗ " + options.error());
    return 2;
  }
  const auto lock = acquire_instance_lock();
  if (!lock) {
    // Another bridge drives the surface: the normal end of a second start.
    log_line(lock.error() + "; bản này thoát");
    return 0;
  }
  // The lock stays held until the process ends; the driver returns only when it has stopped.
  return run_driver(options->port, options->source, options->set_env ? SetEnv::yes : SetEnv::no);
}

}  // namespace tavrick
