#pragma once
// The system's own text for an error code.

#include <string>

namespace tavrick {

/// The system's message for `code` (GetLastError() on Windows, errno elsewhere), trailing white
/// space removed, followed by " (os error {code})".
[[nodiscard]] std::string os_error_text(int code);

/// os_error_text() of the calling thread's last error.
[[nodiscard]] std::string last_os_error_text();

/// `message` without its trailing white space, followed by " (os error {code})"; just
/// "(os error {code})" when nothing of the message is left. Shared by the platform files.
[[nodiscard]] std::string format_os_error(std::string message, int code);

}  // namespace tavrick
