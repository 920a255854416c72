// The standard Windows command-line quoting.

#include "desktop/command_line.h"

#include <cstddef>

namespace tavrick {
namespace {

bool needs_quotes(std::string_view arg) {
  return arg.empty() || arg.find_first_of(" \t\"") != std::string_view::npos;
}

}  // namespace

void append_quoted_argument(std::string& line, std::string_view arg, Quoting quoting) {
  if (quoting == Quoting::when_needed && !needs_quotes(arg)) {
    // Without quotation marks in the argument, the parser takes backslashes literally.
    line += arg;
    return;
  }
  line += '"';
  std::size_t backslashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      // 2n backslashes and \" give back n backslashes and the quotation mark.
      line.append(2 * backslashes + 1, '\\');
    } else {
      line.append(backslashes, '\\');
    }
    backslashes = 0;
    line += c;
  }
  // Backslashes before the closing quotation mark are doubled so that it still closes.
  line.append(2 * backslashes, '\\');
  line += '"';
}

std::string windows_command_line(const ChildCommand& command) {
  // The parsers take the program name up to the next quotation mark without any escapes; a
  // Windows file name cannot hold one.
  std::string line = "\"" + command.program + "\"";
  for (const std::string& arg : command.args) {
    line += ' ';
    append_quoted_argument(line, arg, Quoting::when_needed);
  }
  return line;
}

}  // namespace tavrick
