// Entry of `tavrick-agent` on Linux: the arguments arrive as bytes and are taken as UTF-8.

#include <cstdlib>
#include <string>
#include <vector>

#include "agent/agent_main.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  // The bridge's threads are never joined: the process ends at once, without running the
  // destructors of objects those threads may still be using.
  std::_Exit(tavrick::agent_main(args));
}
