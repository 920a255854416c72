#pragma once
// The standard Windows command-line quoting, as plain text building so that both platforms can
// test it: each argument comes back unchanged out of the parser of the C runtime and of
// CommandLineToArgvW.

#include <string>
#include <string_view>

#include "desktop/child_process.h"

namespace tavrick {

/// Whether an argument is put in quotation marks only when it needs them or always.
enum class Quoting { when_needed, always };

/// Appends `arg` to `line` by the standard rules: in quotation marks when it is empty or holds a
/// space, a tab or a quotation mark (or always, when asked), every inner quotation mark preceded
/// by a backslash and every backslash that precedes a quotation mark (the closing one included)
/// doubled. Other backslashes stay as they are.
void append_quoted_argument(std::string& line, std::string_view arg, Quoting quoting);

/// The whole command line of `command`: the program name in quotation marks, then each argument
/// quoted as needed, separated by single spaces. UTF-8.
[[nodiscard]] std::string windows_command_line(const ChildCommand& command);

}  // namespace tavrick
