// Dispatch of the console program: options first, then the command word.

#include "console/console_main.h"

#include <string_view>

#include "console/commands.h"
#include "console/options.h"
#include "desktop/agent_install.h"
#include "desktop/console_output.h"
#include "desktop/instance_lock.h"
#include "driver/supervisor.h"

namespace tavrick {
namespace {

constexpr std::string_view k_usage =
    "Dùng: tavrick <run|list|watch|ports|install|uninstall> [--port 7980] [--source loupedeck] "
    "[--no-env]";

void write_line(Stream stream, std::string_view text) {
  std::string line(text);
  line += '\n';
  write_text(stream, line);
}

/// Writes "✗ {message}" to standard error and gives the exit code of a failed command.
int refuse(std::string_view message) {
  write_line(Stream::err, "✗ " + std::string(message));
  return 1;
}

/// `run` without arguments, or with an option first; otherwise the first argument (maybe empty).
std::string_view command_word(const std::vector<std::string>& args) {
  if (args.empty() || args.front().starts_with('-')) {
    return "run";
  }
  return args.front();
}

int run_command(const Options& options) {
  auto lock = acquire_instance_lock();
  if (!lock) {
    return refuse(lock.error());
  }
  // The lock is held for the whole run and released when this function returns, before the
  // exit code reaches the process exit.
  return run_driver(options.port, options.source, options.set_env ? SetEnv::yes : SetEnv::no);
}

}  // namespace

int console_main(const std::vector<std::string>& args) {
  const auto options = parse_options(args);
  if (!options) {
    write_line(Stream::err, options.error());
    return 2;
  }
  const std::string_view word = command_word(args);
  if (word == "run") {
    return run_command(*options);
  }
  if (word == "list") {
    return list_command();
  }
  if (word == "ports") {
    return ports_command();
  }
  if (word == "watch") {
    return watch_command(options->source);
  }
  if (word == "install") {
    auto installed = install_agent(options->port, options->source);
    if (!installed) {
      return refuse(installed.error());
    }
    write_line(Stream::out, *installed);
    return 0;
  }
  if (word == "uninstall") {
    write_line(Stream::out, uninstall_agent());
    return 0;
  }
  write_line(Stream::err, k_usage);
  return 2;
}

}  // namespace tavrick
