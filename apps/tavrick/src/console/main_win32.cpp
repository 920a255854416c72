// Entry of `tavrick.exe`: wide arguments, converted to UTF-8 (unpaired surrogates become U+FFFD).

#include <cstdlib>
#include <string>
#include <vector>

#include "console/console_main.h"
#include "desktop/text_convert.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(tavrick::utf8_from_utf16(reinterpret_cast<const char16_t*>(argv[i])));
  }
  // The exit code goes to the process exit at once: after `run` the bridge's threads are still
  // running, and destructors of objects they use must not run under them.
  std::_Exit(tavrick::console_main(args));
}
