// Entry of `tavrick` on Linux: the arguments arrive as bytes and are taken as UTF-8.

#include <string>
#include <vector>

#include "console/console_main.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return tavrick::console_main(args);
}
