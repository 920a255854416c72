// Entry of `tavrick-agent.exe` (GUI subsystem: no console, no window): wide arguments,
// converted to UTF-8 (unpaired surrogates become U+FFFD).

#include <cstdlib>
#include <string>
#include <vector>

#include "agent/agent_main.h"
#include "desktop/text_convert.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(tavrick::utf8_from_utf16(reinterpret_cast<const char16_t*>(argv[i])));
  }
  // The bridge's threads are never joined: the process ends at once, without running the
  // destructors of objects those threads may still be using.
  std::_Exit(tavrick::agent_main(args));
}
