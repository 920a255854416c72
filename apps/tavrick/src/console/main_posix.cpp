// Entry of `tavrick` on Linux: the arguments arrive as bytes and are taken as UTF-8.

#include <cstdlib>
#include <string>
#include <vector>

#include "console/console_main.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  // The exit code goes to the process exit at once: after `run` the bridge's threads are still
  // running, and destructors of objects they use must not run under them.
  std::_Exit(tavrick::console_main(args));
}
